// The integer rules the texture operations share: 12-bit widening of a byte, the high product of two
// signed values, byte saturation and per-byte access to 0xAARRGGBB pixels. Header only.
#pragma once

#include <cstdint>

// A byte widened to 12 bits: (v * 257) >> 4, 0..4095.
constexpr int32_t x12(int32_t v) { return (v * 257) >> 4; }

// floor(a * b / 65536) for signed a and b (the product is exact in 64 bits, the shift arithmetic).
constexpr int32_t mulHigh(int32_t a, int32_t b) {
  return static_cast<int32_t>((static_cast<int64_t>(a) * static_cast<int64_t>(b)) >> 16);
}

constexpr int32_t saturateByte(int32_t v) { return v < 0 ? 0 : (v > 255 ? 255 : v); }

// Byte k (0 blue, 1 green, 2 red, 3 alpha) of a pixel.
constexpr int32_t channelOf(uint32_t pixel, int k) { return static_cast<int32_t>((pixel >> (8 * k)) & 0xFF); }

// A grey level written to all four bytes (alpha equals the level).
constexpr uint32_t greyPixel(int32_t v) { return static_cast<uint32_t>(v) * 0x01010101u; }

// Applies `rule(byte, k)` to each byte of a pixel and packs the results (each must be 0..255).
template <typename Rule>
inline uint32_t perByte(Rule rule) {
  uint32_t out = 0;
  for (int k = 0; k < 4; ++k) out |= static_cast<uint32_t>(rule(k)) << (8 * k);
  return out;
}
