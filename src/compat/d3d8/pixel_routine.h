// Per-draw pixel state and the choice of pixel routine. preparePixelState reads the device state once
// per draw (render target, depth buffer, comparisons, blend, compiled cascade, samplers) and picks the
// span routine compiled for that combination of texture use per stage, depth mode and blend mode, so
// the per-pixel loop tests none of those states. Targets other than 32-bit ones and unusual blend
// pairs share one general routine.
#pragma once

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
  int coordinateOffset[kCascadeStages];  // where the stage's (u, v) sit in (u0, v0, u1, v1, 0, 0)

  BYTE* color;                       // render target
  int colorPitch, colorBytes;
  D3DFORMAT colorFormat;
  uint32_t alphaOr;                  // 0xFF000000 for targets without alpha (written as opaque)
  BYTE* depth;                       // null when depth is off
  int depthPitch, depthBytes, depthShift;
  double depthMax;                   // 2^n - 1 of the depth format
  unsigned depthTable, alphaTable;   // comparisonTable of ZFUNC and ALPHAFUNC (ALWAYS when disabled)
  uint32_t alphaRef;
  DWORD srcBlend, destBlend;

  DepthMode depthMode;
  BlendMode blendMode;
  TextureMode textureMode[kCascadeStages];
};

// False when the draw cannot write anything (no render target). Fills `pixels` and returns its routine.
bool preparePixelState(const DeviceState& state, PixelState* pixels, SpanFunction* span);

// Routines that shade four-pixel groups are used where they exist (the default); false makes every
// draw use the one-pixel routines, so tests can compare the two. Set between draws only.
void setPixelGroups(bool enabled);

}  // namespace d3d8compat
