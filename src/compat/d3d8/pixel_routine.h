// Per-draw pixel state and the choice of pixel routine. preparePixelState reads the device state once
// per draw (render target, depth buffer, comparisons, blend, compiled cascade, samplers) and picks the
// span routine compiled for that combination of texture use per stage, depth mode and blend mode, so
// the per-pixel loop tests none of those states. Targets other than 32-bit ones and unusual blend
// pairs share one general routine. Draws that need the interpolated specular colour (SPECULARENABLE,
// or a SPECULAR argument) or a per-pixel alpha blend op take the general routines: one pixel at a time,
// any blend, any texture format, so the routines of every other draw carry none of that work.
#pragma once

#include <cstddef>

#include "compat/d3d8/device_state.h"
#include "compat/d3d8/rasterizer.h"
#include "compat/d3d8/sampler.h"
#include "compat/d3d8/stage_cascade.h"

namespace d3d8compat {

enum class DepthMode : int { kOff = 0, kTestWrite = 1, kTestOnly = 2 };
enum class BlendMode : int { kOpaque = 0, kSourceAlpha = 1, kAdditive = 2, kGeneral = 3 };
// How a stage samples: not at all, through the inlined 32-bit kernel, or through the sampler's function.
enum TextureMode : int { kNoTexture = 0, kTexture32 = 1, kTextureOther = 2 };

struct alignas(16) PixelState {
  __m128 factor;                     // D3DRS_TEXTUREFACTOR, lanes b, g, r, a
  Cascade cascade;
  SamplerState samplers[kCascadeStages];
  int coordinateOffset[kCascadeStages];  // where the stage's (u, v) sit in (u0, v0, u1, v1): 2 * stage

  BYTE* color;                       // render target
  int colorPitch, colorBytes;
  D3DFORMAT colorFormat;
  uint32_t alphaOr;                  // 0xFF000000 for targets without alpha (written as opaque)
  BYTE* depth;                       // null when depth is off
  int depthPitch, depthBytes, depthShift;
  double depthMax;                   // 2^n - 1 of the depth format
  unsigned depthTable, alphaTable;   // comparisonTable of ZFUNC and ALPHAFUNC (ALWAYS when disabled)
  uint32_t alphaRef;
  DWORD srcBlend, destBlend;         // ONE / ZERO when blending is off; BOTH* pairs already split

  DepthMode depthMode;
  BlendMode blendMode;
  TextureMode textureMode[kCascadeStages];
  SpanFunction floatSpan;            // the float group routine the fixed-point rows hand other spans to
  // Fixed-point rows of one stage, per lane (b, g, r, a): 1 where the texture is taken whole, 1 where it
  // is multiplied by the diffuse colour, all-ones where the diffuse colour is taken instead.
  __m128 fixedTexture, fixedModulate, fixedDiffuse;

  // For the general routines (kept last, so the usual routines see the fields above where they were).
  CascadeBlend blends[kCascadeStages];
  bool specular;                     // the vertex stage and set-up must carry the specular colour
  bool specularAdd;                  // SPECULARENABLE: rgb += specular after the cascade
};

// The states a routine is compiled for, and its index in the routine tables:
// (((texture mode 0) * 3 + texture mode 1) * 3 + depth mode) * 4 + blend mode.
// These routines all apply the alpha test: with the test off its comparison table is ALWAYS, which
// passes every pixel. Compiling each once rather than with and without the test halves their
// instantiations (and the build); only draws without the test pay for the comparison, and the
// presentation draws everything with it on. The fixed-point rows, which draw nearly every pixel, keep
// both forms (fixedRowRoutine).
struct RoutineKey {
  int texture0, texture1;
  DepthMode depth;
  BlendMode blend;
};
constexpr int kTextureModes = 3, kDepthModes = 3, kBlendModes = 4;
constexpr size_t kRoutineCount = kTextureModes * kTextureModes * kDepthModes * kBlendModes;

constexpr size_t routineIndex(int texture0, int texture1, DepthMode depth, BlendMode blend) {
  return ((static_cast<size_t>(texture0) * kTextureModes + static_cast<size_t>(texture1)) * kDepthModes +
          static_cast<size_t>(depth)) * kBlendModes + static_cast<size_t>(blend);
}

constexpr RoutineKey routineKey(size_t index) {
  return {static_cast<int>(index / (kTextureModes * kDepthModes * kBlendModes)),
          static_cast<int>(index / (kDepthModes * kBlendModes) % kTextureModes),
          static_cast<DepthMode>(index / kBlendModes % kDepthModes), static_cast<BlendMode>(index % kBlendModes)};
}
static_assert(routineIndex(routineKey(77).texture0, routineKey(77).texture1, routineKey(77).depth,
                           routineKey(77).blend) == 77);

// The one-pixel routine of a routine index (one_pixel_routines.cpp).
SpanFunction onePixelRoutine(size_t index);
// The general routine for stages that sample or not and a depth mode (one_pixel_routines.cpp).
SpanFunction generalRoutine(bool texture0, bool texture1, DepthMode depth);

// False when the draw cannot write anything (no render target). Fills `pixels` and returns its routine.
bool preparePixelState(const DeviceState& state, PixelState* pixels, SpanFunction* span);

// Routines that shade four-pixel groups are used where they exist (the default); false makes every
// draw use the one-pixel routines, so tests can compare the two. Set between draws only.
void setPixelGroups(bool enabled);

// The fixed-point row routine for a draw whose state it serves, else null; `floatSpan` must then hold
// the draw's float group routine. fixedRowRoutine (fixed_rows.cpp): one 32-bit texture stage whose
// lanes take the texture, the texture times the diffuse colour or the diffuse colour, on a 32-bit
// target with a non-general blend (it fills the pixel state's fixed* lanes; a form without the alpha
// test where its table is ALWAYS). fixedBlendRoutine (fixed_blend.cpp): a `textureBlend` cascade
// without depth, its stage 1 coefficients in 0..1.
SpanFunction fixedRowRoutine(PixelState* pixels);
SpanFunction fixedBlendRoutine(const PixelState& pixels);
// The whole-triangle form of a span routine fixedRowRoutine returned (per-triangle work done once for
// triangles without perspective); null for any other routine.
TriangleFunction fixedTriangleRoutine(SpanFunction span);
// Fixed-point rows are used where they apply (the default); false leaves those draws to the float
// group routines, so tests can compare the two. Set between draws only.
void setFixedPoint(bool enabled);
bool fixedPointEnabled();
// Where the processor has AVX2, fixed-point rows shade eight pixels at a time where they can (the same
// bytes as four at a time, fixed_texels_wide.h); false keeps them to four, so tests can compare the
// two. Set between draws only.
void setWideGroups(bool enabled);
bool wideGroupsAvailable();

}  // namespace d3d8compat
