// Four-pixel groups of the pixel routines: reading and writing four neighbouring pixels of a row as one
// vector (a group that runs past the span's end goes through a small local copy, so nothing outside the
// span is read or written), packing four float colours into four 32-bit words, the alpha test of four
// pixels at once and the masked depth write. The shading itself lives in the pixel routines.
#pragma once

#include <emmintrin.h>

#include <cstdint>

#include "compat/d3d8/output_merge.h"

namespace d3d8compat {

#define D3D8_GROUP_INLINE inline __attribute__((always_inline))

// Lane k all-ones where bit k of `mask` is set.
D3D8_GROUP_INLINE __m128i laneMask(unsigned mask) {
  const __m128i bits = _mm_setr_epi32(1, 2, 4, 8);
  return _mm_cmpeq_epi32(_mm_and_si128(_mm_set1_epi32(static_cast<int>(mask)), bits), bits);
}

// (a & mask) | (b & ~mask).
D3D8_GROUP_INLINE __m128i selectLanes(__m128i mask, __m128i a, __m128i b) {
  return _mm_or_si128(_mm_and_si128(mask, a), _mm_andnot_si128(mask, b));
}

// Four pixels at `p`, `bytes` (2 or 4) each, widened to 32-bit lanes. With `count` < 4 and `whole` false,
// only the first `count` pixels are read (the rest read 0): for groups that end where the row's storage
// ends. `whole` says the four pixels lie inside the row's storage.
D3D8_GROUP_INLINE __m128i loadGroup(const BYTE* p, int bytes, int count, bool whole) {
  if (count == 4 || whole) {
    if (bytes == 4) return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    return _mm_unpacklo_epi16(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p)), _mm_setzero_si128());
  }
  alignas(16) uint32_t words[4] = {0, 0, 0, 0};
  for (int k = 0; k < count; ++k) {
    if (bytes == 4) {
      __builtin_memcpy(&words[k], p + 4 * k, 4);
    } else {
      uint16_t half;
      __builtin_memcpy(&half, p + 2 * k, 2);
      words[k] = half;
    }
  }
  return _mm_load_si128(reinterpret_cast<const __m128i*>(words));
}

// Writes the four lanes of `words` to `p` as `bytes`-byte pixels (2-byte pixels keep each lane's low
// half); with `count` < 4 and `whole` false, only the first `count`. Lanes past `count` must hold what
// loadGroup read there, so rewriting them changes nothing (a row belongs to one thread).
D3D8_GROUP_INLINE void storeGroup(BYTE* p, int bytes, int count, bool whole, __m128i words) {
  if (bytes == 4) {
    if (count == 4 || whole) {
      _mm_storeu_si128(reinterpret_cast<__m128i*>(p), words);
      return;
    }
    alignas(16) uint32_t lanes[4];
    _mm_store_si128(reinterpret_cast<__m128i*>(lanes), words);
    for (int k = 0; k < count; ++k) __builtin_memcpy(p + 4 * k, &lanes[k], 4);
    return;
  }
  // Low halves gathered without signed saturation: bias into the signed range, pack, bias back.
  const __m128i bias = _mm_set1_epi32(0x8000);
  const __m128i halves = _mm_xor_si128(_mm_packs_epi32(_mm_sub_epi32(words, bias), _mm_sub_epi32(words, bias)),
                                       _mm_set1_epi16(static_cast<short>(0x8000)));
  if (count == 4 || whole) {
    _mm_storel_epi64(reinterpret_cast<__m128i*>(p), halves);
    return;
  }
  alignas(16) uint16_t lanes[8];
  _mm_store_si128(reinterpret_cast<__m128i*>(lanes), halves);
  for (int k = 0; k < count; ++k) __builtin_memcpy(p + 2 * k, &lanes[k], 2);
}

// Float colour (lanes b, g, r, a) -> integer channels as toColorWord rounds them (clamp to 0..1,
// * 255, + 0.5, truncate), still one channel per 32-bit lane.
D3D8_GROUP_INLINE __m128i colorChannels(__m128 color) {
  const __m128 clamped = _mm_min_ps(_mm_max_ps(color, _mm_setzero_ps()), _mm_set1_ps(1.0f));
  return _mm_cvttps_epi32(_mm_add_ps(_mm_mul_ps(clamped, _mm_set1_ps(255.0f)), _mm_set1_ps(0.5f)));
}

// Four colours -> four 0xAARRGGBB words, lane k from colors[k]; each word equals toColorWord(colors[k]).
D3D8_GROUP_INLINE __m128i packColors(const __m128* colors) {
  const __m128i low = _mm_packs_epi32(colorChannels(colors[0]), colorChannels(colors[1]));
  const __m128i high = _mm_packs_epi32(colorChannels(colors[2]), colorChannels(colors[3]));
  return _mm_packus_epi16(low, high);
}

// Four 0xAARRGGBB words -> float colours as fromColorWord gives them, colors[k] from lane k.
D3D8_GROUP_INLINE void unpackColors(__m128i words, __m128* colors) {
  const __m128i zero = _mm_setzero_si128();
  const __m128i low = _mm_unpacklo_epi8(words, zero), high = _mm_unpackhi_epi8(words, zero);
  const __m128 scale = _mm_set1_ps(1.0f / 255.0f);
  colors[0] = _mm_mul_ps(_mm_cvtepi32_ps(_mm_unpacklo_epi16(low, zero)), scale);
  colors[1] = _mm_mul_ps(_mm_cvtepi32_ps(_mm_unpackhi_epi16(low, zero)), scale);
  colors[2] = _mm_mul_ps(_mm_cvtepi32_ps(_mm_unpacklo_epi16(high, zero)), scale);
  colors[3] = _mm_mul_ps(_mm_cvtepi32_ps(_mm_unpackhi_epi16(high, zero)), scale);
}

// Lane a of four colours, in lanes 0..3.
D3D8_GROUP_INLINE __m128 alphaOf(const __m128* colors) {
  const __m128 ra01 = _mm_unpackhi_ps(colors[0], colors[1]);  // r0 r1 a0 a1
  const __m128 ra23 = _mm_unpackhi_ps(colors[2], colors[3]);  // r2 r3 a2 a3
  return _mm_movehl_ps(ra23, ra01);                            // a0 a1 a2 a3
}

// Bit k set when alpha k (lane k of `alpha`) passes the test, rounded as the one-pixel routine rounds it
// (clamp, * 255, + 0.5, truncate) and compared with `ref` through comparison table `table`.
D3D8_GROUP_INLINE unsigned alphaPasses(__m128 alpha, unsigned table, uint32_t ref) {
  return comparisonPasses4(table, colorChannels(alpha), _mm_set1_epi32(static_cast<int>(ref)));
}

// alphaPasses for the alphas of four colours.
D3D8_GROUP_INLINE unsigned alphaPasses4(const __m128* colors, unsigned table, uint32_t ref) {
  return alphaPasses(alphaOf(colors), table, ref);
}

#undef D3D8_GROUP_INLINE

}  // namespace d3d8compat
