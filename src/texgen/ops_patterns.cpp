// Patterns, fills and pictures: CosineGrid, Checker, Light, Fill, TilePicture and StampPicture. No
// randomness. The picture operations read a 'P' entry of the archive and leave the work image as it was
// when the key is missing, names no picture, or the picture's pixels do not cover its stated size. A key
// naming another texture program is refused before it is looked up, so no program runs inside another.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "archive/archive.h"
#include "texgen/fixed_point.h"
#include "texgen/generator.h"
#include "texgen/operations.h"

namespace {

struct Picture {
  const uint32_t* pixels;
  int32_t width;
  int32_t height;
};

bool findPicture(FourCC key, Picture* picture) {
  // The type is checked before the lookup materialises anything: looking up a texture program here
  // would run the generator inside its own run.
  const ArchiveEntry* record = nullptr;
  for (int32_t i = 0; i < archiveEntryCount() && record == nullptr; ++i) {
    if (archiveEntryAt(i)->key == key) record = archiveEntryAt(i);
  }
  if (record == nullptr || record->type != kEntryPicture) return false;
  const ArchiveEntry* entry = findEntry(key);
  if (entry == nullptr || entry->data == nullptr) return false;
  picture->width = static_cast<int32_t>(entry->pictureSize & 0xFFFF);
  picture->height = static_cast<int32_t>(entry->pictureSize >> 16);
  const int64_t needed = 4 * static_cast<int64_t>(picture->width) * picture->height;
  if (picture->width == 0 || picture->height == 0 || entry->dataSize < needed) return false;
  picture->pixels = reinterpret_cast<const uint32_t*>(entry->data);
  return true;
}

// Picture pixel for enlarged coordinates (i, j): nearest neighbour, repeated with the size masks.
uint32_t picturePixel(const Picture& picture, int64_t i, int64_t j, int32_t sx, int32_t sy) {
  const int64_t row = (j >> (sy & 31)) & (picture.height - 1);
  const int64_t column = (i >> (sx & 31)) & (picture.width - 1);
  return picture.pixels[row * picture.width + column];
}

}  // namespace

void cosineGrid(const OpInputs& in, uint32_t* work) {
  for (int y = 0; y < 256; ++y) {
    for (int x = 0; x < 256; ++x) {
      const int32_t sum = g_cosine[(x * in.p0) & 255] + g_cosine[(y * in.p1) & 255];
      work[y * 256 + x] = greyPixel(sum / 2);
    }
  }
}

void checker(const OpInputs& in, uint32_t* work) {
  for (uint32_t y = 0; y < 256; ++y) {
    for (uint32_t x = 0; x < 256; ++x) {
      // Even parity (the cell at the origin too) is opaque white, odd parity transparent black.
      work[y * 256 + x] = (((x >> (in.p0 & 31)) ^ (y >> (in.p1 & 31))) & 1u) - 1u;
    }
  }
}

void light(const OpInputs& in, uint32_t* work) {
  const int32_t a = in.p0;
  const int32_t b = in.p1;
  // Kind 1's constants: the disc's radius g and the fall-off rate h, and the normalisation E0, E1.
  const float g = static_cast<float>(a) * 0.003921569f;
  const float h = static_cast<float>(b) * 0.0625f;
  const float e0 = static_cast<float>(std::exp(static_cast<double>(-std::max(1.0f - g, 0.0f) * h)));
  const float e1 = static_cast<float>(std::exp(static_cast<double>(-std::max(-g, 0.0f) * h))) - e0;
  // The value depends only on |x - 128| and |y - 128| (fx * fx is the same for both signs), so each of
  // the 129 x 129 distinct offsets is computed once.
  static uint8_t valueAt[129][129];
  for (int dy = 0; dy <= 128; ++dy) {
    for (int dx = 0; dx <= 128; ++dx) {
      const float fx = static_cast<float>(dx) * 0.0078125f;
      const float fy = static_cast<float>(dy) * 0.0078125f;
      const float r = static_cast<float>(std::sqrt(static_cast<double>(fx * fx + fy * fy)));
      int32_t value = 0;
      if (in.p2 == 0) {
        float v = 255.0f - 255.0f * r - static_cast<float>(a);
        if (v < 0.0f) v = 0.0f;
        float w = static_cast<float>(b + 1) * v * 0.1f;
        if (w > 255.0f) w = 255.0f;
        value = static_cast<int32_t>(w);
      } else if (in.p2 == 1 && e1 != 0.0f) {  // a zero divisor (b = 0 or a = 255) gives 0
        const float fall = static_cast<float>(std::exp(static_cast<double>(-std::max(r - g, 0.0f) * h)));
        float v = (fall - e0) / e1;
        if (v < 0.0f) v = 0.0f;
        value = std::min(255, static_cast<int32_t>(v * 255.0f + 0.5f));
      }
      valueAt[dy][dx] = static_cast<uint8_t>(value);
    }
  }
  for (int y = 0; y < 256; ++y) {
    for (int x = 0; x < 256; ++x) work[y * 256 + x] = greyPixel(valueAt[std::abs(y - 128)][std::abs(x - 128)]);
  }
}

void fill(const OpInputs& in, uint32_t* work) {
  const uint32_t colour = (static_cast<uint32_t>(in.p0) << 24) | (static_cast<uint32_t>(in.p1) << 16) |
                          (static_cast<uint32_t>(in.p2) << 8) | static_cast<uint32_t>(in.p3);
  std::fill(work, work + kLayerPixels, colour);
}

void tilePicture(const OpInputs& in, uint32_t* work) {
  Picture picture{};
  if (!findPicture(in.pictureKey, &picture)) return;
  for (int y = 0; y < 256; ++y) {
    for (int x = 0; x < 256; ++x) work[y * 256 + x] = picturePixel(picture, x, y, in.p0, in.p1);
  }
}

void stampPicture(const OpInputs& in, uint32_t* work) {
  Picture picture{};
  if (!findPicture(in.pictureKey, &picture)) return;
  std::memcpy(work, in.dest, kLayerBytes);
  // The enlarged picture, drawn once at (p2, p3) and wrapping; where it is wider or taller than 256 the
  // later rows and columns win, so only the last 256 of each can show.
  const int64_t extentX = static_cast<int64_t>(picture.width) << (in.p0 & 31);
  const int64_t extentY = static_cast<int64_t>(picture.height) << (in.p1 & 31);
  for (int64_t j = std::max<int64_t>(0, extentY - 256); j < extentY; ++j) {
    for (int64_t i = std::max<int64_t>(0, extentX - 256); i < extentX; ++i) {
      work[layerIndex(static_cast<int>((in.p2 + i) & 255), static_cast<int>((in.p3 + j) & 255))] =
          picturePixel(picture, i, j, in.p0, in.p1);
    }
  }
}
