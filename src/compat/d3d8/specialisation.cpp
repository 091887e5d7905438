// The four-pixel-group routines, instantiated for every combination of texture mode per stage, depth
// mode and blend mode that has one, and preparePixelState, which reads a draw's state and picks its
// routine (a group routine where one exists, else the one-pixel routine).
#include <array>
#include <atomic>
#include <utility>

#include "compat/d3d8/group_depth.h"
#include "compat/d3d8/output_merge.h"
#include "compat/d3d8/pixel_group.h"
#include "compat/d3d8/stage_sampling.h"
#include "compat/d3d8/surface.h"
#include "compat/d3d8/texture.h"

namespace d3d8compat {
namespace {

using namespace routines;

// Whether a routine shades its spans in four-pixel groups: every sampled stage reads a 32-bit texture and
// the blend is one of the 32-bit target's own.
template <int Tex0, int Tex1, BlendMode Blend>
constexpr bool kGrouped = Tex0 != kTextureOther && Tex1 != kTextureOther && Blend != BlendMode::kGeneral;

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

// The grouped routine of each key, null where the key has none (its one-pixel routine serves it).
template <size_t I>
constexpr SpanFunction groupRoutineAt() {
  constexpr RoutineKey kKey = routineKey(I);
  if constexpr (kGrouped<kKey.texture0, kKey.texture1, kKey.blend>) {
    return shadeGroups<kKey.texture0, kKey.texture1, kKey.depth, kKey.blend>;
  } else {
    return nullptr;
  }
}
template <size_t... I>
constexpr std::array<SpanFunction, sizeof...(I)> makeGroupRoutines(std::index_sequence<I...>) {
  return {{groupRoutineAt<I>()...}};
}
constexpr std::array<SpanFunction, kRoutineCount> kGroupRoutines =
    makeGroupRoutines(std::make_index_sequence<kRoutineCount>{});
std::atomic<bool> g_pixelGroups{true};

// The routines of `textureBlend` cascades on two 32-bit textures without depth, by blend (opaque, source
// alpha, additive).
constexpr SpanFunction kTextureBlendRoutines[3] = {
    shadeGroups<kTexture32, kTexture32, DepthMode::kOff, BlendMode::kOpaque, true>,
    shadeGroups<kTexture32, kTexture32, DepthMode::kOff, BlendMode::kSourceAlpha, true>,
    shadeGroups<kTexture32, kTexture32, DepthMode::kOff, BlendMode::kAdditive, true>};

BlendMode chooseBlend(DWORD srcBlend, DWORD destBlend, bool enabled, bool target32) {
  if (!enabled) return target32 ? BlendMode::kOpaque : BlendMode::kGeneral;
  if (!target32) return BlendMode::kGeneral;
  if (srcBlend == D3DBLEND_SRCALPHA && destBlend == D3DBLEND_INVSRCALPHA) return BlendMode::kSourceAlpha;
  if (srcBlend == D3DBLEND_ONE && destBlend == D3DBLEND_ONE) return BlendMode::kAdditive;
  return BlendMode::kGeneral;
}
}  // namespace

bool preparePixelState(const DeviceState& state, PixelState* ps, SpanFunction* span) {
  Surface* target = state.renderTarget;
  if (target == nullptr) return false;
  const DWORD* rs = state.renderStates;

  ps->color = target->bits();
  ps->colorPitch = static_cast<int>(target->pitch());
  ps->colorBytes = static_cast<int>(target->bytesPerPixel());
  ps->colorFormat = target->format();
  ps->alphaOr = ps->colorFormat == D3DFMT_A8R8G8B8 ? 0u : 0xFF000000u;
  const bool target32 = ps->colorBytes == 4;

  const Surface* depth = state.depthStencil;
  ps->depthMode = DepthMode::kOff;
  ps->depth = nullptr;
  if (depth != nullptr && rs[D3DRS_ZENABLE] != D3DZB_FALSE) {
    ps->depthMode = rs[D3DRS_ZWRITEENABLE] != 0 ? DepthMode::kTestWrite : DepthMode::kTestOnly;
    ps->depth = const_cast<BYTE*>(depth->bits());
    ps->depthPitch = static_cast<int>(depth->pitch());
    ps->depthBytes = static_cast<int>(depth->bytesPerPixel());
    const bool d24 = depth->format() == D3DFMT_D24S8;
    ps->depthShift = d24 ? 8 : 0;
    ps->depthMax = d24 ? 16777215.0 : 65535.0;
  }
  ps->depthTable = comparisonTable(rs[D3DRS_ZFUNC]);
  ps->alphaTable = rs[D3DRS_ALPHATESTENABLE] != 0 ? comparisonTable(rs[D3DRS_ALPHAFUNC]) : comparisonTable(D3DCMP_ALWAYS);
  ps->alphaRef = rs[D3DRS_ALPHAREF] & 0xFFu;
  ps->srcBlend = rs[D3DRS_SRCBLEND];
  ps->destBlend = rs[D3DRS_DESTBLEND];
  if (rs[D3DRS_ALPHABLENDENABLE] == 0) {  // the general blend then writes the source as it is
    ps->srcBlend = D3DBLEND_ONE;
    ps->destBlend = D3DBLEND_ZERO;
  } else if (ps->srcBlend == D3DBLEND_BOTHSRCALPHA || ps->srcBlend == D3DBLEND_BOTHINVSRCALPHA) {
    // BOTH* sets both factors from the source alpha, whatever DESTBLEND says.
    const bool inverse = ps->srcBlend == D3DBLEND_BOTHINVSRCALPHA;
    ps->srcBlend = inverse ? D3DBLEND_INVSRCALPHA : D3DBLEND_SRCALPHA;
    ps->destBlend = inverse ? D3DBLEND_SRCALPHA : D3DBLEND_INVSRCALPHA;
  }
  ps->blendMode = chooseBlend(ps->srcBlend, ps->destBlend, rs[D3DRS_ALPHABLENDENABLE] != 0, target32);

  const DWORD factor = rs[D3DRS_TEXTUREFACTOR];
  ps->factor = _mm_set_ps(static_cast<float>(factor >> 24) / 255.0f, static_cast<float>((factor >> 16) & 0xFF) / 255.0f,
                          static_cast<float>((factor >> 8) & 0xFF) / 255.0f, static_cast<float>(factor & 0xFF) / 255.0f);
  compileCascade(state, &ps->cascade, ps->blends);
  for (int s = 0; s < kCascadeStages; ++s) {
    ps->textureMode[s] = kNoTexture;
    ps->coordinateOffset[s] = 2 * s;  // the vertex stage puts stage s's coordinates in slot s
    if (s >= ps->cascade.count || !ps->cascade.samples[s]) continue;
    prepareSampler(state, s, *state.textures[s], &ps->samplers[s]);
    ps->textureMode[s] = ps->samplers[s].is32Bit ? kTexture32 : kTextureOther;
  }

  ps->specularAdd = rs[D3DRS_SPECULARENABLE] != 0;
  ps->specular = ps->specularAdd || ps->cascade.readsSpecular;
  if (ps->specular || ps->cascade.general) {
    ps->blendMode = BlendMode::kGeneral;
    *span = generalRoutine(ps->textureMode[0] != kNoTexture, ps->textureMode[1] != kNoTexture, ps->depthMode);
    return true;
  }
  const size_t index = routineIndex(ps->textureMode[0], ps->textureMode[1], ps->depthMode, ps->blendMode);
  SpanFunction grouped = g_pixelGroups.load(std::memory_order_relaxed) ? kGroupRoutines[index] : nullptr;
  if (grouped != nullptr && ps->cascade.textureBlend && ps->textureMode[0] == kTexture32 &&
      ps->textureMode[1] == kTexture32 && ps->depthMode == DepthMode::kOff) {
    grouped = kTextureBlendRoutines[static_cast<int>(ps->blendMode)];
  }
  if (grouped != nullptr) {
    const SpanFunction fixed = ps->cascade.textureBlend ? fixedBlendRoutine(*ps) : fixedRowRoutine(ps);
    if (fixed != nullptr) {
      ps->floatSpan = grouped;
      *span = fixed;
      return true;
    }
  }
  *span = grouped != nullptr ? grouped : onePixelRoutine(index);
  return true;
}

void setPixelGroups(bool enabled) { g_pixelGroups.store(enabled, std::memory_order_relaxed); }

}  // namespace d3d8compat
