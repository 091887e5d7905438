// Fixed-point rows of the feedback blur's two-stage draws (`textureBlend` cascades, no depth):
// result colour = k1 * texture 1 + k2 * texture 0, saturated, with k1 and k2 in 0..1 (the
// BLENDFACTORALPHA averaging and the ADD passes), both textures bilinear on one level, on triangles
// without perspective. The alpha is the diffuse alpha through the stages, the same at every pixel of
// a span: it is computed once, in float, exactly as the float routine computes it, so the alpha test
// and the blends see the same alpha. Spans that do not fit go to the float routine. Opaque and additive
// spans go eight pixels at a time where the processor has AVX2.
#include <atomic>

#include "compat/d3d8/fixed_texels.h"
#include "compat/d3d8/fixed_texels_wide.h"

namespace d3d8compat {
namespace {

using namespace routines;
using namespace fixed;

// A stage coefficient (0..1 per lane) in 1/65536 as 16-bit lanes (b, g, r, a twice), with "whole"
// 0xFFFF where it is exactly 1.
struct Coefficient {
  __m128i part, whole;
};
inline Coefficient coefficient(__m128 k) {
  const __m128i isWhole = _mm_cmpeq_epi32(_mm_cvtps_epi32(_mm_mul_ps(k, _mm_set1_ps(65536.0f))), _mm_set1_epi32(65536));
  const __m128 part = _mm_andnot_ps(_mm_castsi128_ps(isWhole), k);
  return {multiplierPair(part, part), _mm_packs_epi32(isWhole, isWhole)};
}

// k1 * T1 + k2 * T0 for two pixels, rounded to 8 bits and saturated; the alpha lanes are then replaced.
inline __attribute__((always_inline)) __m128i blendTexels(__m128i texels0, __m128i texels1, const Coefficient& k1,
                                                          const Coefficient& k2, __m128i alpha, __m128i colorLanes) {
  const __m128i first = _mm_add_epi16(_mm_mulhi_epu16(texels1, k1.part), _mm_and_si128(texels1, k1.whole));
  const __m128i second = _mm_add_epi16(_mm_mulhi_epu16(texels0, k2.part), _mm_and_si128(texels0, k2.whole));
  const __m128i sum = _mm_adds_epu16(_mm_adds_epu16(first, second), _mm_set1_epi16(128));
  return _mm_or_si128(_mm_and_si128(_mm_srli_epi16(sum, 8), colorLanes), alpha);
}

std::atomic<bool> g_wideGroups{true};

// blendTexels() on 256-bit vectors, the coefficients and lanes broadcast.
struct Coefficients8 {
  __m256i k1Part, k1Whole, k2Part, k2Whole, alpha, color;
};
__attribute__((target("avx2"))) inline __m256i blendTexels8(__m256i texels0, __m256i texels1, const Coefficients8& k) {
  const __m256i first = _mm256_add_epi16(_mm256_mulhi_epu16(texels1, k.k1Part), _mm256_and_si256(texels1, k.k1Whole));
  const __m256i second = _mm256_add_epi16(_mm256_mulhi_epu16(texels0, k.k2Part), _mm256_and_si256(texels0, k.k2Whole));
  const __m256i sum = _mm256_adds_epu16(_mm256_adds_epu16(first, second), _mm256_set1_epi16(128));
  return _mm256_or_si256(_mm256_and_si256(_mm256_srli_epi16(sum, 8), k.color), k.alpha);
}

// Eight pixels at once, opaque or additive: the four-pixel loop's arithmetic on 256-bit vectors, so the
// bytes are the same. A stage with a blended row (rows[i] not null) reads it where the pixels' columns
// lie in it, else filters per pixel, as the loop does. fxLow: the loop's fx for pixels 0..3, fxHigh its
// next value.
template <BlendMode Blend>
__attribute__((target("avx2"))) void eightPixels(const RowPlane* uPlanes, const RowPlane* vPlanes, __m128 w,
                                                 const FixedSpan* spans, const BlendedRow* const* rows,
                                                 const Coefficient& k1, const Coefficient& k2, __m128i alphaLanes,
                                                 __m128i colorLanes, __m128i alphaOr, __m128 fxLow, __m128 fxHigh,
                                                 BYTE* colorOut) {
  static_assert(Blend == BlendMode::kOpaque || Blend == BlendMode::kAdditive);
  __m256i texels[2][2];
  for (int i = 0; i < 2; ++i) {
    const __m128 uLow = _mm_mul_ps(planeAt(uPlanes[i], fxLow), w), uHigh = _mm_mul_ps(planeAt(uPlanes[i], fxHigh), w);
    if (rows[i] == nullptr || !rowTexels8(spans[i], *rows[i], uLow, uHigh, &texels[i][0], &texels[i][1])) {
      filterTexels8(spans[i], uLow, uHigh, _mm_mul_ps(planeAt(vPlanes[i], fxLow), w),
                    _mm_mul_ps(planeAt(vPlanes[i], fxHigh), w), &texels[i][0], &texels[i][1]);
    }
  }
  const Coefficients8 k{_mm256_broadcastsi128_si256(k1.part), _mm256_broadcastsi128_si256(k1.whole),
                       _mm256_broadcastsi128_si256(k2.part), _mm256_broadcastsi128_si256(k2.whole),
                       _mm256_broadcastsi128_si256(alphaLanes), _mm256_broadcastsi128_si256(colorLanes)};
  // Lanes of pixels 0, 1 | 4, 5 and 2, 3 | 6, 7 pack to pixels 0..3 | 4..7.
  const __m256i out0145 = blendTexels8(texels[0][0], texels[1][0], k), out2367 = blendTexels8(texels[0][1], texels[1][1], k);
  storeEight<Blend>(out0145, out2367, 0xFFu, alphaOr, colorOut);
}

template <BlendMode Blend>
void shadeFixedBlend(const void* context, const TriangleSetup& s, int y, int xBegin, int xEnd) {
  const PixelState& ps = *static_cast<const PixelState*>(context);
  if (s.rhwDx != 0.0f || s.rhwDy != 0.0f || s.colorDx[3] != 0.0f) {  // perspective, or alpha along the row
    ps.floatSpan(context, s, y, xBegin, xEnd);
    return;
  }
  const StageLocal stages[2] = {stageLocal(ps, 0), stageLocal(ps, 1)};
  const float fy = static_cast<float>(y) - s.y0;
  __m128 fx = _mm_add_ps(_mm_set1_ps(static_cast<float>(xBegin) - s.x0), _mm_setr_ps(0.0f, 1.0f, 2.0f, 3.0f));
  const __m128 w = _mm_div_ps(_mm_set1_ps(1.0f), _mm_set1_ps(s.rhw + s.rhwDy * fy));
  RowPlane uPlanes[2], vPlanes[2];
  FixedSpan spans[2];
  for (int i = 0; i < 2; ++i) {
    const int offset = stages[i].offset;
    uPlanes[i] = rowPlane(s.tex[offset], s.texDx[offset], s.texDy[offset], fy);
    vPlanes[i] = rowPlane(s.tex[offset + 1], s.texDx[offset + 1], s.texDy[offset + 1], fy);
    const float u0 = _mm_cvtss_f32(_mm_mul_ps(planeAt(uPlanes[i], fx), w));
    const float v0 = _mm_cvtss_f32(_mm_mul_ps(planeAt(vPlanes[i], fx), w));
    RowSampling sampling;
    if (!prepareRowSampling(ps, s, i, stages[i], u0, v0, _mm_cvtss_f32(w), &sampling) || sampling.count != 1) {
      ps.floatSpan(context, s, y, xBegin, xEnd);
      return;
    }
    spans[i] = fixedSpan(stages[i], s, sampling);
  }

  // The span's alpha, as runTextureBlend computes it from the diffuse colour.
  const __m128 k1 = ps.cascade.stages[1].k1, k2 = ps.cascade.stages[1].k2;
  __m128 colors[4];
  groupColors(s, xBegin, fy, colors);
  const __m128 diffuse = _mm_mul_ps(colors[0], w);
  const __m128 current = saturate(diffuse);
  const __m128 result = saturate(_mm_add_ps(_mm_mul_ps(k1, current), _mm_mul_ps(k2, current)));
  const int alpha = _mm_cvtsi128_si32(_mm_shuffle_epi32(colorChannels(result), _MM_SHUFFLE(3, 3, 3, 3)));
  if (!comparisonPasses(ps.alphaTable, static_cast<uint32_t>(alpha), ps.alphaRef)) return;
  const __m128i alphaLanes = _mm_set_epi16(static_cast<short>(alpha), 0, 0, 0, static_cast<short>(alpha), 0, 0, 0);
  const __m128i colorLanes = _mm_set_epi16(0, -1, -1, -1, 0, -1, -1, -1);
  const Coefficient c1 = coefficient(k1), c2 = coefficient(k2);

  // Stages whose v is constant along the row, magnified or copied, read a row blended once per column.
  thread_local ColumnBuffer columnBuffers[2];
  BlendedRow rows[2];
  bool fromRow[2];
  for (int i = 0; i < 2; ++i) fromRow[i] = blendedRow(spans[i], uPlanes[i], fx, w, xEnd - xBegin, &columnBuffers[i], &rows[i]);

  BYTE* colorOut = ps.color + static_cast<size_t>(y) * ps.colorPitch + static_cast<size_t>(xBegin) * 4;
  const __m128i alphaOr = _mm_set1_epi32(static_cast<int>(ps.alphaOr));
  const int colorRow = ps.colorPitch / 4;
  // One group of four pixels from x; fx and colorOut move on to the next.
  auto group = [&](int x) {
    const int count = xEnd - x < 4 ? xEnd - x : 4;
    const unsigned visible = (1u << count) - 1u;
    const bool colorWhole = x + 4 <= colorRow;
    FilteredGroup f[2];
    for (int i = 0; i < 2; ++i) {
      const __m128 u = _mm_mul_ps(planeAt(uPlanes[i], fx), w);
      if (!fromRow[i] || !filterGroupFromRow(spans[i], rows[i], u, &f[i])) {
        f[i] = filterGroup(spans[i], u, _mm_mul_ps(planeAt(vPlanes[i], fx), w));
      }
    }
    const FilteredGroup& f0 = f[0];
    const FilteredGroup& f1 = f[1];
    const __m128i out01 = blendTexels(f0.pair01.texels, f1.pair01.texels, c1, c2, alphaLanes, colorLanes);
    const __m128i out23 = blendTexels(f0.pair23.texels, f1.pair23.texels, c1, c2, alphaLanes, colorLanes);
    const __m128i source = _mm_packus_epi16(out01, out23);
    __m128i stored = _mm_setzero_si128();
    if (Blend != BlendMode::kOpaque || visible != 15u) stored = loadGroup(colorOut, 4, count, colorWhole);
    const __m128i words = blendGroup<Blend>(source, out01, out23, stored, alphaOr);
    storeGroup(colorOut, 4, count, colorWhole, visible == 15u ? words : selectLanes(laneMask(visible), words, stored));
    fx = _mm_add_ps(fx, _mm_set1_ps(4.0f));
    colorOut += 16;
  };
  int x = xBegin;
  if constexpr (Blend == BlendMode::kOpaque || Blend == BlendMode::kAdditive) {
    // Eight pixels at a time where the processor can, fx stepping by 4 as in the four-pixel loop, which
    // takes the rest of the span.
    if (wideGroups()) {
      const BlendedRow* rowOf[2] = {fromRow[0] ? &rows[0] : nullptr, fromRow[1] ? &rows[1] : nullptr};
      for (; xEnd - x >= 8; x += 8) {
        const __m128 fxNext = _mm_add_ps(fx, _mm_set1_ps(4.0f));
        eightPixels<Blend>(uPlanes, vPlanes, w, spans, rowOf, c1, c2, alphaLanes, colorLanes, alphaOr, fx, fxNext, colorOut);
        fx = _mm_add_ps(fxNext, _mm_set1_ps(4.0f));
        colorOut += 32;
      }
    }
  }
  for (; x < xEnd; x += 4) group(x);
}

constexpr SpanFunction kFixedBlendRoutines[3] = {shadeFixedBlend<BlendMode::kOpaque>, shadeFixedBlend<BlendMode::kSourceAlpha>,
                                                  shadeFixedBlend<BlendMode::kAdditive>};

// Every colour lane of k in 0..1.
bool unitColorLanes(__m128 k) {
  alignas(16) float lanes[4];
  _mm_store_ps(lanes, k);
  for (int i = 0; i < 3; ++i) {
    if (!(lanes[i] >= 0.0f && lanes[i] <= 1.0f)) return false;
  }
  return true;
}

}  // namespace

bool wideGroupsAvailable() { return __builtin_cpu_supports("avx2") != 0; }

bool wideGroups() {
  static const bool available = wideGroupsAvailable();
  return available && g_wideGroups.load(std::memory_order_relaxed);
}

void setWideGroups(bool enabled) { g_wideGroups.store(enabled, std::memory_order_relaxed); }

SpanFunction fixedBlendRoutine(const PixelState& ps) {
  if (!fixedPointEnabled() || !ps.cascade.textureBlend || ps.depthMode != DepthMode::kOff) return nullptr;
  if (ps.textureMode[0] != kTexture32 || ps.textureMode[1] != kTexture32) return nullptr;
  if (ps.colorBytes != 4 || ps.blendMode == BlendMode::kGeneral || ps.coordinateOffset[1] >= 4) return nullptr;
  if (!unitColorLanes(ps.cascade.stages[1].k1) || !unitColorLanes(ps.cascade.stages[1].k2)) return nullptr;
  return kFixedBlendRoutines[static_cast<int>(ps.blendMode)];
}

}  // namespace d3d8compat
