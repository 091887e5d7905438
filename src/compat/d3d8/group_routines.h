// The four-pixel-group routines: shadeGroups, and the tables of its instantiations by texture mode per
// stage and blend mode, one table per depth mode. Each depth mode's routines, and the `textureBlend`
// ones, are compiled in a file of their own (group_routines_*.cpp), so that they build in parallel.
#pragma once

#include "compat/d3d8/group_depth.h"
#include "compat/d3d8/output_merge.h"
#include "compat/d3d8/pixel_group.h"
#include "compat/d3d8/stage_sampling.h"

namespace d3d8compat {
namespace routines {

// The whole span in groups of four pixels (the last group masked): depth, 1/rhw, coordinates and
// sampling on the four pixels' lanes, the cascade per pixel, then the alpha test, depth write, blend and
// colour write of the group at once. Depth, rhw and coordinates are evaluated from their planes at each
// pixel; colours step from pixel to pixel. TextureBlend: the cascade is a `textureBlend` one, evaluated
// with no argument selection.
template <int Tex0, int Tex1, DepthMode Depth, BlendMode Blend, bool TextureBlend = false>
void shadeGroups(const void* context, const TriangleSetup& s, int y, int xBegin, int xEnd) {
  const PixelState& ps = *static_cast<const PixelState*>(context);
  constexpr bool kSamples = Tex0 == kTexture32 || Tex1 == kTexture32;
  const float fy = static_cast<float>(y) - s.y0;
  __m128 fx = _mm_add_ps(_mm_set1_ps(static_cast<float>(xBegin) - s.x0), _mm_setr_ps(0.0f, 1.0f, 2.0f, 3.0f));
  const RowPlane rhwPlane = rowPlane(s.rhw, s.rhwDx, s.rhwDy, fy);
  RowPlane texPlanes[4];
  if constexpr (kSamples) {
    for (int i = 0; i < 4; ++i) texPlanes[i] = rowPlane(s.tex[i], s.texDx[i], s.texDy[i], fy);
  }
  // Colours (times rhw) of the group's four pixels, lanes b, g, r, a.
  const __m128 colorDx = _mm_load_ps(s.colorDx);
  __m128 colors[4];
  groupColors(s, xBegin, fy, colors);
  const __m128 colorStep = _mm_mul_ps(colorDx, _mm_set1_ps(4.0f));

  BYTE* colorOut = ps.color + static_cast<size_t>(y) * ps.colorPitch + static_cast<size_t>(xBegin) * 4;
  GroupDepth<Depth> depth(ps, s, y, xBegin, fy);
  StageLocal stage0{}, stage1{};
  if constexpr (Tex0 != kNoTexture) stage0 = stageLocal(ps, 0);
  if constexpr (Tex1 != kNoTexture) stage1 = stageLocal(ps, 1);
  const __m128i alphaOr = _mm_set1_epi32(static_cast<int>(ps.alphaOr));
  const bool singleStage = ps.cascade.singleTextureStage, modulateOnly = ps.cascade.modulateOnly;
  const __m128 blendK1 = ps.cascade.stages[1].k1, blendK2 = ps.cascade.stages[1].k2;

  // A triangle with constant rhw (pre-transformed, no perspective) has one 1/rhw, and a stage whose v
  // does not change along the row either samples through a RowSampling.
  const bool affine = s.rhwDx == 0.0f && s.rhwDy == 0.0f;
  const __m128 spanW = _mm_div_ps(_mm_set1_ps(1.0f), rhwPlane.row);
  bool rowSampling[kCascadeStages] = {false, false};
  RowSampling rows[kCascadeStages];
  auto prepareRow = [&](int stage, const StageLocal& local) {
    if (!affine || (local.offset < 4 && s.texDx[local.offset + 1] != 0.0f)) return false;
    float u = 0.0f, v = 0.0f;
    if (local.offset < 4) {
      u = _mm_cvtss_f32(_mm_mul_ps(planeAt(texPlanes[local.offset], fx), spanW));
      v = _mm_cvtss_f32(_mm_mul_ps(planeAt(texPlanes[local.offset + 1], fx), spanW));
    }
    return prepareRowSampling(ps, s, stage, local, u, v, _mm_cvtss_f32(spanW), &rows[stage]);
  };
  if constexpr (Tex0 == kTexture32) rowSampling[0] = prepareRow(0, stage0);
  if constexpr (Tex1 == kTexture32) rowSampling[1] = prepareRow(1, stage1);

  // A group past the span's end may still read and rewrite whole vectors while it lies inside the row.
  const int colorRow = ps.colorPitch / 4;
  for (int x = xBegin; x < xEnd; x += 4) {
    const int count = xEnd - x < 4 ? xEnd - x : 4;
    const bool colorWhole = x + 4 <= colorRow;
    unsigned visible = depth.test(x, count, fx, (1u << count) - 1u);
    if (visible != 0) {
      const __m128 w = affine ? spanW : _mm_div_ps(_mm_set1_ps(1.0f), planeAt(rhwPlane, fx));
      __m128 texels[kCascadeStages][4];
      if constexpr (kSamples) {
        const __m128 coords[6] = {_mm_mul_ps(planeAt(texPlanes[0], fx), w), _mm_mul_ps(planeAt(texPlanes[1], fx), w),
                                  _mm_mul_ps(planeAt(texPlanes[2], fx), w), _mm_mul_ps(planeAt(texPlanes[3], fx), w),
                                  _mm_setzero_ps(), _mm_setzero_ps()};
        if constexpr (Tex0 == kTexture32) {
          if (rowSampling[0]) {
            sampleRow(rows[0], stage0.clampU, coords[stage0.offset], texels[0]);
          } else {
            sampleGroup(ps, s, 0, stage0, coords[stage0.offset], coords[stage0.offset + 1], w, texels[0]);
          }
        }
        if constexpr (Tex1 == kTexture32) {
          if (rowSampling[1]) {
            sampleRow(rows[1], stage1.clampU, coords[stage1.offset], texels[1]);
          } else {
            sampleGroup(ps, s, 1, stage1, coords[stage1.offset], coords[stage1.offset + 1], w, texels[1]);
          }
        }
      }
      __m128 outs[4];
      filters::forEachLane([&]<int K>() __attribute__((always_inline)) {
        const __m128 diffuse = _mm_mul_ps(colors[K], filters::broadcastLane<K>(w));
        const __m128 textures[kCascadeStages] = {Tex0 == kTexture32 ? texels[0][K] : _mm_setzero_ps(),
                                                 Tex1 == kTexture32 ? texels[1][K] : _mm_setzero_ps()};
        if constexpr (TextureBlend) {
          outs[K] = runTextureBlend(blendK1, blendK2, diffuse, textures[0], textures[1]);
        } else if constexpr (Tex0 == kTexture32 && Tex1 == kNoTexture) {
          if (modulateOnly) {
            // runSingleStage with k0 = k1 = k2 = 0, k3 = 1 adds only zeros to the product; the clamp is
            // left to the colour write when nothing reads the value before it.
            const __m128 product = _mm_mul_ps(textures[0], diffuse);
            outs[K] = Blend == BlendMode::kOpaque ? product
                                                  : _mm_min_ps(_mm_max_ps(product, _mm_setzero_ps()), _mm_set1_ps(1.0f));
          } else {
            outs[K] = singleStage ? runSingleStage(ps.cascade, diffuse, textures[0])
                                  : runCascade(ps.cascade, diffuse, ps.factor, textures);
          }
        } else {
          // Two stages (or a stage without texture): here the lean form's per-pixel choices pay for
          // themselves; the one-stage routines above measured more instructions with it, not fewer.
          outs[K] = runLeanCascade(ps.cascade, diffuse, ps.factor, textures);
        }
      });
      visible &= alphaPasses4(outs, ps.alphaTable, ps.alphaRef);
      if (visible != 0) {
        const __m128i lanes = laneMask(visible);
        depth.write(lanes);
        __m128i stored = _mm_setzero_si128();
        if (Blend != BlendMode::kOpaque || visible != 15u) stored = loadGroup(colorOut, 4, count, colorWhole);
        __m128i words;
        if constexpr (Blend == BlendMode::kOpaque) {
          words = packColors(outs);
        } else if constexpr (Blend == BlendMode::kAdditive) {
          // round(255 src) + dst, saturated: the exact sum of the float blend, dst being whole steps.
          words = _mm_adds_epu8(packColors(outs), _mm_or_si128(stored, alphaOr));
        } else {
          __m128 dst[4];
          unpackColors(_mm_or_si128(stored, alphaOr), dst);
          for (int k = 0; k < 4; ++k) dst[k] = blendSourceAlpha(outs[k], dst[k]);
          words = packColors(dst);
        }
        words = _mm_or_si128(words, alphaOr);
        storeGroup(colorOut, 4, count, colorWhole, visible == 15u ? words : selectLanes(lanes, words, stored));
      }
    }
    fx = _mm_add_ps(fx, _mm_set1_ps(4.0f));
    for (int k = 0; k < 4; ++k) colors[k] = _mm_add_ps(colors[k], colorStep);
    colorOut += 16;
    depth.step();
  }
}

// The grouped routine of a depth mode, texture modes and blend mode; null where there is none (a stage
// reads a texture other than 32-bit, or the blend is general): the one-pixel routine serves those.
template <DepthMode Depth>
SpanFunction groupRoutine(int texture0, int texture1, BlendMode blend) {
  using B = BlendMode;
  static constexpr SpanFunction kTable[2][2][3] = {
      {{shadeGroups<kNoTexture, kNoTexture, Depth, B::kOpaque>, shadeGroups<kNoTexture, kNoTexture, Depth, B::kSourceAlpha>,
        shadeGroups<kNoTexture, kNoTexture, Depth, B::kAdditive>},
       {shadeGroups<kNoTexture, kTexture32, Depth, B::kOpaque>, shadeGroups<kNoTexture, kTexture32, Depth, B::kSourceAlpha>,
        shadeGroups<kNoTexture, kTexture32, Depth, B::kAdditive>}},
      {{shadeGroups<kTexture32, kNoTexture, Depth, B::kOpaque>, shadeGroups<kTexture32, kNoTexture, Depth, B::kSourceAlpha>,
        shadeGroups<kTexture32, kNoTexture, Depth, B::kAdditive>},
       {shadeGroups<kTexture32, kTexture32, Depth, B::kOpaque>, shadeGroups<kTexture32, kTexture32, Depth, B::kSourceAlpha>,
        shadeGroups<kTexture32, kTexture32, Depth, B::kAdditive>}}};
  if (texture0 == kTextureOther || texture1 == kTextureOther || blend == B::kGeneral) return nullptr;
  return kTable[texture0][texture1][static_cast<int>(blend)];
}
extern template SpanFunction groupRoutine<DepthMode::kOff>(int, int, BlendMode);
extern template SpanFunction groupRoutine<DepthMode::kTestWrite>(int, int, BlendMode);
extern template SpanFunction groupRoutine<DepthMode::kTestOnly>(int, int, BlendMode);

// The routine of a `textureBlend` cascade on two 32-bit textures without depth, by blend (opaque,
// source alpha, additive); null for the general blend (group_routines_texture_blend.cpp).
SpanFunction textureBlendRoutine(BlendMode blend);

}  // namespace routines
}  // namespace d3d8compat
