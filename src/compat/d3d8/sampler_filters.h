// Texture filtering kernels of the sampler, inline so pixel routines can call them directly: texel
// fetch per format, point and bilinear filtering on one level, and mip selection by level of detail.
// sampler.h holds the state they read; nothing here decides which kernel a draw uses.
#pragma once

#include <algorithm>

#include "compat/d3d8/limits.h"
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
    // A4R4G4B4 levels are sampled through their A8R8G8B8 copies (Surface::samplingBits).
    static_assert(Format == D3DFMT_R5G6B5, "16-bit textures other than R5G6B5 are read widened");
    return _mm_set_ps(1.0f, static_cast<float>(word >> 11) / 31.0f, static_cast<float>((word >> 5) & 63) / 63.0f,
                      static_cast<float>(word & 31) / 31.0f);
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

// Lane K of a vector in every lane.
template <int K>
D3D8_FILTER_INLINE __m128i broadcastLane(__m128i v) {
  return _mm_shuffle_epi32(v, K * 0x55);
}
template <int K>
D3D8_FILTER_INLINE __m128 broadcastLane(__m128 v) {
  return _mm_shuffle_ps(v, v, K * 0x55);
}

// Calls f.template operator()<K>() for K = 0..3: per-pixel work on lanes that needs K as a constant.
template <typename F>
D3D8_FILTER_INLINE void forEachLane(F&& f) {
  f.template operator()<0>();
  f.template operator()<1>();
  f.template operator()<2>();
  f.template operator()<3>();
}

// Four 32-bit texels at byte offsets offsets[0..3] from `bits`, lane k from offset k. The vector is
// assembled in registers: narrow stores read back as one vector would stall store forwarding.
D3D8_FILTER_INLINE __m128i gatherTexels(const BYTE* bits, const int32_t* offsets) {
  auto one = [bits, offsets](int k) {
    int32_t word;
    __builtin_memcpy(&word, bits + offsets[k], 4);
    return _mm_cvtsi32_si128(word);
  };
  return _mm_unpacklo_epi64(_mm_unpacklo_epi32(one(0), one(1)), _mm_unpacklo_epi32(one(2), one(3)));
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
  // Byte offsets of the corners: row * pitch (one 16-bit multiply-add: rows and pitches are below 2^15)
  // plus column * 4.
  static_assert(kMaxTextureSize * 4 < 32768, "texture rows and pitches must fit a signed 16-bit multiply");
  const __m128i pitch = _mm_set1_epi32(level.pitch);
  const __m128i row0 = _mm_madd_epi16(y0, pitch), column0 = _mm_slli_epi32(x0, 2);
  // Per pixel, the left and right texels of the upper and lower row as 16-bit pairs
  // (b0, b1, g0, g1, r0, r1, a0, a1).
  __m128i topPairs[4], bottomPairs[4];
  const __m128i zero = _mm_setzero_si128(), one = _mm_set1_epi32(1);
  const __m128i adjacent = _mm_and_si128(_mm_cmpeq_epi32(x1, _mm_add_epi32(x0, one)), _mm_cmpeq_epi32(y1, _mm_add_epi32(y0, one)));
  if (_mm_movemask_epi8(adjacent) == 0xFFFF) {
    // No pixel's square crosses an edge: each row's two texels are one 8-byte load, the lower row one
    // pitch further on.
    alignas(16) int32_t offsets[4];
    _mm_store_si128(reinterpret_cast<__m128i*>(offsets), _mm_add_epi32(row0, column0));
    auto pairs = [zero](const BYTE* p) {
      const __m128i both = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(p));
      return _mm_unpacklo_epi8(_mm_unpacklo_epi8(both, _mm_srli_si128(both, 4)), zero);
    };
    for (int k = 0; k < 4; ++k) {
      const BYTE* p = level.bits + offsets[k];
      topPairs[k] = pairs(p);
      bottomPairs[k] = pairs(p + level.pitch);
    }
  } else {
    const __m128i row1 = _mm_madd_epi16(y1, pitch), column1 = _mm_slli_epi32(x1, 2);
    alignas(16) int32_t offsets[4][4];
    _mm_store_si128(reinterpret_cast<__m128i*>(offsets[0]), _mm_add_epi32(row0, column0));
    _mm_store_si128(reinterpret_cast<__m128i*>(offsets[1]), _mm_add_epi32(row0, column1));
    _mm_store_si128(reinterpret_cast<__m128i*>(offsets[2]), _mm_add_epi32(row1, column0));
    _mm_store_si128(reinterpret_cast<__m128i*>(offsets[3]), _mm_add_epi32(row1, column1));
    const __m128i t00 = gatherTexels(level.bits, offsets[0]), t10 = gatherTexels(level.bits, offsets[1]);
    const __m128i t01 = gatherTexels(level.bits, offsets[2]), t11 = gatherTexels(level.bits, offsets[3]);
    // Left and right texels byte-interleaved, then widened.
    const __m128i top = _mm_unpacklo_epi8(t00, t10), topHigh = _mm_unpackhi_epi8(t00, t10);
    const __m128i bottom = _mm_unpacklo_epi8(t01, t11), bottomHigh = _mm_unpackhi_epi8(t01, t11);
    topPairs[0] = _mm_unpacklo_epi8(top, zero);
    topPairs[1] = _mm_unpackhi_epi8(top, zero);
    topPairs[2] = _mm_unpacklo_epi8(topHigh, zero);
    topPairs[3] = _mm_unpackhi_epi8(topHigh, zero);
    bottomPairs[0] = _mm_unpacklo_epi8(bottom, zero);
    bottomPairs[1] = _mm_unpackhi_epi8(bottom, zero);
    bottomPairs[2] = _mm_unpacklo_epi8(bottomHigh, zero);
    bottomPairs[3] = _mm_unpackhi_epi8(bottomHigh, zero);
  }
  // Weights (256 - fu, fu) as 16-bit pairs per lane, fv as in bilinear32.
  const __m128i fu = _mm_and_si128(x, _mm_set1_epi32(255));
  const __m128i weights = _mm_or_si128(_mm_slli_epi32(fu, 16), _mm_sub_epi32(_mm_set1_epi32(256), fu));
  const __m128 fv = _mm_mul_ps(_mm_cvtepi32_ps(_mm_and_si128(y, _mm_set1_epi32(255))), _mm_set1_ps(1.0f / 256.0f));
  const __m128 scale = _mm_set1_ps(1.0f / (255.0f * 256.0f));
  forEachLane([&]<int K>() __attribute__((always_inline)) {
    const __m128i w = broadcastLane<K>(weights);
    const __m128 topF = _mm_cvtepi32_ps(_mm_madd_epi16(topPairs[K], w));
    const __m128 bottomF = _mm_cvtepi32_ps(_mm_madd_epi16(bottomPairs[K], w));
    const __m128 texel = _mm_mul_ps(_mm_add_ps(topF, _mm_mul_ps(_mm_sub_ps(bottomF, topF), broadcastLane<K>(fv))), scale);
    texels[K] = level.forceAlpha ? _mm_or_ps(_mm_and_ps(texel, level.keep), level.force) : texel;
  });
}

