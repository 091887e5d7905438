// Texture filtering kernels of the sampler, inline so pixel routines can call them directly: texel
// fetch per format, point and bilinear filtering on one level, and mip selection by level of detail.
// sampler.h holds the state they read; nothing here decides which kernel a draw uses.
#pragma once

#include <algorithm>

#include "compat/d3d8/sampler.h"

namespace d3d8compat {
namespace filters {

#define D3D8_FILTER_INLINE inline __attribute__((always_inline))


// One texel as floats in lanes b, g, r, a.
template <D3DFORMAT Format>
D3D8_FILTER_INLINE __m128 fetch(const SamplerLevel& level, int x, int y) {
  const BYTE* p = level.bits + static_cast<size_t>(y) * level.pitch;
  if constexpr (Format == D3DFMT_A8R8G8B8 || Format == D3DFMT_X8R8G8B8) {
    int32_t word;
    __builtin_memcpy(&word, p + static_cast<size_t>(x) * 4, 4);
    const __m128i zero = _mm_setzero_si128();
    const __m128i lanes = _mm_unpacklo_epi16(_mm_unpacklo_epi8(_mm_cvtsi32_si128(word), zero), zero);
    // X8R8G8B8 reads alpha 1: the sampler's keep / force masks drop the stored byte and put 1.0 there.
    const __m128 texel = _mm_mul_ps(_mm_cvtepi32_ps(lanes), _mm_set1_ps(1.0f / 255.0f));
    return _mm_or_ps(_mm_and_ps(texel, level.keep), level.force);
  } else {
    uint16_t word;
    __builtin_memcpy(&word, p + static_cast<size_t>(x) * 2, 2);
    if constexpr (Format == D3DFMT_R5G6B5) {
      return _mm_set_ps(1.0f, static_cast<float>(word >> 11) / 31.0f, static_cast<float>((word >> 5) & 63) / 63.0f,
                        static_cast<float>(word & 31) / 31.0f);
    } else {  // A4R4G4B4
      return _mm_set_ps(static_cast<float>(word >> 12) / 15.0f, static_cast<float>((word >> 8) & 15) / 15.0f,
                        static_cast<float>((word >> 4) & 15) / 15.0f, static_cast<float>(word & 15) / 15.0f);
    }
  }
}

D3D8_FILTER_INLINE int floorToInt(float x) {
  const int i = static_cast<int>(x);
  return x < static_cast<float>(i) ? i - 1 : i;
}

// Keeps coordinates small before scaling, so the integer conversion cannot overflow: WRAP repeats every
// 1.0 anyway, and CLAMP smears edge texels beyond [-1, 2] the same as at [-1, 2].
inline float reduce(float t, bool clamp) {
  if (clamp) return std::clamp(t, -1.0f, 2.0f);
  return t - static_cast<float>(floorToInt(t));
}

// Texel index -> stored texel. reduce() has already brought the coordinate into [0, 1) for WRAP, so the
// index is at most one texel outside [0, size) and a single step brings it back.
inline int address(int i, int size, bool clamp) {
  if (clamp) return std::clamp(i, 0, size - 1);
  if (i < 0) return i + size;
  return i >= size ? i - size : i;
}

template <D3DFORMAT Format>
D3D8_FILTER_INLINE __m128 pointSample(const SamplerState& s, const SamplerLevel& level, float u, float v) {
  const int x = address(floorToInt(reduce(u, s.clampU) * level.widthF), level.width, s.clampU);
  const int y = address(floorToInt(reduce(v, s.clampV) * level.heightF), level.height, s.clampV);
  return fetch<Format>(level, x, y);
}

template <D3DFORMAT Format>
D3D8_FILTER_INLINE __m128 bilinearSample(const SamplerState& s, const SamplerLevel& level, float u, float v) {
  const float x = reduce(u, s.clampU) * level.widthF - 0.5f;
  const float y = reduce(v, s.clampV) * level.heightF - 0.5f;
  const int i0 = floorToInt(x), j0 = floorToInt(y);
  const __m128 fu = _mm_set1_ps(x - static_cast<float>(i0));
  const __m128 fv = _mm_set1_ps(y - static_cast<float>(j0));
  const int x0 = address(i0, level.width, s.clampU), x1 = address(i0 + 1, level.width, s.clampU);
  const int y0 = address(j0, level.height, s.clampV), y1 = address(j0 + 1, level.height, s.clampV);
  const __m128 t00 = fetch<Format>(level, x0, y0), t10 = fetch<Format>(level, x1, y0);
  const __m128 t01 = fetch<Format>(level, x0, y1), t11 = fetch<Format>(level, x1, y1);
  const __m128 top = _mm_add_ps(t00, _mm_mul_ps(_mm_sub_ps(t10, t00), fu));
  const __m128 bottom = _mm_add_ps(t01, _mm_mul_ps(_mm_sub_ps(t11, t01), fu));
  return _mm_add_ps(top, _mm_mul_ps(_mm_sub_ps(bottom, top), fv));
}

// Texel index i and its right (or lower) neighbour, addressed in a power-of-two row of `size` texels.
D3D8_FILTER_INLINE void neighbours(int i, int size, bool clamp, int* first, int* second) {
  if (clamp) {
    *first = std::clamp(i, 0, size - 1);
    *second = std::clamp(i + 1, 0, size - 1);
  } else {
    *first = i & (size - 1);
    *second = (i + 1) & (size - 1);
  }
}

// Bilinear filtering of a 32-bit power-of-two level in fixed point: texel positions with 8 fractional
// bits (weights in 1/256, as filtering hardware of the time used), the horizontal blend exact in
// integers, the vertical one in float. Results stay within one step of the all-float kernel.
D3D8_FILTER_INLINE __m128 bilinear32(bool clampU, bool clampV, const SamplerLevel& level, float u, float v) {
  const int x = floorToInt(u * level.widthF * 256.0f - 128.0f);
  const int y = floorToInt(v * level.heightF * 256.0f - 128.0f);
  int x0, x1, y0, y1;
  neighbours(x >> 8, level.width, clampU, &x0, &x1);
  neighbours(y >> 8, level.height, clampV, &y0, &y1);
  const BYTE* row0 = level.bits + static_cast<size_t>(y0) * level.pitch;
  const BYTE* row1 = level.bits + static_cast<size_t>(y1) * level.pitch;
  int32_t t00, t10, t01, t11;
  __builtin_memcpy(&t00, row0 + 4 * x0, 4);
  __builtin_memcpy(&t10, row0 + 4 * x1, 4);
  __builtin_memcpy(&t01, row1 + 4 * x0, 4);
  __builtin_memcpy(&t11, row1 + 4 * x1, 4);
  const int fu = x & 255;
  const __m128i weights = _mm_set1_epi32((fu << 16) | (256 - fu));  // (256 - fu, fu) per channel pair
  const __m128i zero = _mm_setzero_si128();
  // Channel pairs (left, right) side by side, then one multiply-add per row: left * (256 - fu) + right * fu.
  const __m128i top = _mm_madd_epi16(
      _mm_unpacklo_epi16(_mm_unpacklo_epi8(_mm_cvtsi32_si128(t00), zero), _mm_unpacklo_epi8(_mm_cvtsi32_si128(t10), zero)),
      weights);
  const __m128i bottom = _mm_madd_epi16(
      _mm_unpacklo_epi16(_mm_unpacklo_epi8(_mm_cvtsi32_si128(t01), zero), _mm_unpacklo_epi8(_mm_cvtsi32_si128(t11), zero)),
      weights);
  const __m128 topF = _mm_cvtepi32_ps(top), bottomF = _mm_cvtepi32_ps(bottom);
  const __m128 fv = _mm_set1_ps(static_cast<float>(y & 255) * (1.0f / 256.0f));
  const __m128 texel = _mm_mul_ps(_mm_add_ps(topF, _mm_mul_ps(_mm_sub_ps(bottomF, topF), fv)),
                                  _mm_set1_ps(1.0f / (255.0f * 256.0f)));
  return _mm_or_ps(_mm_and_ps(texel, level.keep), level.force);
}

// Floor of four floats with the same conversions as floorToInt, lane by lane.
D3D8_FILTER_INLINE __m128i floorToInt4(__m128 x) {
  const __m128i i = _mm_cvttps_epi32(x);
  return _mm_add_epi32(i, _mm_castps_si128(_mm_cmplt_ps(x, _mm_cvtepi32_ps(i))));  // -1 where x < i
}

// neighbours() for four texel indices: wrap masks, clamp limits to [0, size - 1].
D3D8_FILTER_INLINE void neighbours4(__m128i i, int size, bool clamp, __m128i* first, __m128i* second) {
  const __m128i next = _mm_add_epi32(i, _mm_set1_epi32(1));
  const __m128i last = _mm_set1_epi32(size - 1);
  if (clamp) {
    auto limit = [last](__m128i v) {
      v = _mm_and_si128(v, _mm_cmpgt_epi32(v, _mm_setzero_si128()));  // max(v, 0)
      const __m128i over = _mm_cmpgt_epi32(v, last);
      return _mm_or_si128(_mm_and_si128(over, last), _mm_andnot_si128(over, v));  // min(v, size - 1)
    };
    *first = limit(i);
    *second = limit(next);
  } else {
    *first = _mm_and_si128(i, last);
    *second = _mm_and_si128(next, last);
  }
}

// bilinear32 for four pixels at once (lanes of u and v), the results in texels[0..3]. Every step is the
// one-pixel kernel's operation lane by lane, so each texel is bit-identical to bilinear32's.
D3D8_FILTER_INLINE void bilinear32x4(bool clampU, bool clampV, const SamplerLevel& level, __m128 u, __m128 v,
                                     __m128* texels) {
  const __m128i x = floorToInt4(_mm_sub_ps(_mm_mul_ps(_mm_mul_ps(u, _mm_set1_ps(level.widthF)), _mm_set1_ps(256.0f)),
                                           _mm_set1_ps(128.0f)));
  const __m128i y = floorToInt4(_mm_sub_ps(_mm_mul_ps(_mm_mul_ps(v, _mm_set1_ps(level.heightF)), _mm_set1_ps(256.0f)),
                                           _mm_set1_ps(128.0f)));
  __m128i x0, x1, y0, y1;
  neighbours4(_mm_srai_epi32(x, 8), level.width, clampU, &x0, &x1);
  neighbours4(_mm_srai_epi32(y, 8), level.height, clampV, &y0, &y1);
  alignas(16) int32_t xs0[4], xs1[4], ys0[4], ys1[4];
  _mm_store_si128(reinterpret_cast<__m128i*>(xs0), x0);
  _mm_store_si128(reinterpret_cast<__m128i*>(xs1), x1);
  _mm_store_si128(reinterpret_cast<__m128i*>(ys0), y0);
  _mm_store_si128(reinterpret_cast<__m128i*>(ys1), y1);
  alignas(16) int32_t t00[4], t10[4], t01[4], t11[4];
  for (int k = 0; k < 4; ++k) {
    const BYTE* row0 = level.bits + static_cast<size_t>(ys0[k]) * level.pitch;
    const BYTE* row1 = level.bits + static_cast<size_t>(ys1[k]) * level.pitch;
    __builtin_memcpy(&t00[k], row0 + 4 * xs0[k], 4);
    __builtin_memcpy(&t10[k], row0 + 4 * xs1[k], 4);
    __builtin_memcpy(&t01[k], row1 + 4 * xs0[k], 4);
    __builtin_memcpy(&t11[k], row1 + 4 * xs1[k], 4);
  }
  // Weights (256 - fu, fu) as 16-bit pairs per lane, fv as in bilinear32.
  const __m128i fu = _mm_and_si128(x, _mm_set1_epi32(255));
  const __m128i weights = _mm_or_si128(_mm_slli_epi32(fu, 16), _mm_sub_epi32(_mm_set1_epi32(256), fu));
  const __m128 fv = _mm_mul_ps(_mm_cvtepi32_ps(_mm_and_si128(y, _mm_set1_epi32(255))), _mm_set1_ps(1.0f / 256.0f));
  // Left and right texels byte-interleaved, then widened: per pixel (b0, b1, g0, g1, r0, r1, a0, a1) in 16 bits.
  const __m128i zero = _mm_setzero_si128();
  const __m128i top = _mm_unpacklo_epi8(_mm_load_si128(reinterpret_cast<const __m128i*>(t00)),
                                        _mm_load_si128(reinterpret_cast<const __m128i*>(t10)));
  const __m128i topHigh = _mm_unpackhi_epi8(_mm_load_si128(reinterpret_cast<const __m128i*>(t00)),
                                            _mm_load_si128(reinterpret_cast<const __m128i*>(t10)));
  const __m128i bottom = _mm_unpacklo_epi8(_mm_load_si128(reinterpret_cast<const __m128i*>(t01)),
                                           _mm_load_si128(reinterpret_cast<const __m128i*>(t11)));
  const __m128i bottomHigh = _mm_unpackhi_epi8(_mm_load_si128(reinterpret_cast<const __m128i*>(t01)),
                                               _mm_load_si128(reinterpret_cast<const __m128i*>(t11)));
  const __m128i topPairs[4] = {_mm_unpacklo_epi8(top, zero), _mm_unpackhi_epi8(top, zero),
                               _mm_unpacklo_epi8(topHigh, zero), _mm_unpackhi_epi8(topHigh, zero)};
  const __m128i bottomPairs[4] = {_mm_unpacklo_epi8(bottom, zero), _mm_unpackhi_epi8(bottom, zero),
                                  _mm_unpacklo_epi8(bottomHigh, zero), _mm_unpackhi_epi8(bottomHigh, zero)};
  alignas(16) int32_t weightLanes[4];
  alignas(16) float fvLanes[4];
  _mm_store_si128(reinterpret_cast<__m128i*>(weightLanes), weights);
  _mm_store_ps(fvLanes, fv);
  for (int k = 0; k < 4; ++k) {
    const __m128i w = _mm_set1_epi32(weightLanes[k]);
    const __m128 topF = _mm_cvtepi32_ps(_mm_madd_epi16(topPairs[k], w));
    const __m128 bottomF = _mm_cvtepi32_ps(_mm_madd_epi16(bottomPairs[k], w));
    const __m128 texel = _mm_mul_ps(_mm_add_ps(topF, _mm_mul_ps(_mm_sub_ps(bottomF, topF), _mm_set1_ps(fvLanes[k]))),
                                    _mm_set1_ps(1.0f / (255.0f * 256.0f)));
    texels[k] = _mm_or_ps(_mm_and_ps(texel, level.keep), level.force);
  }
}

template <D3DFORMAT Format>
D3D8_FILTER_INLINE __m128 filterLevel(const SamplerState& s, int level, DWORD filter, float u, float v) {
  const SamplerLevel& l = s.levels[level];
  if (filter == D3DTEXF_POINT) return pointSample<Format>(s, l, u, v);
  if constexpr (Format == D3DFMT_A8R8G8B8) {
    if (l.powerOfTwo) return bilinear32(s.clampU, s.clampV, l, u, v);
  }
  return bilinearSample<Format>(s, l, u, v);
}

template <D3DFORMAT Format>
D3D8_FILTER_INLINE __m128 sampleTexture(const SamplerState& s, float u, float v, float lambda) {
  lambda += s.lodBias;
  if (!(lambda > 0.0f)) return filterLevel<Format>(s, s.baseLevel, s.magFilter, u, v);
  if (s.mipFilter == D3DTEXF_NONE) return filterLevel<Format>(s, s.baseLevel, s.minFilter, u, v);
  if (s.mipFilter == D3DTEXF_POINT) {
    const int level = std::min(s.baseLevel + floorToInt(lambda + 0.5f), s.lastLevel);
    return filterLevel<Format>(s, level, s.minFilter, u, v);
  }
  const int whole = floorToInt(lambda);
  const int level = s.baseLevel + whole;
  if (level >= s.lastLevel) return filterLevel<Format>(s, s.lastLevel, s.minFilter, u, v);
  const __m128 fine = filterLevel<Format>(s, level, s.minFilter, u, v);
  const __m128 coarse = filterLevel<Format>(s, level + 1, s.minFilter, u, v);
  const __m128 weight = _mm_set1_ps(lambda - static_cast<float>(whole));
  return _mm_add_ps(fine, _mm_mul_ps(_mm_sub_ps(coarse, fine), weight));
}

#undef D3D8_FILTER_INLINE

}  // namespace filters
}  // namespace d3d8compat
