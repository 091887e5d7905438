// The packed picture the archive stores: a picture quantised to 16 colours (median cut, refined by
// k-means in the OKLab perceptual space) and written in the palette format, a row that repeats an
// earlier row stored as a one-byte reference to it. Also the file-to-payload step both commands use.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace assets {

constexpr int kPictureSide = 128;

struct QuantisedPicture {
  int width = 0;
  int height = 0;
  uint32_t palette[16] = {};      // opaque 0xFFRRGGBB, darkest first
  std::vector<uint8_t> indices;  // one palette index per pixel, row by row
};

// Quantises opaque colours (alpha is ignored) to at most 16; deterministic.
QuantisedPicture quantisePicture(const uint32_t* pixels, int width, int height);

// Palette-format payload; width must be even and height at most 256. *reusedRows counts copied rows.
std::vector<uint8_t> packPalettePicture(const QuantisedPicture& picture, int* reusedRows);

// Reads a 128 x 128 PNG and packs it; checks that decoding the payload gives the quantised picture.
bool packPictureFile(const std::string& path, std::vector<uint8_t>* payload, std::string* report, std::string* error);

}  // namespace assets
