#include "brannik-assets/picture_pack.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <map>

#include "archive/archive.h"
#include "archive/picture.h"
#include "brannik-assets/png_files.h"

namespace assets {

namespace {

struct Lab {
  double l, a, b;
};

double toLinear(int c) {
  const double v = c / 255.0;
  return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
}

int toSrgbByte(double linear) {
  const double c = std::clamp(linear, 0.0, 1.0);
  const double v = c <= 0.0031308 ? c * 12.92 : 1.055 * std::pow(c, 1.0 / 2.4) - 0.055;
  return static_cast<int>(std::lround(v * 255.0));
}

Lab toOkLab(uint32_t pixel) {
  const double r = toLinear((pixel >> 16) & 0xFF);
  const double g = toLinear((pixel >> 8) & 0xFF);
  const double b = toLinear(pixel & 0xFF);
  const double l = std::cbrt(0.4122214708 * r + 0.5363325363 * g + 0.0514459929 * b);
  const double m = std::cbrt(0.2119034982 * r + 0.6806995451 * g + 0.1073969566 * b);
  const double s = std::cbrt(0.0883024619 * r + 0.2817188376 * g + 0.6299787005 * b);
  return {0.2104542553 * l + 0.7936177850 * m - 0.0040720468 * s,
          1.9779984951 * l - 2.4285922050 * m + 0.4505937099 * s,
          0.0259040371 * l + 0.7827717662 * m - 0.8086757660 * s};
}

double distance2(const Lab& x, const Lab& y) {
  return (x.l - y.l) * (x.l - y.l) + (x.a - y.a) * (x.a - y.a) + (x.b - y.b) * (x.b - y.b);
}

double axis(const Lab& c, int k) { return k == 0 ? c.l : (k == 1 ? c.a : c.b); }

struct Colour {
  uint32_t rgb;
  Lab lab;
  int count;
};

// Median cut: split the box with the largest weighted spread along its widest axis at the weighted median.
std::vector<std::vector<Colour>> medianCut(const std::vector<Colour>& colours, size_t boxes) {
  std::vector<std::vector<Colour>> result{colours};
  while (result.size() < boxes) {
    size_t pick = result.size();
    int pickAxis = 0;
    double pickScore = 0.0;
    for (size_t i = 0; i < result.size(); ++i) {
      if (result[i].size() < 2) continue;
      long weight = 0;
      for (const Colour& c : result[i]) weight += c.count;
      for (int k = 0; k < 3; ++k) {
        double lo = 1e9, hi = -1e9;
        for (const Colour& c : result[i]) {
          lo = std::min(lo, axis(c.lab, k));
          hi = std::max(hi, axis(c.lab, k));
        }
        const double score = (hi - lo) * std::sqrt(static_cast<double>(weight));
        if (score > pickScore) {
          pickScore = score;
          pick = i;
          pickAxis = k;
        }
      }
    }
    if (pick == result.size()) break;
    std::vector<Colour> box = result[pick];
    std::stable_sort(box.begin(), box.end(),
                     [&](const Colour& x, const Colour& y) { return axis(x.lab, pickAxis) < axis(y.lab, pickAxis); });
    long total = 0;
    for (const Colour& c : box) total += c.count;
    long running = 0;
    size_t split = 1;
    for (size_t i = 0; i + 1 < box.size(); ++i) {
      running += box[i].count;
      split = i + 1;
      if (2 * running >= total) break;
    }
    result[pick].assign(box.begin(), box.begin() + static_cast<long>(split));
    result.emplace_back(box.begin() + static_cast<long>(split), box.end());
  }
  return result;
}

// The palette colour of a cluster: its members averaged in linear light.
uint32_t averageColour(const std::vector<const Colour*>& members) {
  double r = 0, g = 0, b = 0;
  long weight = 0;
  for (const Colour* c : members) {
    r += toLinear((c->rgb >> 16) & 0xFF) * c->count;
    g += toLinear((c->rgb >> 8) & 0xFF) * c->count;
    b += toLinear(c->rgb & 0xFF) * c->count;
    weight += c->count;
  }
  return 0xFF000000u | (static_cast<uint32_t>(toSrgbByte(r / weight)) << 16) |
         (static_cast<uint32_t>(toSrgbByte(g / weight)) << 8) | static_cast<uint32_t>(toSrgbByte(b / weight));
}

int nearest(const Lab& lab, const std::vector<Lab>& centres) {
  int best = 0;
  for (int i = 1; i < static_cast<int>(centres.size()); ++i) {
    if (distance2(lab, centres[i]) < distance2(lab, centres[best])) best = i;
  }
  return best;
}

}  // namespace

QuantisedPicture quantisePicture(const uint32_t* pixels, int width, int height) {
  QuantisedPicture picture;
  picture.width = width;
  picture.height = height;
  std::map<uint32_t, int> counts;
  for (int i = 0; i < width * height; ++i) counts[pixels[i] | 0xFF000000u] += 1;
  std::vector<Colour> colours;
  for (const auto& [rgb, count] : counts) colours.push_back({rgb, toOkLab(rgb), count});

  std::vector<uint32_t> palette;
  if (colours.size() <= 16) {
    for (const Colour& c : colours) palette.push_back(c.rgb);
  } else {
    std::vector<Lab> centres;
    for (const auto& box : medianCut(colours, 16)) {
      std::vector<const Colour*> members;
      for (const Colour& c : box) members.push_back(&c);
      centres.push_back(toOkLab(averageColour(members)));
    }
    // k-means over the distinct colours, weighted by how often each occurs.
    std::vector<std::vector<const Colour*>> clusters;
    for (int iteration = 0; iteration < 24; ++iteration) {
      clusters.assign(centres.size(), {});
      for (const Colour& c : colours) clusters[nearest(c.lab, centres)].push_back(&c);
      for (size_t k = 0; k < centres.size(); ++k) {
        if (!clusters[k].empty()) centres[k] = toOkLab(averageColour(clusters[k]));
      }
    }
    for (size_t k = 0; k < clusters.size(); ++k) {
      if (!clusters[k].empty()) palette.push_back(averageColour(clusters[k]));
    }
  }
  std::sort(palette.begin(), palette.end(), [](uint32_t x, uint32_t y) {
    const double lx = toOkLab(x).l, ly = toOkLab(y).l;
    return lx != ly ? lx < ly : x < y;
  });
  palette.erase(std::unique(palette.begin(), palette.end()), palette.end());
  std::vector<Lab> paletteLab;
  for (size_t k = 0; k < palette.size(); ++k) {
    picture.palette[k] = palette[k];
    paletteLab.push_back(toOkLab(palette[k]));
  }
  for (size_t k = palette.size(); k < 16; ++k) picture.palette[k] = 0xFF000000u;
  std::map<uint32_t, uint8_t> indexOf;
  for (const Colour& c : colours) indexOf[c.rgb] = static_cast<uint8_t>(nearest(c.lab, paletteLab));
  picture.indices.resize(static_cast<size_t>(width) * height);
  for (int i = 0; i < width * height; ++i) picture.indices[i] = indexOf[pixels[i] | 0xFF000000u];
  return picture;
}

std::vector<uint8_t> packPalettePicture(const QuantisedPicture& picture, int* reusedRows) {
  std::vector<uint8_t> out;
  const uint32_t sizeWord = (static_cast<uint32_t>(picture.height) << 16) | static_cast<uint32_t>(picture.width);
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(sizeWord >> (8 * i)));
  out.push_back(kPictureFormatPalette);
  for (uint32_t colour : picture.palette) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(colour >> (8 * i)));
  }
  *reusedRows = 0;
  const size_t w = static_cast<size_t>(picture.width);
  for (int r = 0; r < picture.height; ++r) {
    const uint8_t* row = picture.indices.data() + r * w;
    int copyOf = -1;
    for (int m = 0; m < r && m < 255; ++m) {
      if (std::memcmp(row, picture.indices.data() + m * w, w) == 0) {
        copyOf = m;
        break;
      }
    }
    if (copyOf >= 0) {
      out.push_back(static_cast<uint8_t>(copyOf));
      *reusedRows += 1;
      continue;
    }
    out.push_back(255);  // literal row: two pixels a byte, the left one in the high nibble
    for (size_t j = 0; j < w / 2; ++j) out.push_back(static_cast<uint8_t>((row[2 * j] << 4) | row[2 * j + 1]));
  }
  return out;
}

