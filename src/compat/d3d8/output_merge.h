// Output merge of the software pipeline: the depth and alpha comparisons (D3DCMPFUNC as a three-bit
// table, so a comparison is a lookup, not a branch), depth quantization, the colour write with its
// UNORM conversion, and frame-buffer blending. Colours are floats in lanes b, g, r, a.
// Only BLENDOP ADD is implemented; COLORWRITEENABLE is not applied.
#pragma once

#include <emmintrin.h>

#include <cstdint>

#include "compat/d3d8/d3d8_types.h"

namespace d3d8compat {

// Bit 0: passes when new < stored, bit 1: when equal, bit 2: when greater.
inline unsigned comparisonTable(DWORD func) {
  switch (func) {
    case D3DCMP_NEVER: return 0;
    case D3DCMP_LESS: return 1;
    case D3DCMP_EQUAL: return 2;
    case D3DCMP_LESSEQUAL: return 3;
    case D3DCMP_GREATER: return 4;
    case D3DCMP_NOTEQUAL: return 5;
    case D3DCMP_GREATEREQUAL: return 6;
    default: return 7;  // ALWAYS
  }
}

inline bool comparisonPasses(unsigned table, uint32_t incoming, uint32_t stored) {
  const unsigned index = (incoming > stored ? 2u : 0u) + (incoming == stored ? 1u : 0u);
  return ((table >> index) & 1u) != 0;
}

// Depth 0..1 (clamped; NaN reads as 0) as an unsigned integer of `max` = 2^n - 1: round(z * max).
inline uint32_t quantizeDepthValue(float z, double max) {
  const double clamped = !(z > 0.0f) ? 0.0 : (z > 1.0f ? 1.0 : static_cast<double>(z));
  return static_cast<uint32_t>(clamped * max + 0.5);
}

// comparisonPasses for four pairs (lanes of incoming and stored, both below 2^31): bit k of the result is
// set when pair k passes.
inline unsigned comparisonPasses4(unsigned table, __m128i incoming, __m128i stored) {
  const __m128i greater = _mm_cmpgt_epi32(incoming, stored), equal = _mm_cmpeq_epi32(incoming, stored);
  const __m128i less = _mm_andnot_si128(_mm_or_si128(greater, equal), _mm_set1_epi32(-1));
  auto bit = [table](unsigned index) { return _mm_set1_epi32((table >> index & 1u) != 0 ? -1 : 0); };
  const __m128i passes = _mm_or_si128(_mm_or_si128(_mm_and_si128(less, bit(0)), _mm_and_si128(equal, bit(1))),
                                      _mm_and_si128(greater, bit(2)));
  return static_cast<unsigned>(_mm_movemask_ps(_mm_castsi128_ps(passes)));
}

// quantizeDepthValue for four pixels (lanes of zs). max(z, 0) in double picks 0 for NaN and -0, as the
// scalar clamp's result does after rounding.
inline __m128i quantizeDepth4(__m128 zs, double max) {
  const __m128d zero = _mm_setzero_pd(), one = _mm_set1_pd(1.0), scale = _mm_set1_pd(max), half = _mm_set1_pd(0.5);
  const __m128d low = _mm_min_pd(_mm_max_pd(_mm_cvtps_pd(zs), zero), one);
  const __m128d high = _mm_min_pd(_mm_max_pd(_mm_cvtps_pd(_mm_movehl_ps(zs, zs)), zero), one);
  const __m128i lowValues = _mm_cvttpd_epi32(_mm_add_pd(_mm_mul_pd(low, scale), half));
  const __m128i highValues = _mm_cvttpd_epi32(_mm_add_pd(_mm_mul_pd(high, scale), half));
  return _mm_unpacklo_epi64(lowValues, highValues);
}

// Float lanes b, g, r, a -> 0xAARRGGBB: clamp to 0..1, * 255, + 0.5, truncate.
inline uint32_t toColorWord(__m128 color) {
  const __m128 clamped = _mm_min_ps(_mm_max_ps(color, _mm_setzero_ps()), _mm_set1_ps(1.0f));
  const __m128i scaled = _mm_cvttps_epi32(_mm_add_ps(_mm_mul_ps(clamped, _mm_set1_ps(255.0f)), _mm_set1_ps(0.5f)));
  const __m128i words = _mm_packs_epi32(scaled, scaled);
  return static_cast<uint32_t>(_mm_cvtsi128_si32(_mm_packus_epi16(words, words)));
}

inline __m128 fromColorWord(uint32_t word) {
  const __m128i zero = _mm_setzero_si128();
  const __m128i lanes =
      _mm_unpacklo_epi16(_mm_unpacklo_epi8(_mm_cvtsi32_si128(static_cast<int>(word)), zero), zero);
  return _mm_mul_ps(_mm_cvtepi32_ps(lanes), _mm_set1_ps(1.0f / 255.0f));
}

inline __m128 broadcastAlpha(__m128 v) { return _mm_shuffle_ps(v, v, _MM_SHUFFLE(3, 3, 3, 3)); }

// SRCALPHA / INVSRCALPHA: src * As + dst * (1 - As), alpha channel included.
inline __m128 blendSourceAlpha(__m128 src, __m128 dst) {
  const __m128 as = broadcastAlpha(src);
  return _mm_add_ps(_mm_mul_ps(src, as), _mm_mul_ps(dst, _mm_sub_ps(_mm_set1_ps(1.0f), as)));
}

// ONE / ONE: src + dst (saturated by the write).
inline __m128 blendAdditive(__m128 src, __m128 dst) { return _mm_add_ps(src, dst); }

// Any D3DBLEND pair.
inline __m128 blendFactor(DWORD blend, __m128 src, __m128 dst) {
  const __m128 one = _mm_set1_ps(1.0f);
  switch (blend) {
    case D3DBLEND_ZERO: return _mm_setzero_ps();
    case D3DBLEND_SRCCOLOR: return src;
    case D3DBLEND_INVSRCCOLOR: return _mm_sub_ps(one, src);
    case D3DBLEND_SRCALPHA: return broadcastAlpha(src);
    case D3DBLEND_INVSRCALPHA: return _mm_sub_ps(one, broadcastAlpha(src));
    case D3DBLEND_DESTALPHA: return broadcastAlpha(dst);
    case D3DBLEND_INVDESTALPHA: return _mm_sub_ps(one, broadcastAlpha(dst));
    case D3DBLEND_DESTCOLOR: return dst;
    case D3DBLEND_INVDESTCOLOR: return _mm_sub_ps(one, dst);
    case D3DBLEND_SRCALPHASAT: {
      const __m128 f = _mm_min_ps(broadcastAlpha(src), _mm_sub_ps(one, broadcastAlpha(dst)));
      const __m128 rgbMask = _mm_castsi128_ps(_mm_set_epi32(0, -1, -1, -1));
      return _mm_or_ps(_mm_and_ps(rgbMask, f), _mm_andnot_ps(rgbMask, one));
    }
    default: return one;  // ONE, and the BOTH* pairs read as ONE
  }
}

inline __m128 blendGeneric(DWORD srcBlend, DWORD destBlend, __m128 src, __m128 dst) {
  return _mm_add_ps(_mm_mul_ps(src, blendFactor(srcBlend, src, dst)), _mm_mul_ps(dst, blendFactor(destBlend, src, dst)));
}

}  // namespace d3d8compat
