#include "archive/picture.h"

#include <cstring>

namespace {

uint32_t readU32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
         (static_cast<uint32_t>(p[3]) << 24);
}

void decodeBits(const uint8_t* in, size_t size, uint32_t* pixels, int64_t count) {
  const size_t bodySize = size - 5;
  const uint8_t* body = in + 5;
  for (int64_t i = 0; i < count; ++i) {
    const size_t byte = static_cast<size_t>(i >> 3);
    if (byte >= bodySize) break;
    pixels[i] = ((body[byte] >> (i & 7)) & 1) != 0 ? 0xFFFFFFFFu : 0x00000000u;
  }
}

void decodePalette(const uint8_t* in, size_t size, uint32_t* pixels, int width, int height) {
  if (size < static_cast<size_t>(kPictureRowsOffset)) return;
  uint32_t palette[16];
  for (int k = 0; k < 16; ++k) palette[k] = readU32(in + kPicturePaletteOffset + 4 * k);
  const size_t half = static_cast<size_t>(width / 2);
  size_t p = kPictureRowsOffset;
  for (int r = 0; r < height; ++r) {
    if (p >= size) return;
    const int m = in[p];
    p += 1;
    uint32_t* row = pixels + static_cast<size_t>(r) * width;
    if (m < r) {
      std::memcpy(row, pixels + static_cast<size_t>(m) * width, sizeof(uint32_t) * width);
      continue;
    }
    for (size_t j = 0; j < half && p + j < size; ++j) {
      const uint8_t b = in[p + j];
      row[2 * j] = palette[b >> 4];
      row[2 * j + 1] = palette[b & 15];
    }
    p += half;
  }
}

}  // namespace

void decodePackedPicture(ArchiveEntry* entry) {
  const uint8_t* in = entry->storedData;
  const size_t size = entry->storedSize > 0 ? static_cast<size_t>(entry->storedSize) : 0;
  if (in == nullptr || size < 5) return;
  const uint32_t sizeWord = readU32(in);
  entry->pictureSize = sizeWord;
  const int width = static_cast<int>(sizeWord & 0xFFFF);
  const int height = static_cast<int>(sizeWord >> 16);
  if (width > kPictureMaxSide || height > kPictureMaxSide) return;
  const int64_t count = static_cast<int64_t>(width) * height;
  entry->dataSize = static_cast<int32_t>(4 * count);
  if (entry->dataSize <= 0) return;
  entry->data = new uint8_t[entry->dataSize]();  // zero-filled: what the input lacks stays 0
  uint32_t* pixels = reinterpret_cast<uint32_t*>(entry->data);
  if (in[4] == kPictureFormatBits) decodeBits(in, size, pixels, count);
  if (in[4] == kPictureFormatPalette) decodePalette(in, size, pixels, width, height);
}
