// Fixed-point texels of spans in perspective, included by fixed_rows.cpp only: what a triangle's spans
// share, the level choice and texel values of a four-pixel group (each pixel's level of detail, as
// sampleGroup chooses), and the eight-pixel (AVX2) form of a whole group pair, with the same
// operations on each lane so that the bytes are the same.
#pragma once

#include <immintrin.h>

#include "compat/d3d8/fixed_texels_wide.h"

namespace d3d8compat {
namespace fixed {

// What the spans of a triangle in perspective share: the stage's locals, its level-of-detail constants
// and the span constants of every level it can sample. A group reads them here rather than rebuilding
// them from the sampler and the set-up (which the pixel stores could alias, so they would be read and
// broadcast again at every group).
constexpr int kSamplerLevels = sizeof(SamplerState::levels) / sizeof(SamplerLevel);
struct PerspectiveShare {
  StageLocal stage;
  bool lod;          // the level of detail is computed (else it is 0)
  LodPlanes planes;  // where `lod`
  __m128 bias;       // the sampler's level-of-detail bias, in four lanes
  FixedSpan levels[kSamplerLevels];  // the sampler's levels baseLevel..lastLevel
  bool powerOfTwo[kSamplerLevels];
  bool wide;         // eight pixels at a time (wideGroups())
};

inline void sharePerspective(const PixelState& ps, const TriangleSetup& s, PerspectiveShare* share) {
  const SamplerState& sampler = ps.samplers[0];
  share->stage = stageLocal(ps, 0);
  share->lod = sampler.needsLod && share->stage.offset < 4;
  if (share->lod) share->planes = lodPlanes(s, sampler, share->stage.offset);
  share->bias = _mm_set1_ps(sampler.lodBias);
  share->wide = wideGroups();
  for (int l = sampler.baseLevel; l <= sampler.lastLevel; ++l) {
    share->levels[l] = fixedSpan(sampler.levels[l], share->stage.clampU, share->stage.clampV);
    share->powerOfTwo[l] = sampler.levels[l].powerOfTwo;
  }
}

// A group's texel values in perspective, making sampleGroup's choices of level (each pixel's level of
// detail): one level, or two blended by each pixel's weight when all four pixels share the pair. False
// where the choices lead elsewhere (pixels on different levels, point filters, levels that are not
// powers of two); the caller then takes sampleGroup's float texels. `alpha`: the float texel alpha.
template <bool AlphaTest>
inline __attribute__((always_inline)) bool perspectiveGroup(const PixelState& ps, const PerspectiveShare& share,
                                                            __m128 u, __m128 v, __m128 w, FilteredGroup* f,
                                                            __m128* alpha) {
  const SamplerState& sampler = ps.samplers[0];
  auto single = [&](int level) __attribute__((always_inline)) {
    if (!share.powerOfTwo[level]) return false;
    const FixedSpan& span = share.levels[level];
    *f = filterGroup(span, u, v);
    if constexpr (AlphaTest) *alpha = exactAlpha(span, *f);
    return true;
  };
  if (share.stage.direct) return single(sampler.baseLevel);
  __m128 lambdas = _mm_setzero_ps();
  if (share.lod) lambdas = levelOfDetailx4(share.planes, u, v, w);
  const __m128 biased = _mm_add_ps(lambdas, share.bias);
  const int minified = _mm_movemask_ps(_mm_cmpgt_ps(biased, _mm_setzero_ps()));
  if (minified == 0) return sampler.magFilter == D3DTEXF_LINEAR && single(sampler.baseLevel);
  if (minified != 15 || sampler.minFilter != D3DTEXF_LINEAR) return false;
  if (sampler.mipFilter == D3DTEXF_NONE) return single(sampler.baseLevel);
  auto sameLanes = [](__m128i v) { return _mm_movemask_epi8(_mm_cmpeq_epi32(v, _mm_shuffle_epi32(v, 0))) == 0xFFFF; };
  if (sampler.mipFilter == D3DTEXF_POINT) {
    const __m128i nearest = filters::floorToInt4(_mm_add_ps(biased, _mm_set1_ps(0.5f)));
    if (!sameLanes(nearest)) return false;
    return single(std::min(sampler.baseLevel + _mm_cvtsi128_si32(nearest), sampler.lastLevel));
  }
  const __m128i whole = filters::floorToInt4(biased);
  if (!sameLanes(whole)) return false;
  const int level = sampler.baseLevel + _mm_cvtsi128_si32(whole);
  if (level >= sampler.lastLevel) return single(sampler.lastLevel);
  if (!share.powerOfTwo[level] || !share.powerOfTwo[level + 1]) return false;
  const FixedSpan &fineSpan = share.levels[level], &coarseSpan = share.levels[level + 1];
  *f = filterGroup(fineSpan, u, v);
  const FilteredGroup coarse = filterGroup(coarseSpan, u, v);
  const __m128 weights = _mm_sub_ps(biased, _mm_cvtepi32_ps(whole));
  if constexpr (AlphaTest) {
    const __m128 fine = exactAlpha(fineSpan, *f);
    *alpha = _mm_add_ps(fine, _mm_mul_ps(_mm_sub_ps(exactAlpha(coarseSpan, coarse), fine), weights));
  }
  blendLevels(f, coarse, weights);
  return true;
}

// Eight lanes from two fours (pixels 0..3 low, 4..7 high), and a plane at eight pixels.
__attribute__((target("avx2"))) inline __m256 eightLanes(__m128 low, __m128 high) { return _mm256_set_m128(high, low); }
__attribute__((target("avx2"))) inline __m256 planeAt8(const RowPlane& p, __m256 fx) {
  return _mm256_add_ps(eightLanes(p.row, p.row), _mm256_mul_ps(eightLanes(p.dx, p.dx), fx));
}

// fastLog2x4, levelOfDetailx4 and floorToInt4 on eight lanes, each lane computed as they compute it.
__attribute__((target("avx2"))) inline __m256 fastLog2x8(__m256 x) {
  const __m256i bits = _mm256_castps_si256(x);
  const __m256i exponent =
      _mm256_sub_epi32(_mm256_and_si256(_mm256_srli_epi32(bits, 23), _mm256_set1_epi32(0xFF)), _mm256_set1_epi32(127));
  const __m256 m = _mm256_castsi256_ps(
      _mm256_or_si256(_mm256_and_si256(bits, _mm256_set1_epi32(0x007FFFFF)), _mm256_set1_epi32(0x3F800000)));
  const __m256 t = _mm256_sub_ps(m, _mm256_set1_ps(1.0f));
  const __m256 q = _mm256_add_ps(_mm256_set1_ps(0.43807325f),
                                 _mm256_mul_ps(t, _mm256_add_ps(_mm256_set1_ps(-0.23669342f), _mm256_mul_ps(t, _mm256_set1_ps(0.08030730f)))));
  return _mm256_add_ps(_mm256_add_ps(_mm256_cvtepi32_ps(exponent), t),
                       _mm256_mul_ps(_mm256_mul_ps(t, _mm256_sub_ps(_mm256_set1_ps(1.0f), t)), q));
}

__attribute__((target("avx2"))) inline __m256 derivative8(__m128 texD, __m256 t, __m128 rhwD, __m256 w, __m128 size) {
  return _mm256_mul_ps(_mm256_mul_ps(_mm256_sub_ps(eightLanes(texD, texD), _mm256_mul_ps(t, eightLanes(rhwD, rhwD))), w),
                       eightLanes(size, size));
}
__attribute__((target("avx2"))) inline __m256 levelOfDetailx8(const LodPlanes& p, __m256 u, __m256 v, __m256 w) {
  const __m256 dudx = derivative8(p.uDx, u, p.rhwDx, w, p.width), dvdx = derivative8(p.vDx, v, p.rhwDx, w, p.height);
  const __m256 dudy = derivative8(p.uDy, u, p.rhwDy, w, p.width), dvdy = derivative8(p.vDy, v, p.rhwDy, w, p.height);
  const __m256 lengthX = _mm256_add_ps(_mm256_mul_ps(dudx, dudx), _mm256_mul_ps(dvdx, dvdx));
  const __m256 lengthY = _mm256_add_ps(_mm256_mul_ps(dudy, dudy), _mm256_mul_ps(dvdy, dvdy));
  return _mm256_mul_ps(_mm256_set1_ps(0.5f), fastLog2x8(_mm256_max_ps(lengthX, lengthY)));
}

__attribute__((target("avx2"))) inline __m256i floorToInt8(__m256 x) {
  const __m256i i = _mm256_cvttps_epi32(x);
  return _mm256_add_epi32(i, _mm256_castps_si256(_mm256_cmp_ps(x, _mm256_cvtepi32_ps(i), _CMP_LT_OS)));
}

// Whether the eight lanes hold the same value.
__attribute__((target("avx2"))) inline bool sameLanes8(__m256i v) {
  return _mm256_movemask_epi8(_mm256_cmpeq_epi32(v, _mm256_broadcastd_epi32(_mm256_castsi256_si128(v)))) == -1;
}

// The level choice of eight pixels: the level (or pair, blended towards the coarser by `weights`) that
// perspectiveGroup chooses for each four of them. False where the two fours would choose differently, or
// either would take the float texels: the caller then shades them as two groups.
struct Levels8 {
  const FixedSpan* fine;
  const FixedSpan* coarse;  // null: one level
  __m256 weights;
};
__attribute__((target("avx2"))) inline bool chooseLevels8(const PixelState& ps, const PerspectiveShare& share, __m256 u,
                                                          __m256 v, __m256 w, Levels8* out) {
  const SamplerState& sampler = ps.samplers[0];
  out->coarse = nullptr;
  auto single = [&](int level) __attribute__((always_inline)) {
    out->fine = &share.levels[level];
    return share.powerOfTwo[level];
  };
  if (share.stage.direct) return single(sampler.baseLevel);
  __m256 lambdas = _mm256_setzero_ps();
  if (share.lod) lambdas = levelOfDetailx8(share.planes, u, v, w);
  const __m256 biased = _mm256_add_ps(lambdas, eightLanes(share.bias, share.bias));
  const int minified = _mm256_movemask_ps(_mm256_cmp_ps(biased, _mm256_setzero_ps(), _CMP_GT_OS));
  if (minified == 0) return sampler.magFilter == D3DTEXF_LINEAR && single(sampler.baseLevel);
  if (minified != 0xFF || sampler.minFilter != D3DTEXF_LINEAR) return false;
  if (sampler.mipFilter == D3DTEXF_NONE) return single(sampler.baseLevel);
  if (sampler.mipFilter == D3DTEXF_POINT) {
    const __m256i nearest = floorToInt8(_mm256_add_ps(biased, _mm256_set1_ps(0.5f)));
    if (!sameLanes8(nearest)) return false;
    return single(std::min(sampler.baseLevel + _mm256_cvtsi256_si32(nearest), sampler.lastLevel));
  }
  const __m256i whole = floorToInt8(biased);
  if (!sameLanes8(whole)) return false;
  const int level = sampler.baseLevel + _mm256_cvtsi256_si32(whole);
  if (level >= sampler.lastLevel) return single(sampler.lastLevel);
  if (!share.powerOfTwo[level] || !share.powerOfTwo[level + 1]) return false;
  out->fine = &share.levels[level];
  out->coarse = &share.levels[level + 1];
  out->weights = _mm256_sub_ps(biased, _mm256_cvtepi32_ps(whole));
  return true;
}

// a + (b - a) * w / 65536 on texel values, as blendLevels blends them (w: twice the 15-bit weight).
__attribute__((target("avx2"))) inline __m256i lerp8(__m256i a, __m256i b, __m256i w) {
  return _mm256_add_epi16(_mm256_sub_epi16(a, _mm256_mulhi_epu16(a, w)), _mm256_mulhi_epu16(b, w));
}

// blendLevels() for eight pixels in filterTexels8's lanes, the weights in pixel order.
__attribute__((target("avx2"))) inline void blendLevels8(__m256i* fine0145, __m256i* fine2367, __m256i coarse0145,
                                                         __m256i coarse2367, __m256 weights) {
  const __m256i scaled = _mm256_cvtps_epi32(_mm256_mul_ps(weights, _mm256_set1_ps(32767.0f)));
  __m128i w01, w23, w45, w67;
  spreadPairs(_mm256_castsi256_si128(scaled), &w01, &w23);
  spreadPairs(_mm256_extracti128_si256(scaled, 1), &w45, &w67);
  *fine0145 = lerp8(*fine0145, coarse0145, _mm256_slli_epi16(_mm256_set_m128i(w45, w01), 1));
  *fine2367 = lerp8(*fine2367, coarse2367, _mm256_slli_epi16(_mm256_set_m128i(w67, w23), 1));
}

// The texel values of eight pixels on `levels`: filterTexels8 on the fine level, and where there is a
// coarse one, on it too, blended towards it as blendLevels blends. The columns go to fineColumns and
// coarseColumns where they are not null.
__attribute__((target("avx2"))) inline void filterLevels8(const Levels8& levels, __m128 uLow, __m128 uHigh, __m128 vLow,
                                                          __m128 vHigh, __m256i* texels0145, __m256i* texels2367,
                                                          Columns8* fineColumns, Columns8* coarseColumns) {
  filterTexels8(*levels.fine, uLow, uHigh, vLow, vHigh, texels0145, texels2367, fineColumns);
  if (levels.coarse == nullptr) return;
  __m256i coarse0145, coarse2367;
  filterTexels8(*levels.coarse, uLow, uHigh, vLow, vHigh, &coarse0145, &coarse2367, coarseColumns);
  blendLevels8(texels0145, texels2367, coarse0145, coarse2367, levels.weights);
}

// What the colour of a span in perspective brings to each pixel: per lane the texture's multiplier
// (kTexture + kModulate * colour * w) and the diffuse lanes (diffuseLanes & colour * w), from the
// pixel state's fixed* lanes.
struct PerspectiveColor {
  __m128 kTexture, kModulate, diffuseLanes;
  bool anyDiffuse;
};

// colorChannels() on eight lanes.
__attribute__((target("avx2"))) inline __m256i colorChannels8(__m256 color) {
  const __m256 clamped = _mm256_min_ps(_mm256_max_ps(color, _mm256_setzero_ps()), _mm256_set1_ps(1.0f));
  return _mm256_cvttps_epi32(_mm256_add_ps(_mm256_mul_ps(clamped, _mm256_set1_ps(255.0f)), _mm256_set1_ps(0.5f)));
}

// The alpha lanes of four colours held as pixels k | 4 + k in c[k]: pixels 0..3 in halves[0], 4..7 in halves[1].
__attribute__((target("avx2"))) inline void alphaHalves(const __m256* c, __m128* halves) {
  const __m128 low[4] = {_mm256_castps256_ps128(c[0]), _mm256_castps256_ps128(c[1]), _mm256_castps256_ps128(c[2]),
                         _mm256_castps256_ps128(c[3])};
  const __m128 high[4] = {_mm256_extractf128_ps(c[0], 1), _mm256_extractf128_ps(c[1], 1), _mm256_extractf128_ps(c[2], 1),
                          _mm256_extractf128_ps(c[3], 1)};
  halves[0] = alphaOf(low);
  halves[1] = alphaOf(high);
}

// multiplierPair() of the clamped multipliers of pixels k | 4 + k (a) and k + 1 | 5 + k (b).
__attribute__((target("avx2"))) inline __m256i multiplierPairs8(__m256 a, __m256 b) {
  const __m256 zero = _mm256_setzero_ps(), one = _mm256_set1_ps(1.0f), factor = _mm256_set1_ps(65536.0f);
  const __m256i bias = _mm256_set1_epi32(0x8000);
  const __m256i low = _mm256_sub_epi32(_mm256_cvtps_epi32(_mm256_mul_ps(_mm256_min_ps(_mm256_max_ps(a, zero), one), factor)), bias);
  const __m256i high = _mm256_sub_epi32(_mm256_cvtps_epi32(_mm256_mul_ps(_mm256_min_ps(_mm256_max_ps(b, zero), one), factor)), bias);
  return _mm256_xor_si256(_mm256_packs_epi32(low, high), _mm256_set1_epi16(static_cast<short>(0x8000)));
}

// The texel alpha of pixels 0..3 (half 0) or 4..7 (half 1), as perspectiveGroup finds it.
template <int Half>
__attribute__((target("avx2"))) inline __m128 texelAlpha8(const Levels8& levels, const Columns8& fine, const Columns8& coarse) {
  const __m128 alpha = exactAlpha8<Half>(*levels.fine, fine);
  if (levels.coarse == nullptr) return alpha;
  const __m128 weights = Half == 0 ? _mm256_castps256_ps128(levels.weights) : _mm256_extractf128_ps(levels.weights, 1);
  return _mm_add_ps(alpha, _mm_mul_ps(_mm_sub_ps(exactAlpha8<Half>(*levels.coarse, coarse), alpha), weights));
}

// Eight pixels of a span in perspective, where the processor has AVX2: the group loop's arithmetic for
// two groups on 256-bit vectors, so the bytes are the same. fxLow: the loop's fx for pixels 0..3, fxHigh
// its next value; colors: the colours (times rhw) of pixels 0..3, colorStep the step to pixels 4..7.
// `visible`: the pixels that passed the depth test (bits 0..7), on return those that pass the alpha
// test too. False (nothing written) where the two groups would not choose the same levels.
template <BlendMode Blend, bool AlphaTest>
__attribute__((target("avx2"))) bool perspectiveEight(const PixelState& ps, const PerspectiveShare& share,
                                                      const RowPlane& uPlane, const RowPlane& vPlane,
                                                      const RowPlane& rhwPlane, __m128 fxLow, __m128 fxHigh,
                                                      const __m128* colors, __m128 colorStep,
                                                      const PerspectiveColor& color, __m128i alphaOr, unsigned alphaTable,
                                                      uint32_t alphaRef, unsigned* visibleBits, BYTE* colorOut) {
  const __m256 fx = eightLanes(fxLow, fxHigh);
  const __m256 w = _mm256_div_ps(_mm256_set1_ps(1.0f), planeAt8(rhwPlane, fx));
  const __m256 u = _mm256_mul_ps(planeAt8(uPlane, fx), w), v = _mm256_mul_ps(planeAt8(vPlane, fx), w);
  Levels8 levels;
  if (!chooseLevels8(ps, share, u, v, w, &levels)) return false;
  unsigned visible = *visibleBits;
  const __m128 uLow = _mm256_castps256_ps128(u), uHigh = _mm256_extractf128_ps(u, 1);
  const __m128 vLow = _mm256_castps256_ps128(v), vHigh = _mm256_extractf128_ps(v, 1);
  __m256i texels0145, texels2367;
  Columns8 fineColumns, coarseColumns;
  filterLevels8(levels, uLow, uHigh, vLow, vHigh, &texels0145, &texels2367, AlphaTest ? &fineColumns : nullptr,
                AlphaTest ? &coarseColumns : nullptr);
  // Per pixel its multiplier and diffuse lanes: pixels k and 4 + k share a vector.
  __m256 m[4], d[4];
  const __m256 kTexture = eightLanes(color.kTexture, color.kTexture), kModulate = eightLanes(color.kModulate, color.kModulate);
  const __m256 diffuseLanes = eightLanes(color.diffuseLanes, color.diffuseLanes);
  const __m256 ws[4] = {_mm256_permute_ps(w, 0x00), _mm256_permute_ps(w, 0x55), _mm256_permute_ps(w, 0xAA),
                        _mm256_permute_ps(w, 0xFF)};
  for (int k = 0; k < 4; ++k) {
    const __m256 scaled = _mm256_mul_ps(eightLanes(colors[k], _mm_add_ps(colors[k], colorStep)), ws[k]);
    m[k] = _mm256_add_ps(kTexture, _mm256_mul_ps(kModulate, scaled));
    d[k] = _mm256_and_ps(diffuseLanes, scaled);
  }
  __m128 alphaMultiplier[2], diffuseAlpha[2] = {_mm_setzero_ps(), _mm_setzero_ps()};
  if constexpr (AlphaTest) alphaHalves(m, alphaMultiplier);
  __m256i out0145 = modulate8(texels0145, multiplierPairs8(m[0], m[1]), _mm256_setzero_si256());
  __m256i out2367 = modulate8(texels2367, multiplierPairs8(m[2], m[3]), _mm256_setzero_si256());
  if (color.anyDiffuse) {
    if constexpr (AlphaTest) alphaHalves(d, diffuseAlpha);
    out0145 = _mm256_or_si256(out0145, _mm256_packs_epi32(colorChannels8(d[0]), colorChannels8(d[1])));
    out2367 = _mm256_or_si256(out2367, _mm256_packs_epi32(colorChannels8(d[2]), colorChannels8(d[3])));
  }
  if constexpr (AlphaTest) {
    auto passes = [&](__m128 alpha, int h) {
      return alphaPasses(_mm_add_ps(_mm_mul_ps(alpha, alphaMultiplier[h]), diffuseAlpha[h]), alphaTable, alphaRef);
    };
    visible &= passes(texelAlpha8<0>(levels, fineColumns, coarseColumns), 0) |
               passes(texelAlpha8<1>(levels, fineColumns, coarseColumns), 1) << 4;
  }
  if (visible != 0) storeEight<Blend>(out0145, out2367, visible, alphaOr, colorOut);
  *visibleBits = visible;
  return true;
}

}  // namespace fixed
}  // namespace d3d8compat