bool packPictureFile(const std::string& path, std::vector<uint8_t>* payload, std::string* report, std::string* error) {
  std::vector<uint32_t> pixels;
  int width = 0, height = 0;
  if (!readPng(path, &pixels, &width, &height, error)) return false;
  if (width != kPictureSide || height != kPictureSide) {
    *error = path + ": the picture must be 128 x 128 pixels, this one is " + std::to_string(width) + " x " +
             std::to_string(height);
    return false;
  }
  const QuantisedPicture picture = quantisePicture(pixels.data(), width, height);
  int reused = 0;
  *payload = packPalettePicture(picture, &reused);

  // Round trip: the archive's own decoder must give back the quantised picture.
  ArchiveEntry entry{};
  entry.storedData = payload->data();
  entry.storedSize = static_cast<int32_t>(payload->size());
  decodePackedPicture(&entry);
  bool same = entry.data != nullptr && entry.dataSize == 4 * width * height;
  for (int i = 0; same && i < width * height; ++i) {
    uint32_t decoded;
    std::memcpy(&decoded, entry.data + 4 * i, 4);
    same = decoded == picture.palette[picture.indices[i]];
  }
  delete[] entry.data;
  if (!same) {
    *error = path + ": internal error: the packed picture does not decode to the quantised one";
    return false;
  }
  double errorSum = 0.0;
  for (int i = 0; i < width * height; ++i) {
    errorSum += std::sqrt(distance2(toOkLab(pixels[i]), toOkLab(picture.palette[picture.indices[i]])));
  }
  *report = std::to_string(payload->size()) + " bytes, " + std::to_string(reused) + " rows reused, mean OKLab error " +
            std::to_string(errorSum / (width * height));
  return true;
}

}  // namespace assets
