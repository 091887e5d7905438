// Blur (op 20): the five-point cross, p0 passes. The per-byte rule is ((up + left + centre + right +
// down) * 13107) >> 16; the packed pass computes it in 16-bit lanes, where the sum (at most 1275) times
// 13107 shifted right by 16 is exactly the unsigned high product.
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "texgen/fixed_point.h"
#include "texgen/generator.h"
#include "texgen/operations.h"

namespace {

// The row with its wrap-around neighbours: element 0 is pixel 255, elements 1..256 the row, 257 pixel 0.
void padRow(const uint32_t* row, uint32_t* padded) {
  padded[0] = row[255];
  std::memcpy(padded + 1, row, kLayerBytes / 256);
  padded[257] = row[0];
}

}  // namespace

void blurPassScalar(const uint32_t* src, uint32_t* dst) {
  uint32_t padded[258];
  for (int y = 0; y < 256; ++y) {
    const uint32_t* up = src + ((y - 1) & 255) * 256;
    const uint32_t* down = src + ((y + 1) & 255) * 256;
    padRow(src + y * 256, padded);
    for (int x = 0; x < 256; ++x) {
      dst[y * 256 + x] = perByte([&](int k) {
        const int32_t sum = channelOf(up[x], k) + channelOf(padded[x], k) + channelOf(padded[x + 1], k) +
                            channelOf(padded[x + 2], k) + channelOf(down[x], k);
        return (sum * 13107) >> 16;  // 13107 = 0x3333, just under 65536 / 5
      });
    }
  }
}

#if defined(__SSE2__)
void blurPassPacked(const uint32_t* src, uint32_t* dst) {
  const __m128i zero = _mm_setzero_si128();
  const __m128i scale = _mm_set1_epi16(13107);
  alignas(16) uint32_t padded[260];
  for (int y = 0; y < 256; ++y) {
    const uint32_t* up = src + ((y - 1) & 255) * 256;
    const uint32_t* down = src + ((y + 1) & 255) * 256;
    padRow(src + y * 256, padded);
    for (int x = 0; x < 256; x += 4) {
      const __m128i v[5] = {_mm_loadu_si128(reinterpret_cast<const __m128i*>(up + x)),
                            _mm_loadu_si128(reinterpret_cast<const __m128i*>(padded + x)),
                            _mm_loadu_si128(reinterpret_cast<const __m128i*>(padded + x + 1)),
                            _mm_loadu_si128(reinterpret_cast<const __m128i*>(padded + x + 2)),
                            _mm_loadu_si128(reinterpret_cast<const __m128i*>(down + x))};
      __m128i low = zero, high = zero;  // bytes of pixels x, x+1 and x+2, x+3 widened to 16 bits
      for (const __m128i& p : v) {
        low = _mm_add_epi16(low, _mm_unpacklo_epi8(p, zero));
        high = _mm_add_epi16(high, _mm_unpackhi_epi8(p, zero));
      }
      low = _mm_mulhi_epu16(low, scale);
      high = _mm_mulhi_epu16(high, scale);
      _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + y * 256 + x), _mm_packus_epi16(low, high));
    }
  }
}
#else
void blurPassPacked(const uint32_t* src, uint32_t* dst) { blurPassScalar(src, dst); }
#endif

void blur(const OpInputs& in, uint32_t* work) {
  static TextureLayer scratch;  // one pass's output
  std::memcpy(work, in.dest, kLayerBytes);
  for (int32_t pass = 0; pass < in.p0; ++pass) {
    blurPassPacked(work, scratch.pixels);
    std::memcpy(work, scratch.pixels, kLayerBytes);
  }
}
