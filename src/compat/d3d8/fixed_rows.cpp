// Fixed-point shading of the presentation's most common draws: one 32-bit texture stage taken whole or
// times the diffuse colour (screen quads, warped grids, pictures, text, point sprites, lit meshes).
// The arithmetic is the filtering hardware's of the time: 8-bit bilinear weights, 16-bit
// intermediates, two pixels per vector, frame-buffer blending in 8 bits. Each channel stays within one
// step of the float group routines' result. Texel positions, weights and levels are found exactly as
// the float kernels find them, so only the rounding of the blends differs; the alpha test compares
// the float routines' alpha, so the same pixels are drawn. Groups whose pixels sample differently
// (mixed levels, point filters) take the float kernels' texels; spans whose colour leaves 0..1 go to
// the float routine. Draws run the routines a triangle (or sprite rectangle) at a time, so that what
// the rows of a triangle without perspective share is worked out once.
#include <emmintrin.h>

#include <array>
#include <atomic>
#include <type_traits>

#include "compat/d3d8/fixed_perspective.h"
#include "compat/d3d8/fixed_texels.h"
#include "compat/d3d8/fixed_texels_wide.h"
#include "compat/d3d8/group_depth.h"

namespace d3d8compat {
namespace {

using namespace routines;
using namespace fixed;

std::atomic<bool> g_fixedPoint{true};

// The colour's part of a span: whether it goes to the float routine, and where the colour is the same
// at every pixel, the texture's multiplier and the diffuse lanes' values once for all its groups.
struct SpanColor {
  bool outside;  // the multiplier leaves 0..1 somewhere: the span goes to the float routine
  bool flat;     // the same colour at every pixel
  __m128i flatMultiplier, flatWhole, flatDiffuseValues;
  __m128 flatAlphaMultiplier, flatDiffuseAlpha;
};

// Per lane the texture's multiplier: 1 (taken whole), the diffuse colour, or 0 (the diffuse lanes);
// kTexture, kModulate: the pixel state's fixedTexture and fixedModulate.
inline __m128 multiplierAt(__m128 kTexture, __m128 kModulate, __m128 color, __m128 w) {
  return _mm_add_ps(kTexture, _mm_mul_ps(kModulate, _mm_mul_ps(color, w)));
}
// The diffuse lanes' value (0..1), 0 in the other lanes; diffuseLanes: the pixel state's fixedDiffuse.
inline __m128 diffuseAt(__m128 diffuseLanes, __m128 color, __m128 w) { return _mm_and_ps(diffuseLanes, _mm_mul_ps(color, w)); }

// color0: the first pixel's colour (times rhw); colorDx its step; lastX the last pixel's distance from
// the first; w and lastW 1/rhw at the first and last pixel.
inline SpanColor spanColor(const PixelState& ps, bool perspective, __m128 color0, __m128 colorDx, float lastX, __m128 w,
                           __m128 lastW) {
  SpanColor c{};
  // The product saturates, not the colour: a colour clearly above 1 (an overshooting interpolation) or
  // below 0 at either end of the span goes to the float routine (colour times w is monotonic along a
  // span). One a few float steps above 1 (255 / 255 * rhw / rhw) reads as 1.
  const __m128 first = multiplierAt(ps.fixedTexture, ps.fixedModulate, color0, w);
  const __m128 last = multiplierAt(ps.fixedTexture, ps.fixedModulate, _mm_add_ps(color0, _mm_mul_ps(colorDx, _mm_set1_ps(lastX))), lastW);
  const __m128 outside = _mm_or_ps(_mm_cmpgt_ps(_mm_max_ps(first, last), _mm_set1_ps(1.0001f)),
                                   _mm_cmplt_ps(_mm_min_ps(first, last), _mm_setzero_ps()));
  c.outside = _mm_movemask_ps(outside) != 0;
  // In perspective colour times w changes at every pixel, whatever colorDx says.
  c.flat = !perspective && _mm_movemask_ps(_mm_cmpneq_ps(colorDx, _mm_setzero_ps())) == 0;
  c.flatAlphaMultiplier = _mm_shuffle_ps(first, first, _MM_SHUFFLE(3, 3, 3, 3));
  // The diffuse lanes in 8 bits, rounded as the colour write rounds them.
  const __m128 flatDiffuse = diffuseAt(ps.fixedDiffuse, color0, w);
  c.flatDiffuseAlpha = _mm_shuffle_ps(flatDiffuse, flatDiffuse, _MM_SHUFFLE(3, 3, 3, 3));
  c.flatDiffuseValues = _mm_packs_epi32(colorChannels(flatDiffuse), colorChannels(flatDiffuse));
  if (c.flat) {
    // Exactly 1 is kept apart ("whole"), so white and SELECTARG1 take the texel as it is.
    const __m128 clamped = _mm_min_ps(first, _mm_set1_ps(1.0f));
    const __m128i isWhole = _mm_cmpeq_epi32(_mm_cvtps_epi32(_mm_mul_ps(clamped, _mm_set1_ps(65536.0f))), _mm_set1_epi32(65536));
    const __m128 part = _mm_andnot_ps(_mm_castsi128_ps(isWhole), clamped);
    c.flatMultiplier = multiplierPair(part, part);
    c.flatWhole = _mm_packs_epi32(isWhole, isWhole);
  }
  return c;
}

// What the spans of a triangle without perspective share, worked out once for all its rows: the stage's
// locals, 1/rhw, the level choice (the level of detail does not change across such a triangle) and,
// where the colour is the same at every pixel, the colour's part. Each value is the one the span would
// compute for itself.
struct AffineShare {
  StageLocal stage;
  __m128 w;
  RowSampling levels;  // levels, count and weight; the texel rows are the span's
  bool flat;           // colorDx and colorDy zero: `color` holds for every span
  SpanColor color;
};

// Eight pixels at once of a span without perspective whose colour is the same at every pixel: the
// group loop's arithmetic on 256-bit vectors, so the bytes are the same. `fine`: the span's level, or
// with `coarse` its pair, blended by levelWeight; `row`: the level's blended row, or null. `visible`:
// the pixels that passed the depth test (bits 0..7); returns those that pass the alpha test too. Pixels
// whose columns fall outside the row are filtered per pixel, with the same values. fxLow: the loop's
// fx for pixels 0..3, fxHigh its next value.
template <BlendMode Blend, bool AlphaTest>
__attribute__((target("avx2"))) unsigned eightPixels(const FixedSpan& fine, const FixedSpan* coarse, __m128 levelWeight,
                                                     const BlendedRow* row, const RowPlane& uPlane,
                                                     const RowPlane& vPlane, __m128 w, const SpanColor& color,
                                                     bool anyDiffuse, __m128i alphaOr, unsigned alphaTable,
                                                     uint32_t alphaRef, unsigned visible, __m128 fxLow, __m128 fxHigh,
                                                     BYTE* colorOut) {
  const Levels8 levels{&fine, coarse, eightLanes(levelWeight, levelWeight)};
  const __m128 uLow = _mm_mul_ps(planeAt(uPlane, fxLow), w), uHigh = _mm_mul_ps(planeAt(uPlane, fxHigh), w);
  __m256i texels0145, texels2367;
  Columns8 columns, coarseColumns;
  if (row == nullptr || !rowTexels8(fine, *row, uLow, uHigh, &texels0145, &texels2367, AlphaTest ? &columns : nullptr)) {
    filterLevels8(levels, uLow, uHigh, _mm_mul_ps(planeAt(vPlane, fxLow), w), _mm_mul_ps(planeAt(vPlane, fxHigh), w),
                  &texels0145, &texels2367, AlphaTest ? &columns : nullptr, AlphaTest ? &coarseColumns : nullptr);
  }
  const __m256i multiplier = _mm256_broadcastsi128_si256(color.flatMultiplier);
  const __m256i whole = _mm256_broadcastsi128_si256(color.flatWhole);
  __m256i out0145 = modulate8(texels0145, multiplier, whole), out2367 = modulate8(texels2367, multiplier, whole);
  if (anyDiffuse) {
    const __m256i diffuse = _mm256_broadcastsi128_si256(color.flatDiffuseValues);
    out0145 = _mm256_or_si256(out0145, diffuse);
    out2367 = _mm256_or_si256(out2367, diffuse);
  }
  if constexpr (AlphaTest) {
    auto passes = [&](__m128 texelAlpha) {
      return alphaPasses(_mm_add_ps(_mm_mul_ps(texelAlpha, color.flatAlphaMultiplier), color.flatDiffuseAlpha), alphaTable,
                         alphaRef);
    };
    visible &= passes(texelAlpha8<0>(levels, columns, coarseColumns)) | passes(texelAlpha8<1>(levels, columns, coarseColumns)) << 4;
    if (visible == 0) return 0;
  }
  storeEight<Blend>(out0145, out2367, visible, alphaOr, colorOut);
  return visible;
}

// One span, with perspective (1/rhw, the level and the colour's scale found per pixel) or without;
// `share`: what the triangle's spans share, else null (the span works it out for itself). One body
// serves the span and the triangle forms (not inlined into both: half the compile time, the same speed).
template <DepthMode Depth, BlendMode Blend, bool AlphaTest, bool Perspective>
__attribute__((noinline)) void shadeSpan(const PixelState& ps, const TriangleSetup& s, int y, int xBegin, int xEnd,
                                         const std::conditional_t<Perspective, PerspectiveShare, AffineShare>* share) {
  constexpr bool perspective = Perspective;
  [[maybe_unused]] std::conditional_t<Perspective, PerspectiveShare, char> ownShare;
  if constexpr (perspective) {
    if (share == nullptr) {
      sharePerspective(ps, s, &ownShare);
      share = &ownShare;
    }
  }
  StageLocal ownStage;
  if (share == nullptr) ownStage = stageLocal(ps, 0);
  const StageLocal& stage = share != nullptr ? share->stage : ownStage;
  // u, v, colours and 1/rhw as the float routine finds them.
  const float fy = static_cast<float>(y) - s.y0;
  const RowPlane uPlane = rowPlane(s.tex[stage.offset], s.texDx[stage.offset], s.texDy[stage.offset], fy);
  const RowPlane vPlane = rowPlane(s.tex[stage.offset + 1], s.texDx[stage.offset + 1], s.texDy[stage.offset + 1], fy);
  const RowPlane rhwPlane = rowPlane(s.rhw, s.rhwDx, s.rhwDy, fy);
  __m128 fx = _mm_add_ps(_mm_set1_ps(static_cast<float>(xBegin) - s.x0), _mm_setr_ps(0.0f, 1.0f, 2.0f, 3.0f));
  __m128 spanW;
  const SpanColor* sharedColor = nullptr;
  if constexpr (perspective) {
    spanW = _mm_div_ps(_mm_set1_ps(1.0f), rhwPlane.row);
  } else {
    spanW = share != nullptr ? share->w : _mm_div_ps(_mm_set1_ps(1.0f), rhwPlane.row);
    if (share != nullptr && share->flat) sharedColor = &share->color;
  }
  // Without perspective the level is the same at every pixel: it is chosen once, with the row's texels.
  FixedSpan spans[2];  // spans[1] only where twoLevels
  bool twoLevels = false;
  // One level whose v is constant along the row: its row blended once per column (fixed_texels.h).
  thread_local ColumnBuffer columnBuffer;
  BlendedRow row{};
  bool fromRow = false;
  __m128 levelWeight = _mm_setzero_ps();
  if constexpr (!perspective) {
    const float v0 = _mm_cvtss_f32(_mm_mul_ps(planeAt(vPlane, fx), spanW));
    RowSampling sampling;
    if (share != nullptr) {
      sampling = share->levels;
      chooseTexelRows(stage.clampV, v0, &sampling);
    } else {
      const float u0 = _mm_cvtss_f32(_mm_mul_ps(planeAt(uPlane, fx), spanW));
      if (!prepareRowSampling(ps, s, 0, stage, u0, v0, _mm_cvtss_f32(spanW), &sampling)) {
        ps.floatSpan(&ps, s, y, xBegin, xEnd);
        return;
      }
    }
    for (int k = 0; k < sampling.count; ++k) spans[k] = fixedSpan(stage, s, sampling, k);
    twoLevels = sampling.count == 2;
    levelWeight = sampling.weight;
    if (!twoLevels && xEnd - xBegin >= 16) fromRow = blendedRow(spans[0], uPlane, fx, spanW, xEnd - xBegin, &columnBuffer, &row);
  }
  const __m128 colorDx = _mm_load_ps(s.colorDx);
  const __m128 colorStep = _mm_mul_ps(colorDx, _mm_set1_ps(4.0f));
  // Per lane the texture's multiplier and the diffuse lanes, held in locals (see StageLocal).
  const __m128 kTexture = ps.fixedTexture, kModulate = ps.fixedModulate, diffuseLanes = ps.fixedDiffuse;
  const bool anyDiffuse = _mm_movemask_ps(diffuseLanes) != 0;
  __m128 colors[4] = {};  // read only where the colour changes along the span
  SpanColor color;
  if (sharedColor != nullptr) {
    color = *sharedColor;
  } else {
    groupColors(s, xBegin, fy, colors);
    const __m128 lastW = perspective
                             ? _mm_div_ps(_mm_set1_ps(1.0f), planeAt(rhwPlane, _mm_set1_ps(static_cast<float>(xEnd - 1) - s.x0)))
                             : spanW;
    color = spanColor(ps, perspective, colors[0], colorDx, static_cast<float>(xEnd - 1 - xBegin), spanW, lastW);
    if (color.outside) {
      ps.floatSpan(&ps, s, y, xBegin, xEnd);
      return;
    }
  }
  const bool flatColor = color.flat;

  BYTE* colorOut = ps.color + static_cast<size_t>(y) * ps.colorPitch + static_cast<size_t>(xBegin) * 4;
  GroupDepth<Depth> depth(ps, s, y, xBegin, fy);
  const __m128i alphaOr = _mm_set1_epi32(static_cast<int>(ps.alphaOr));
  const unsigned alphaTable = ps.alphaTable;
  const uint32_t alphaRef = ps.alphaRef;
  const int colorRow = ps.colorPitch / 4;
  // Eight pixels at a time where the processor can: without perspective where the colour is the same
  // at every pixel, in perspective where both groups choose the same levels; else group by group, as
  // below. The two halves' depth is tested (and written) as two groups. A span's last 5 to 7 pixels go
  // as eight too where the row's storage holds eight: the pixels past its end are read and written back
  // unchanged, as the groups below do it.
  bool wide;
  if constexpr (perspective) {
    wide = share->wide;
  } else {
    wide = flatColor && wideGroups();
  }
  [[maybe_unused]] const PerspectiveColor eightColor{kTexture, kModulate, diffuseLanes, anyDiffuse};
  for (int x = xBegin; x < xEnd; x += 4) {
    if (wide && xEnd - x > 4 && (xEnd - x >= 8 || x + 8 <= colorRow)) {
      const int second = std::min(xEnd - x, 8) - 4;  // pixels of the second half inside the span
      const __m128 fxNext = _mm_add_ps(fx, _mm_set1_ps(4.0f));
      GroupDepth<Depth> next = depth;
      next.step();
      unsigned visible = depth.test(x, 4, fx, 15u) | next.test(x + 4, second, fxNext, (1u << second) - 1u) << 4;
      bool shaded = true;
      if constexpr (perspective) {
        shaded = visible == 0 || perspectiveEight<Blend, AlphaTest>(ps, *share, uPlane, vPlane, rhwPlane, fx, fxNext, colors,
                                                                    colorStep, eightColor, alphaOr, alphaTable, alphaRef,
                                                                    &visible, colorOut);
      } else if (visible != 0) {
        visible = eightPixels<Blend, AlphaTest>(spans[0], twoLevels ? &spans[1] : nullptr, levelWeight, fromRow ? &row : nullptr,
                                                uPlane, vPlane, spanW, color, anyDiffuse, alphaOr, alphaTable, alphaRef,
                                                visible, fx, fxNext, colorOut);
      }
      if (shaded) {
        if ((visible & 15u) != 0) depth.write(laneMask(visible & 15u));
        if ((visible >> 4) != 0) next.write(laneMask(visible >> 4));
        depth = next;
        depth.step();
        fx = _mm_add_ps(fxNext, _mm_set1_ps(4.0f));
        if (!flatColor) {
          for (int k = 0; k < 4; ++k) colors[k] = _mm_add_ps(_mm_add_ps(colors[k], colorStep), colorStep);
        }
        colorOut += 32;
        x += 4;
        continue;
      }
    }
    const int count = xEnd - x < 4 ? xEnd - x : 4;
    const bool colorWhole = x + 4 <= colorRow;
    unsigned visible = depth.test(x, count, fx, (1u << count) - 1u);
    if (visible != 0) {
      const __m128 w = perspective ? _mm_div_ps(_mm_set1_ps(1.0f), planeAt(rhwPlane, fx)) : spanW;
      const __m128 u = _mm_mul_ps(planeAt(uPlane, fx), w), v = _mm_mul_ps(planeAt(vPlane, fx), w);
      FilteredGroup f;
      __m128 texelAlpha = _mm_setzero_ps();
      if constexpr (!perspective) {
        if (!fromRow || !filterGroupFromRow(spans[0], row, u, &f)) f = filterGroup(spans[0], u, v);
        if constexpr (AlphaTest) texelAlpha = exactAlpha(spans[0], f);
        if (twoLevels) {  // as sampleRow blends them
          const FilteredGroup coarse = filterGroup(spans[1], u, v);
          if constexpr (AlphaTest) {
            texelAlpha = _mm_add_ps(texelAlpha, _mm_mul_ps(_mm_sub_ps(exactAlpha(spans[1], coarse), texelAlpha), levelWeight));
          }
          blendLevels(&f, coarse, levelWeight);
        }
      } else {
        if (!perspectiveGroup<AlphaTest>(ps, *share, u, v, w, &f, &texelAlpha)) {
          __m128 texels[4];
          sampleGroup(ps, s, 0, stage, u, v, w, texels);
          f = fromFloatTexels(texels);
          texelAlpha = alphaOf(texels);
        }
      }
      __m128i out01, out23;
      __m128 alphaMultiplier = color.flatAlphaMultiplier, diffuseAlpha = color.flatDiffuseAlpha;
      if (flatColor) {
        out01 = modulate(f.pair01.texels, color.flatMultiplier, color.flatWhole);
        out23 = modulate(f.pair23.texels, color.flatMultiplier, color.flatWhole);
        if (anyDiffuse) {
          out01 = _mm_or_si128(out01, color.flatDiffuseValues);
          out23 = _mm_or_si128(out23, color.flatDiffuseValues);
        }
      } else {
        const __m128 ws[4] = {filters::broadcastLane<0>(w), filters::broadcastLane<1>(w), filters::broadcastLane<2>(w),
                              filters::broadcastLane<3>(w)};
        __m128 m[4];
        for (int k = 0; k < 4; ++k) m[k] = multiplierAt(kTexture, kModulate, colors[k], ws[k]);
        if constexpr (AlphaTest) alphaMultiplier = alphaOf(m);
        const __m128 zero = _mm_setzero_ps(), one = _mm_set1_ps(1.0f);
        for (int k = 0; k < 4; ++k) m[k] = _mm_min_ps(_mm_max_ps(m[k], zero), one);
        out01 = modulate(f.pair01.texels, multiplierPair(m[0], m[1]), _mm_setzero_si128());
        out23 = modulate(f.pair23.texels, multiplierPair(m[2], m[3]), _mm_setzero_si128());
        if (anyDiffuse) {
          __m128 d[4];
          for (int k = 0; k < 4; ++k) d[k] = diffuseAt(diffuseLanes, colors[k], ws[k]);
          if constexpr (AlphaTest) diffuseAlpha = alphaOf(d);
          out01 = _mm_or_si128(out01, _mm_packs_epi32(colorChannels(d[0]), colorChannels(d[1])));
          out23 = _mm_or_si128(out23, _mm_packs_epi32(colorChannels(d[2]), colorChannels(d[3])));
        }
      }
      const __m128i source = _mm_packus_epi16(out01, out23);
      if constexpr (AlphaTest) {
        // The test decides whether a pixel is drawn at all, so it compares the float routine's alpha:
        // the texel's times its multiplier, or (multiplier 0) the diffuse alpha.
        visible &= alphaPasses(_mm_add_ps(_mm_mul_ps(texelAlpha, alphaMultiplier), diffuseAlpha), alphaTable, alphaRef);
      }
      if (visible != 0) {
        const __m128i lanes = laneMask(visible);
        depth.write(lanes);
        __m128i stored = _mm_setzero_si128();
        if (Blend != BlendMode::kOpaque || visible != 15u) stored = loadGroup(colorOut, 4, count, colorWhole);
        const __m128i words = blendGroup<Blend>(source, out01, out23, stored, alphaOr);
        storeGroup(colorOut, 4, count, colorWhole, visible == 15u ? words : selectLanes(lanes, words, stored));
      }
    }
    fx = _mm_add_ps(fx, _mm_set1_ps(4.0f));
    if (!flatColor) {
      for (int k = 0; k < 4; ++k) colors[k] = _mm_add_ps(colors[k], colorStep);
    }
    colorOut += 16;
    depth.step();
  }
}

template <DepthMode Depth, BlendMode Blend, bool AlphaTest>
void shadeFixedRow(const void* context, const TriangleSetup& s, int y, int xBegin, int xEnd) {
  const PixelState& ps = *static_cast<const PixelState*>(context);
  if (s.rhwDx != 0.0f || s.rhwDy != 0.0f) {
    shadeSpan<Depth, Blend, AlphaTest, true>(ps, s, y, xBegin, xEnd, nullptr);
  } else {
    shadeSpan<Depth, Blend, AlphaTest, false>(ps, s, y, xBegin, xEnd, nullptr);
  }
}

// shadeFixedRow for a whole triangle: without perspective, what its rows share is worked out once.
template <DepthMode Depth, BlendMode Blend, bool AlphaTest>
void shadeFixedTriangle(const void* context, const TriangleSetup& s, bool rectangle, int band, int bands) {
  const PixelState& ps = *static_cast<const PixelState*>(context);
  if (s.rhwDx != 0.0f || s.rhwDy != 0.0f) {
    PerspectiveShare share;
    sharePerspective(ps, s, &share);
    forEachSpan(s, rectangle, band, bands, [&](int y, int xBegin, int xEnd) {
      shadeSpan<Depth, Blend, AlphaTest, true>(ps, s, y, xBegin, xEnd, &share);
    });
    return;
  }
  AffineShare share;
  share.stage = stageLocal(ps, 0);
  share.w = _mm_div_ps(_mm_set1_ps(1.0f), _mm_set1_ps(s.rhw));
  // The level of detail reads u and v only through their products with rhwDx and rhwDy, both zero here.
  const bool fixedLevels = chooseRowLevels(ps, s, 0, share.stage, 0.0f, 0.0f, _mm_cvtss_f32(share.w), &share.levels);
  const __m128 zero = _mm_setzero_ps();
  share.flat = _mm_movemask_ps(_mm_or_ps(_mm_cmpneq_ps(_mm_load_ps(s.colorDx), zero), _mm_cmpneq_ps(_mm_load_ps(s.colorDy), zero))) == 0;
  if (share.flat) share.color = spanColor(ps, false, _mm_load_ps(s.color), zero, 0.0f, share.w, share.w);
  if (!fixedLevels || (share.flat && share.color.outside)) {
    forEachSpan(s, rectangle, band, bands, [&](int y, int xBegin, int xEnd) { ps.floatSpan(&ps, s, y, xBegin, xEnd); });
    return;
  }
  forEachSpan(s, rectangle, band, bands, [&](int y, int xBegin, int xEnd) {
    shadeSpan<Depth, Blend, AlphaTest, false>(ps, s, y, xBegin, xEnd, &share);
  });
}

// Each combination's span and triangle forms, by depth mode, blend mode (opaque, source alpha,
// additive) and alpha test.
struct FixedForms {
  SpanFunction span;
  TriangleFunction triangle;
};
template <int D, int B, int A>
constexpr FixedForms formsAt() {
  constexpr DepthMode depth = static_cast<DepthMode>(D);
  constexpr BlendMode blend = static_cast<BlendMode>(B);
  return {shadeFixedRow<depth, blend, A != 0>, shadeFixedTriangle<depth, blend, A != 0>};
}
constexpr FixedForms kFixedForms[3][3][2] = {
    {{formsAt<0, 0, 0>(), formsAt<0, 0, 1>()}, {formsAt<0, 1, 0>(), formsAt<0, 1, 1>()}, {formsAt<0, 2, 0>(), formsAt<0, 2, 1>()}},
    {{formsAt<1, 0, 0>(), formsAt<1, 0, 1>()}, {formsAt<1, 1, 0>(), formsAt<1, 1, 1>()}, {formsAt<1, 2, 0>(), formsAt<1, 2, 1>()}},
    {{formsAt<2, 0, 0>(), formsAt<2, 0, 1>()}, {formsAt<2, 1, 0>(), formsAt<2, 1, 1>()}, {formsAt<2, 2, 0>(), formsAt<2, 2, 1>()}}};

// What a lane of a one-stage cascade takes: the texture, the texture times the diffuse colour, or the
// diffuse colour (CURRENT is the diffuse colour in stage 0); kOther for anything else.
enum class LaneKind { kOther, kTexture, kModulate, kDiffuse };
LaneKind laneKind(float k0, float k1, float k2, float k3, int first, int second) {
  auto source = [](int s) { return s == kSourceCurrent ? kSourceDiffuse : s; };
  first = source(first);
  second = source(second);
  if (k0 != 0.0f) return LaneKind::kOther;
  auto selected = [](int s) {
    return s == kSourceTexture ? LaneKind::kTexture : s == kSourceDiffuse ? LaneKind::kDiffuse : LaneKind::kOther;
  };
  if (k1 == 0.0f && k2 == 0.0f && k3 == 1.0f) {
    const bool pair = (first == kSourceTexture && second == kSourceDiffuse) || (first == kSourceDiffuse && second == kSourceTexture);
    return pair ? LaneKind::kModulate : LaneKind::kOther;
  }
  if (k3 != 0.0f) return LaneKind::kOther;
  if (k1 == 1.0f && k2 == 0.0f) return selected(first);
  if (k1 == 0.0f && k2 == 1.0f) return selected(second);
  return LaneKind::kOther;
}

}  // namespace

SpanFunction fixedRowRoutine(PixelState* ps) {
  if (!fixedPointEnabled()) return nullptr;
  if (ps->textureMode[0] != kTexture32 || ps->textureMode[1] != kNoTexture || ps->cascade.count != 1) return nullptr;
  if (ps->cascade.general || ps->colorBytes != 4 || ps->blendMode == BlendMode::kGeneral || ps->coordinateOffset[0] >= 4) {
    return nullptr;
  }
  // Arguments with modifiers (COMPLEMENT, ALPHAREPLICATE) are left to the float routines.
  const LeanStage& lean = ps->cascade.lean[0];
  if (lean.argument[0] == LeanArgument::kGeneric || lean.argument[1] == LeanArgument::kGeneric) return nullptr;
  const CascadeStage& stage = ps->cascade.stages[0];
  alignas(16) float k[4][4], texture[4], modulate[4], diffuse[4];
  _mm_store_ps(k[0], stage.k0);
  _mm_store_ps(k[1], stage.k1);
  _mm_store_ps(k[2], stage.k2);
  _mm_store_ps(k[3], stage.k3);
  for (int i = 0; i < 4; ++i) {
    const bool colorLane = i < 3;
    const LaneKind kind = laneKind(k[0][i], k[1][i], k[2][i], k[3][i], colorLane ? stage.colorSource[0] : stage.alphaSource[0],
                                   colorLane ? stage.colorSource[1] : stage.alphaSource[1]);
    if (kind == LaneKind::kOther) return nullptr;
    texture[i] = kind == LaneKind::kTexture ? 1.0f : 0.0f;
    modulate[i] = kind == LaneKind::kModulate ? 1.0f : 0.0f;
    float allOnes;
    const uint32_t ones = 0xFFFFFFFFu;
    __builtin_memcpy(&allOnes, &ones, sizeof allOnes);
    diffuse[i] = kind == LaneKind::kDiffuse ? allOnes : 0.0f;
  }
  ps->fixedTexture = _mm_load_ps(texture);
  ps->fixedModulate = _mm_load_ps(modulate);
  ps->fixedDiffuse = _mm_load_ps(diffuse);
  // The rows every frame is made of keep a form without the alpha test: without it they work out no alpha.
  const bool alphaTest = ps->alphaTable != comparisonTable(D3DCMP_ALWAYS);
  return kFixedForms[static_cast<int>(ps->depthMode)][static_cast<int>(ps->blendMode)][alphaTest ? 1 : 0].span;
}

TriangleFunction fixedTriangleRoutine(SpanFunction span) {
  for (const auto& byBlend : kFixedForms) {
    for (const auto& byTest : byBlend) {
      for (const FixedForms& forms : byTest) {
        if (forms.span == span) return forms.triangle;
      }
    }
  }
  return nullptr;
}

void setFixedPoint(bool enabled) { g_fixedPoint.store(enabled, std::memory_order_relaxed); }
bool fixedPointEnabled() { return g_fixedPoint.load(std::memory_order_relaxed); }

}  // namespace d3d8compat