// What bilinear32x4 works out from v, for a row of pixels that all sample at the same v: the two
// texel rows and the vertical weight.
struct TexelRows {
  const BYTE* upper;
  const BYTE* lower;
  __m128 fv;
};

inline TexelRows texelRows(bool clampV, const SamplerLevel& level, float v) {
  const int y = floorToInt(v * level.heightF * 256.0f - 128.0f);
  int y0, y1;
  neighbours(y >> 8, level.height, clampV, &y0, &y1);
  return {level.bits + static_cast<size_t>(y0) * level.pitch, level.bits + static_cast<size_t>(y1) * level.pitch,
          _mm_set1_ps(static_cast<float>(y & 255) * (1.0f / 256.0f))};
}

// bilinear32x4 for four pixels sharing one v (rows from texelRows): the same operations on the same
// values, so each texel is bit-identical to bilinear32x4's.
D3D8_FILTER_INLINE void bilinear32x4Row(bool clampU, const SamplerLevel& level, const TexelRows& rows, __m128 u,
                                        __m128* texels) {
  const __m128i x = floorToInt4(_mm_sub_ps(_mm_mul_ps(_mm_mul_ps(u, _mm_set1_ps(level.widthF)), _mm_set1_ps(256.0f)),
                                           _mm_set1_ps(128.0f)));
  __m128i x0, x1;
  neighbours4(_mm_srai_epi32(x, 8), level.width, clampU, &x0, &x1);
  __m128i topPairs[4], bottomPairs[4];
  const __m128i zero = _mm_setzero_si128();
  alignas(16) int32_t left[4];
  _mm_store_si128(reinterpret_cast<__m128i*>(left), _mm_slli_epi32(x0, 2));
  if (_mm_movemask_epi8(_mm_cmpeq_epi32(x1, _mm_add_epi32(x0, _mm_set1_epi32(1)))) == 0xFFFF) {
    auto pairs = [zero](const BYTE* p) {
      const __m128i both = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(p));
      return _mm_unpacklo_epi8(_mm_unpacklo_epi8(both, _mm_srli_si128(both, 4)), zero);
    };
    for (int k = 0; k < 4; ++k) {
      topPairs[k] = pairs(rows.upper + left[k]);
      bottomPairs[k] = pairs(rows.lower + left[k]);
    }
  } else {
    alignas(16) int32_t right[4];
    _mm_store_si128(reinterpret_cast<__m128i*>(right), _mm_slli_epi32(x1, 2));
    auto pairs = [zero](const BYTE* row, int32_t first, int32_t second) {
      int32_t a, b;
      __builtin_memcpy(&a, row + first, 4);
      __builtin_memcpy(&b, row + second, 4);
      return _mm_unpacklo_epi8(_mm_unpacklo_epi8(_mm_cvtsi32_si128(a), _mm_cvtsi32_si128(b)), zero);
    };
    for (int k = 0; k < 4; ++k) {
      topPairs[k] = pairs(rows.upper, left[k], right[k]);
      bottomPairs[k] = pairs(rows.lower, left[k], right[k]);
    }
  }
  const __m128i fu = _mm_and_si128(x, _mm_set1_epi32(255));
  const __m128i weights = _mm_or_si128(_mm_slli_epi32(fu, 16), _mm_sub_epi32(_mm_set1_epi32(256), fu));
  const __m128 scale = _mm_set1_ps(1.0f / (255.0f * 256.0f));
  forEachLane([&]<int K>() __attribute__((always_inline)) {
    const __m128i w = broadcastLane<K>(weights);
    const __m128 topF = _mm_cvtepi32_ps(_mm_madd_epi16(topPairs[K], w));
    const __m128 bottomF = _mm_cvtepi32_ps(_mm_madd_epi16(bottomPairs[K], w));
    const __m128 texel = _mm_mul_ps(_mm_add_ps(topF, _mm_mul_ps(_mm_sub_ps(bottomF, topF), rows.fv)), scale);
    texels[K] = level.forceAlpha ? _mm_or_ps(_mm_and_ps(texel, level.keep), level.force) : texel;
  });
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
