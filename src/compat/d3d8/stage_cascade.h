// The texture stage cascade of the software pipeline, for the first two stages (the device reports
// two blend stages): each stage's colour and alpha operations are compiled per draw into coefficients
// of one branch-free form, result = sat(k0 + k1 * arg1 + k2 * arg2 + k3 * arg1 * arg2), with arguments
// read by index (DIFFUSE, CURRENT, TEXTURE, TFACTOR, SPECULAR) and the COMPLEMENT / ALPHAREPLICATE
// modifiers as masks. The ops that blend by a per-pixel alpha (BLENDDIFFUSEALPHA, BLENDTEXTUREALPHA,
// BLENDCURRENTALPHA) add k * A * (arg1 - arg2); they, and SPECULAR arguments, are evaluated only by
// the general routines (runGeneralCascade), so the routines the usual draws take carry none of it.
// PREMODULATE, DOTPRODUCT3, MULTIPLYADD, LERP and BLENDTEXTUREALPHAPM are not supported (not reported).
#pragma once

#include <emmintrin.h>

#include "compat/d3d8/device_state.h"

namespace d3d8compat {

constexpr int kCascadeStages = 2;

// SPECULAR comes last: only the general form's sources hold it.
enum CascadeSource : int {
  kSourceDiffuse = 0, kSourceCurrent = 1, kSourceTexture = 2, kSourceFactor = 3, kSourceZero = 4, kSourceSpecular = 5
};

struct alignas(16) CascadeStage {
  __m128 k0, k1, k2, k3;     // lanes b, g, r from the colour op, lane a from the alpha op
  __m128 add[2], mul[2];     // argument = add + mul * value (complement: 1 - value)
  __m128 replicate[2];       // all-ones in the colour lanes when the colour argument replicates alpha
  int colorSource[2];        // CascadeSource of arg1 and arg2, colour part
  int alphaSource[2];        // ... alpha part
};

// A stage's per-pixel alpha blend (general routines only): k is 1 in the lanes whose op blends, and A in
// those lanes is the alpha of CascadeSource colorSource (colour lanes) or alphaSource (alpha lane). Kept
// apart from CascadeStage so the records the usual routines read stay as they are.
struct alignas(16) CascadeBlend {
  __m128 k;
  int colorSource, alphaSource;
  bool active;
};

// How the group routines evaluate a stage with fewer operations and the same result, bit for bit:
// terms whose coefficient is 0 in every lane are left out and coefficients of 1 are not multiplied
// (x + 0 and 1 * x are x for the finite values the cascade sees; a -0 left where +0 would be is
// clamped to +0 all the same). Arguments without modifiers are read as they are.
enum class LeanForm : int { kGeneric = 0, kSelect1, kSelect2, kLinear, kModulate };
enum class LeanArgument : int { kGeneric = 0, kPlain, kMerged };
struct LeanStage {
  LeanForm form;              // kSelect1: arg1; kSelect2: arg2; kLinear: k1 arg1 + k2 arg2; kModulate: arg1 arg2
  LeanArgument argument[2];   // kPlain: one source, no modifier; kMerged: colour and alpha sources, no modifier
};

struct Cascade {
  CascadeStage stages[kCascadeStages];
  int count;                         // stages evaluated; 0: the output is the diffuse colour
  bool samples[kCascadeStages];      // the stage's texture is read
  // True when only stage 0 runs and both its colour and alpha arguments are (TEXTURE, DIFFUSE or
  // CURRENT) without modifiers: runSingleStage then gives the same result with no argument selection.
  bool singleTextureStage;
  // A singleTextureStage whose colour and alpha ops are both MODULATE: the result is texture * diffuse.
  bool modulateOnly;
  // A stage blends by a per-pixel alpha, or an argument reads SPECULAR: only the general routines
  // evaluate this cascade (and then neither shortcut above applies).
  bool general;
  bool readsSpecular;
  LeanStage lean[kCascadeStages];
  // Two stages as the feedback blur sets them: stage 0 takes texture 0's colour and the diffuse alpha;
  // stage 1 is k1 * (texture 1's colour, current alpha) + k2 * current (BLENDFACTORALPHA, ADD, ...).
  // runTextureBlend gives runLeanCascade's result for it.
  bool textureBlend;
};

// Compiles stages 0 and 1 of `state`, their per-pixel alpha blends into blends[0..1]. A stage whose
// COLOROP is DISABLE ends the cascade; so does a stage without a texture whose colour op reads TEXTURE.
// An alpha argument reading a missing texture reads DIFFUSE.
void compileCascade(const DeviceState& state, Cascade* cascade, CascadeBlend* blends);

// Lanes b, g, r of `rgb` with lane a of `alpha`.
inline __attribute__((always_inline)) __m128 mergeAlpha(__m128 rgb, __m128 alpha) {
  const __m128 rgbMask = _mm_castsi128_ps(_mm_set_epi32(0, -1, -1, -1));
  return _mm_or_ps(_mm_and_ps(rgbMask, rgb), _mm_andnot_ps(rgbMask, alpha));
}

// Argument i of a stage from its sources: colour part (alpha replicated where asked) and alpha part
// merged, then the complement as add + mul * value.
inline __attribute__((always_inline)) __m128 stageArgument(const CascadeStage& stage, int i, const __m128* sources) {
  __m128 rgb = sources[stage.colorSource[i]];
  const __m128 alphaOfRgb = _mm_shuffle_ps(rgb, rgb, _MM_SHUFFLE(3, 3, 3, 3));
  rgb = _mm_or_ps(_mm_and_ps(stage.replicate[i], alphaOfRgb), _mm_andnot_ps(stage.replicate[i], rgb));
  const __m128 value = mergeAlpha(rgb, sources[stage.alphaSource[i]]);
  return _mm_add_ps(stage.add[i], _mm_mul_ps(stage.mul[i], value));
}

// k0 + k1 * arg1 + k2 * arg2 + k3 * arg1 * arg2, before saturation.
inline __attribute__((always_inline)) __m128 stageSum(const CascadeStage& stage, const __m128* args) {
  __m128 r = _mm_add_ps(stage.k0, _mm_mul_ps(stage.k1, args[0]));
  r = _mm_add_ps(r, _mm_mul_ps(stage.k2, args[1]));
  return _mm_add_ps(r, _mm_mul_ps(stage.k3, _mm_mul_ps(args[0], args[1])));
}

inline __attribute__((always_inline)) __m128 saturate(__m128 r) {
  return _mm_min_ps(_mm_max_ps(r, _mm_setzero_ps()), _mm_set1_ps(1.0f));
}

// Runs the compiled cascade for one pixel. textures[s] is stage s's filtered texel. The general routines
// run runGeneralCascade instead; the two are kept apart on purpose, so that the routines of every other
// draw, which inline this one, carry none of the general form's work.
inline __m128 runCascade(const Cascade& cascade, __m128 diffuse, __m128 factor, const __m128* textures) {
  __m128 current = diffuse;
  for (int s = 0; s < cascade.count; ++s) {
    const CascadeStage& stage = cascade.stages[s];
    const __m128 sources[5] = {diffuse, current, textures[s], factor, _mm_setzero_ps()};
    const __m128 args[2] = {stageArgument(stage, 0, sources), stageArgument(stage, 1, sources)};
    current = saturate(stageSum(stage, args));
  }
  return current;
}

// runCascade through each stage's LeanStage: the same result, bit for bit, in fewer operations.
inline __attribute__((always_inline)) __m128 runLeanCascade(const Cascade& cascade, __m128 diffuse, __m128 factor,
                                                            const __m128* textures) {
  __m128 current = diffuse;
  for (int s = 0; s < cascade.count; ++s) {
    const CascadeStage& stage = cascade.stages[s];
    const LeanStage& lean = cascade.lean[s];
    const __m128 sources[5] = {diffuse, current, textures[s], factor, _mm_setzero_ps()};
    auto argument = [&](int i) __attribute__((always_inline)) {
      switch (lean.argument[i]) {
        case LeanArgument::kPlain: return sources[stage.colorSource[i]];
        case LeanArgument::kMerged: return mergeAlpha(sources[stage.colorSource[i]], sources[stage.alphaSource[i]]);
        default: return stageArgument(stage, i, sources);
      }
    };
    __m128 r;
    switch (lean.form) {
      case LeanForm::kSelect1: r = argument(0); break;
      case LeanForm::kSelect2: r = argument(1); break;
      case LeanForm::kLinear: r = _mm_add_ps(_mm_mul_ps(stage.k1, argument(0)), _mm_mul_ps(stage.k2, argument(1))); break;
      case LeanForm::kModulate: r = _mm_mul_ps(argument(0), argument(1)); break;
      default: {
        const __m128 args[2] = {argument(0), argument(1)};
        r = stageSum(stage, args);
      }
    }
    current = saturate(r);
  }
  return current;
}

// runLeanCascade of a `textureBlend` cascade, its stage 1 coefficients k1 and k2 held by the caller.
inline __attribute__((always_inline)) __m128 runTextureBlend(__m128 k1, __m128 k2, __m128 diffuse, __m128 texture0,
                                                             __m128 texture1) {
  const __m128 current = saturate(mergeAlpha(texture0, diffuse));
  return saturate(_mm_add_ps(_mm_mul_ps(k1, mergeAlpha(texture1, current)), _mm_mul_ps(k2, current)));
}

// runCascade with SPECULAR among the sources and each stage's per-pixel alpha blend (blends[s]) added
// before the saturation.
inline __m128 runGeneralCascade(const Cascade& cascade, const CascadeBlend* blends, __m128 diffuse, __m128 factor,
                                const __m128* textures, __m128 specular) {
  __m128 current = diffuse;
  for (int s = 0; s < cascade.count; ++s) {
    const CascadeStage& stage = cascade.stages[s];
    const __m128 sources[6] = {diffuse, current, textures[s], factor, _mm_setzero_ps(), specular};
    const __m128 args[2] = {stageArgument(stage, 0, sources), stageArgument(stage, 1, sources)};
    __m128 r = stageSum(stage, args);
    const CascadeBlend& blend = blends[s];
    if (blend.active) {
      const __m128 colorAlpha = sources[blend.colorSource], alphaAlpha = sources[blend.alphaSource];
      const __m128 weight = mergeAlpha(_mm_shuffle_ps(colorAlpha, colorAlpha, _MM_SHUFFLE(3, 3, 3, 3)), alphaAlpha);
      r = _mm_add_ps(r, _mm_mul_ps(_mm_mul_ps(blend.k, weight), _mm_sub_ps(args[0], args[1])));
    }
    current = saturate(r);
  }
  return current;
}

// The cascade of a `singleTextureStage` draw: sat(k0 + k1 * texture + k2 * diffuse + k3 * texture * diffuse).
inline __m128 runSingleStage(const Cascade& cascade, __m128 diffuse, __m128 texture) {
  const CascadeStage& stage = cascade.stages[0];
  __m128 r = _mm_add_ps(stage.k0, _mm_mul_ps(stage.k1, texture));
  r = _mm_add_ps(r, _mm_mul_ps(stage.k2, diffuse));
  r = _mm_add_ps(r, _mm_mul_ps(stage.k3, _mm_mul_ps(texture, diffuse)));
  return _mm_min_ps(_mm_max_ps(r, _mm_setzero_ps()), _mm_set1_ps(1.0f));
}

}  // namespace d3d8compat
