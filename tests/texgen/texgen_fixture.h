// Helpers for the texture generator tests: whole images, operand sets, one-instruction programs and a
// small archive holding test pictures.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "archive/archive.h"
#include "brannik-assets/blob_io.h"
#include "texgen/generator.h"
#include "texgen/fixed_point.h"
#include "texgen/operations.h"

using Image = std::vector<uint32_t>;

inline Image uniformImage(uint32_t pixel) { return Image(kLayerPixels, pixel); }

// An image whose every pixel is distinct in each byte pattern (x in blue, y in green, x ^ y in red).
inline Image gradientImage() {
  Image image(kLayerPixels);
  for (int y = 0; y < 256; ++y) {
    for (int x = 0; x < 256; ++x) {
      image[y * 256 + x] = 0xFF000000u | (static_cast<uint32_t>(x ^ y) << 16) | (static_cast<uint32_t>(y) << 8) |
                           static_cast<uint32_t>(x);
    }
  }
  return image;
}

inline OpInputs operands(const Image& dest, int p0 = 0, int p1 = 0, int p2 = 0, int p3 = 0,
                         const Image* a = nullptr, const Image* b = nullptr, FourCC key = 0) {
  return {dest.data(), (a ? *a : dest).data(), (b ? *b : dest).data(), p0, p1, p2, p3, key};
}

// Runs one operation into a work image that starts as `before`.
inline Image runOp(Operation op, const OpInputs& in, uint32_t before = 0x12345678u) {
  Image work = uniformImage(before);
  op(in, work.data());
  return work;
}

inline TextureInstruction instruction(uint8_t opcode, uint8_t channels, char mode, uint8_t dest, uint8_t p0 = 0,
                                      uint8_t p1 = 0, uint8_t p2 = 0, uint8_t p3 = 0, uint8_t a = 0, uint8_t b = 0,
                                      FourCC key = 0) {
  return {opcode, channels, static_cast<uint8_t>(mode), dest, a, b, p0, p1, p2, p3, key};
}

inline std::vector<uint8_t> program(const std::vector<TextureInstruction>& instructions) {
  std::vector<uint8_t> bytes(1 + kInstructionBytes * instructions.size());
  bytes[0] = static_cast<uint8_t>(instructions.size());
  for (size_t i = 0; i < instructions.size(); ++i) encodeInstruction(instructions[i], bytes.data() + 1 + 16 * i);
  return bytes;
}

// Layer 0 after running the program.
inline Image runProgram(const std::vector<uint8_t>& bytes) {
  TextureGenerator& generator = textureGenerator();
  generator.run(bytes.data(), bytes.size());
  return Image(generator.layer(0).pixels, generator.layer(0).pixels + kLayerPixels);
}

// A palette picture payload: every pixel's palette index given, all rows literal.
inline std::vector<uint8_t> palettePicture(int width, int height, const uint32_t (&palette)[16],
                                           const std::vector<uint8_t>& indices) {
  std::vector<uint8_t> out;
  const uint32_t size = (static_cast<uint32_t>(height) << 16) | static_cast<uint32_t>(width);
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(size >> (8 * i)));
  out.push_back('2');
  for (uint32_t c : palette) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(c >> (8 * i)));
  }
  for (int r = 0; r < height; ++r) {
    out.push_back(255);
    for (int j = 0; j < width / 2; ++j) {
      out.push_back(static_cast<uint8_t>((indices[r * width + 2 * j] << 4) | indices[r * width + 2 * j + 1]));
    }
  }
  return out;
}

inline void loadEntries(const std::vector<assets::BlobEntry>& entries) {
  const std::vector<uint8_t> blob = assets::writeArchiveBlob(entries);
  loadArchive(blob.data(), blob.size());
}

class TexgenTest : public ::testing::Test {
 protected:
  void SetUp() override { buildCosineTable(); }
  void TearDown() override { releaseArchive(); }
};
