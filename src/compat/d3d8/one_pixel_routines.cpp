// The one-pixel routines: a span shaded pixel by pixel, instantiated by texture mode per stage, depth
// test and general blend. They serve stages reading 16-bit textures and blends other than the 32-bit
// target's own, and every draw when tests turn the four-pixel groups off. The general
// routines are the same loop with the specular colour interpolated and the full cascade
// (runGeneralCascade), for the general blend and the sampler's own filter function only.
#include <array>
#include <utility>

#include "compat/d3d8/formats.h"
#include "compat/d3d8/output_merge.h"
#include "compat/d3d8/stage_sampling.h"

namespace d3d8compat {
namespace {

using namespace routines;

// One pixel at a time: stages reading 16-bit textures, and blends other than the 32-bit target's own.
// Depth: the depth test is on (whether it writes is read from the state). GeneralBlend: the blend is
// the general one, else the 32-bit target's blend is read from the state. General: the specular colour
// is interpolated, read by the cascade and added after it when asked. Only the texture modes, the
// general forms and whether depth is tested are compiled in: as the reference the faster routines are
// tested against, and for the draws none of them serve, these routines are kept few and plain.
template <int Tex0, int Tex1, bool Depth, bool GeneralBlend, bool General = false>
void shadePixels(const void* context, const TriangleSetup& s, int y, int xBegin, int xEnd) {
  const PixelState& ps = *static_cast<const PixelState*>(context);
  const float fx = static_cast<float>(xBegin) - s.x0, fy = static_cast<float>(y) - s.y0;
  float rhw = s.rhw + s.rhwDx * fx + s.rhwDy * fy;
  float z = s.z + s.zDx * fx + s.zDy * fy;
  const __m128 vfx = _mm_set1_ps(fx), vfy = _mm_set1_ps(fy);
  const __m128 colorDx = _mm_load_ps(s.colorDx), texDx = _mm_load_ps(s.texDx);
  __m128 color = _mm_add_ps(_mm_load_ps(s.color),
                            _mm_add_ps(_mm_mul_ps(colorDx, vfx), _mm_mul_ps(_mm_load_ps(s.colorDy), vfy)));
  __m128 tex = _mm_add_ps(_mm_load_ps(s.tex), _mm_add_ps(_mm_mul_ps(texDx, vfx), _mm_mul_ps(_mm_load_ps(s.texDy), vfy)));
  __m128 specularDx = _mm_setzero_ps(), specular = _mm_setzero_ps();
  if constexpr (General) {
    specularDx = _mm_load_ps(s.specularDx);
    specular = _mm_add_ps(_mm_load_ps(s.specular),
                          _mm_add_ps(_mm_mul_ps(specularDx, vfx), _mm_mul_ps(_mm_load_ps(s.specularDy), vfy)));
  }

  BYTE* colorOut = ps.color + static_cast<size_t>(y) * ps.colorPitch + static_cast<size_t>(xBegin) * ps.colorBytes;
  BYTE* depthOut = nullptr;
  if constexpr (Depth) {
    depthOut = ps.depth + static_cast<size_t>(y) * ps.depthPitch + static_cast<size_t>(xBegin) * ps.depthBytes;
  }
  alignas(16) float coords[8] = {0, 0, 0, 0, 0, 0, 0, 0};
  // Values the loop reads, held in locals (see StageLocal).
  StageLocal stage0{}, stage1{};
  if constexpr (Tex0 != kNoTexture) stage0 = stageLocal(ps, 0);
  if constexpr (Tex1 != kNoTexture) stage1 = stageLocal(ps, 1);
  const int colorBytes = GeneralBlend ? ps.colorBytes : 4;
  const bool depthWrite = ps.depthMode == DepthMode::kTestWrite;
  const BlendMode blend = ps.blendMode;
  const uint32_t alphaOr = ps.alphaOr;
  const int depthBytes = ps.depthBytes, depthShift = ps.depthShift;
  const double depthMax = ps.depthMax;
  const unsigned depthTable = ps.depthTable;
  const bool singleStage = ps.cascade.singleTextureStage;

  // Everything after sampling for one pixel: cascade, alpha test, depth write, blend and colour write.
  auto finish = [&](__m128 diffuse, __m128 specularColor, const __m128* textures, BYTE* colorAt, BYTE* depthAt,
                    uint32_t depthValue, uint32_t storedWord) __attribute__((always_inline)) {
    __m128 out;
    if constexpr (General) {
      out = runGeneralCascade(ps.cascade, ps.blends, diffuse, ps.factor, textures, specularColor);
      if (ps.specularAdd) {  // rgb = sat(rgb + specular.rgb); alpha as the cascade left it
        const __m128 rgbMask = _mm_castsi128_ps(_mm_set_epi32(0, -1, -1, -1));
        const __m128 sum = _mm_min_ps(_mm_add_ps(out, _mm_and_ps(rgbMask, specularColor)), _mm_set1_ps(1.0f));
        out = _mm_max_ps(sum, _mm_setzero_ps());
      }
    } else if constexpr (Tex0 != kNoTexture && Tex1 == kNoTexture) {
      out = singleStage ? runSingleStage(ps.cascade, diffuse, textures[0])
                        : runCascade(ps.cascade, diffuse, ps.factor, textures);
    } else {
      out = runCascade(ps.cascade, diffuse, ps.factor, textures);
    }
    const __m128 alpha = _mm_min_ss(_mm_max_ss(broadcastAlpha(out), _mm_setzero_ps()), _mm_set_ss(1.0f));
    const __m128 scaled = _mm_add_ss(_mm_mul_ss(alpha, _mm_set_ss(255.0f)), _mm_set_ss(0.5f));
    if (!comparisonPasses(ps.alphaTable, static_cast<uint32_t>(_mm_cvttss_si32(scaled)), ps.alphaRef)) return;
    if (Depth && depthWrite) {
      const uint32_t keep = depthShift != 0 ? (storedWord & 0xFFu) : 0u;
      storePixel(depthAt, static_cast<UINT>(depthBytes), (depthValue << depthShift) | keep);
    }
    if constexpr (GeneralBlend) {
      const uint32_t stored = loadPixel(colorAt, static_cast<UINT>(colorBytes));
      const __m128 dst = fromColorWord(unpackColor(ps.colorFormat, stored));
      const __m128 result = blendGeneric(ps.srcBlend, ps.destBlend, out, dst);
      storePixel(colorAt, static_cast<UINT>(colorBytes), packColor(ps.colorFormat, toColorWord(result) | alphaOr));
    } else {
      __m128 result = out;
      if (blend != BlendMode::kOpaque) {
        uint32_t stored;
        __builtin_memcpy(&stored, colorAt, 4);
        const __m128 dst = fromColorWord(stored | alphaOr);
        result = blend == BlendMode::kSourceAlpha ? blendSourceAlpha(out, dst) : blendAdditive(out, dst);
      }
      const uint32_t word = toColorWord(result) | alphaOr;
      __builtin_memcpy(colorAt, &word, 4);
    }
  };

  for (int x = xBegin; x < xEnd; ++x) {
    uint32_t depthValue = 0, storedWord = 0;
    bool visible = true;
    if constexpr (Depth) {
      depthValue = quantizeDepthValue(z, depthMax);
      storedWord = loadPixel(depthOut, static_cast<UINT>(depthBytes));
      visible = comparisonPasses(depthTable, depthValue, storedWord >> depthShift);
    }
    if (visible) {
      const float w = 1.0f / rhw;
      const __m128 vw = _mm_set1_ps(w);
      __m128 textures[kCascadeStages] = {_mm_setzero_ps(), _mm_setzero_ps()};
      if constexpr (Tex0 != kNoTexture || Tex1 != kNoTexture) _mm_store_ps(coords, _mm_mul_ps(tex, vw));
      if constexpr (Tex0 != kNoTexture) textures[0] = sampleStage<Tex0>(ps, s, 0, stage0, coords, w);
      if constexpr (Tex1 != kNoTexture) textures[1] = sampleStage<Tex1>(ps, s, 1, stage1, coords, w);
      finish(_mm_mul_ps(color, vw), _mm_mul_ps(specular, vw), textures, colorOut, depthOut, depthValue, storedWord);
    }
    rhw += s.rhwDx;
    z += s.zDx;
    color = _mm_add_ps(color, colorDx);
    if constexpr (General) specular = _mm_add_ps(specular, specularDx);
    tex = _mm_add_ps(tex, texDx);
    colorOut += colorBytes;
    if constexpr (Depth) depthOut += depthBytes;
  }
}

template <size_t I>
constexpr SpanFunction pixelRoutineAt() {
  constexpr RoutineKey kKey = routineKey(I);
  return shadePixels<kKey.texture0, kKey.texture1, kKey.depth != DepthMode::kOff, kKey.blend == BlendMode::kGeneral>;
}
template <size_t... I>
constexpr std::array<SpanFunction, sizeof...(I)> makePixelRoutines(std::index_sequence<I...>) {
  return {{pixelRoutineAt<I>()...}};
}
constexpr std::array<SpanFunction, kRoutineCount> kPixelRoutines =
    makePixelRoutines(std::make_index_sequence<kRoutineCount>{});

// General routines by (texture0 * 2 + texture1) * 3 + depth mode.
constexpr size_t kGeneralRoutineCount = 2 * 2 * kDepthModes;
template <size_t I>
constexpr SpanFunction generalRoutineAt() {
  constexpr int kTex0 = I / (2 * kDepthModes) != 0 ? kTextureOther : kNoTexture;
  constexpr int kTex1 = I / kDepthModes % 2 != 0 ? kTextureOther : kNoTexture;
  constexpr DepthMode kDepth = static_cast<DepthMode>(I % kDepthModes);
  return shadePixels<kTex0, kTex1, kDepth != DepthMode::kOff, true, true>;
}
template <size_t... I>
constexpr std::array<SpanFunction, sizeof...(I)> makeGeneralRoutines(std::index_sequence<I...>) {
  return {{generalRoutineAt<I>()...}};
}
constexpr std::array<SpanFunction, kGeneralRoutineCount> kGeneralRoutines =
    makeGeneralRoutines(std::make_index_sequence<kGeneralRoutineCount>{});

}  // namespace

SpanFunction onePixelRoutine(size_t index) { return kPixelRoutines[index]; }

SpanFunction generalRoutine(bool texture0, bool texture1, DepthMode depth) {
  const size_t index = (static_cast<size_t>(texture0) * 2 + static_cast<size_t>(texture1)) * kDepthModes +
                       static_cast<size_t>(depth);
  return kGeneralRoutines[index];
}

}  // namespace d3d8compat
