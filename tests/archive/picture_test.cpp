// The packed-picture decoder and the tool's quantiser and packer that write its palette format.
#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <vector>

#include "archive/archive.h"
#include "archive/picture.h"
#include "brannik-assets/picture_pack.h"

namespace {

// Decodes a payload through a stand-alone entry; returns the pixels (empty when none).
std::vector<uint32_t> decode(const std::vector<uint8_t>& payload, uint32_t* sizeWord = nullptr) {
  ArchiveEntry entry{};
  std::vector<uint8_t> stored = payload;
  entry.storedData = stored.data();
  entry.storedSize = static_cast<int32_t>(stored.size());
  decodePackedPicture(&entry);
  if (sizeWord != nullptr) *sizeWord = entry.pictureSize;
  std::vector<uint32_t> pixels(static_cast<size_t>(entry.dataSize / 4));
  if (entry.data != nullptr) std::memcpy(pixels.data(), entry.data, static_cast<size_t>(entry.dataSize));
  delete[] entry.data;
  return pixels;
}

std::vector<uint8_t> header(uint16_t width, uint16_t height, uint8_t format) {
  return {static_cast<uint8_t>(width), static_cast<uint8_t>(width >> 8), static_cast<uint8_t>(height),
          static_cast<uint8_t>(height >> 8), format};
}

// Palette format with colours 0xFF000000 | index * 0x111111 (index 0..15).
std::vector<uint8_t> paletteHeader(uint16_t width, uint16_t height) {
  std::vector<uint8_t> out = header(width, height, '2');
  for (uint32_t k = 0; k < 16; ++k) {
    const uint32_t c = 0xFF000000u | (k * 0x111111u);
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(c >> (8 * i)));
  }
  return out;
}

constexpr uint32_t grey(uint32_t k) { return 0xFF000000u | (k * 0x111111u); }

}  // namespace

TEST(PackedPicture, OneBitFormat) {
  std::vector<uint8_t> payload = header(8, 1, '1');
  payload.push_back(0x01);
  uint32_t sizeWord = 0;
  const std::vector<uint32_t> pixels = decode(payload, &sizeWord);
  EXPECT_EQ(sizeWord, 0x00010008u);
  EXPECT_EQ(pixels, (std::vector<uint32_t>{0xFFFFFFFFu, 0, 0, 0, 0, 0, 0, 0}));
}

TEST(PackedPicture, PaletteRowsLiteralAndCopied) {
  std::vector<uint8_t> payload = paletteHeader(4, 3);
  payload.insert(payload.end(), {255, 0x12, 0x3F});  // row 0 literal: 1 2 3 15
  payload.push_back(0);                              // row 1 copies row 0
  payload.insert(payload.end(), {2, 0xA0, 0x05});    // marker 2 = own index: literal
  const std::vector<uint32_t> pixels = decode(payload);
  const std::vector<uint32_t> row0 = {grey(1), grey(2), grey(3), grey(15)};
  ASSERT_EQ(pixels.size(), 12u);
  EXPECT_EQ(std::vector<uint32_t>(pixels.begin(), pixels.begin() + 4), row0);
  EXPECT_EQ(std::vector<uint32_t>(pixels.begin() + 4, pixels.begin() + 8), row0);
  EXPECT_EQ(std::vector<uint32_t>(pixels.begin() + 8, pixels.end()),
            (std::vector<uint32_t>{grey(10), grey(0), grey(0), grey(5)}));
}

TEST(PackedPicture, OddWidthLeavesTheLastPixelOfLiteralRows) {
  std::vector<uint8_t> payload = paletteHeader(3, 2);
  payload.insert(payload.end(), {255, 0x45});  // only width / 2 = 1 byte per literal row
  payload.insert(payload.end(), {255, 0x67});
  const std::vector<uint32_t> pixels = decode(payload);
  EXPECT_EQ(pixels, (std::vector<uint32_t>{grey(4), grey(5), 0, grey(6), grey(7), 0}));
}

TEST(PackedPicture, ShortPayloadsStayInsideTheirBytes) {
  std::vector<uint8_t> payload = paletteHeader(4, 4);
  payload.insert(payload.end(), {255, 0x11});  // row 0 cut short; rows 1-3 missing
  const std::vector<uint32_t> pixels = decode(payload);
  ASSERT_EQ(pixels.size(), 16u);
  EXPECT_EQ(pixels[0], grey(1));
  EXPECT_EQ(pixels[2], 0u);
  EXPECT_EQ(pixels[15], 0u);
  EXPECT_TRUE(decode(header(4, 4, '2')).size() == 16u);  // no palette: all zero
  EXPECT_TRUE(decode({1, 0, 1}).empty());                 // no room for the header
  std::vector<uint8_t> bits = header(64, 1, '1');
  bits.push_back(0xFF);  // 8 of 64 bits present
  const std::vector<uint32_t> fromBits = decode(bits);
  EXPECT_EQ(fromBits[7], 0xFFFFFFFFu);
  EXPECT_EQ(fromBits[8], 0u);
}

TEST(PackedPicture, UnknownFormatAndHugeSizes) {
  const std::vector<uint32_t> unknown = decode(header(2, 2, '3'));
  EXPECT_EQ(unknown, std::vector<uint32_t>(4, 0u));
  EXPECT_TRUE(decode(header(65535, 65535, '2')).empty());
}

TEST(PicturePacker, FewColoursAreKeptExactlyAndRowsReused) {
  std::vector<uint32_t> pixels(128 * 128);
  for (int y = 0; y < 128; ++y) {
    for (int x = 0; x < 128; ++x) pixels[y * 128 + x] = (y / 32) % 2 == 0 ? 0xFFFF0000u : (x < 64 ? 0xFF0000FFu : 0xFF00FF00u);
  }
  const assets::QuantisedPicture q = assets::quantisePicture(pixels.data(), 128, 128);
  int reused = 0;
  const std::vector<uint8_t> payload = assets::packPalettePicture(q, &reused);
  // Rows repeat within each band of 32 and across bands of the same kind: two literal rows in all.
  EXPECT_EQ(reused, 126);
  EXPECT_EQ(payload.size(), 69u + 2 * 65 + 126);
  EXPECT_EQ(decode(payload), pixels);
}

TEST(PicturePacker, ManyColoursBecomeSixteenCloseOnes) {
  std::vector<uint32_t> pixels(128 * 128);
  for (int y = 0; y < 128; ++y) {
    for (int x = 0; x < 128; ++x) {
      pixels[y * 128 + x] = 0xFF000000u | (static_cast<uint32_t>(2 * x) << 16) | (static_cast<uint32_t>(2 * y) << 8) | 0x40u;
    }
  }
  const assets::QuantisedPicture q = assets::quantisePicture(pixels.data(), 128, 128);
  int reused = 0;
  const std::vector<uint32_t> decoded = decode(assets::packPalettePicture(q, &reused));
  std::set<uint32_t> colours(decoded.begin(), decoded.end());
  EXPECT_EQ(colours.size(), 16u);
  // A 4 x 4 grid of the two ramps would be off by 16 per channel on average; a good quantiser comes
  // close to that (it works in a perceptual space, so single dark pixels may be further off in sRGB).
  long total = 0;
  for (int i = 0; i < 128 * 128; ++i) {
    for (int k = 1; k < 3; ++k) {
      const int a = static_cast<int>((pixels[i] >> (8 * k)) & 0xFF), b = static_cast<int>((decoded[i] >> (8 * k)) & 0xFF);
      total += std::abs(a - b);
    }
  }
  EXPECT_LE(total / (2.0 * 128 * 128), 20.0);
}
