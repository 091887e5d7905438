// Texture sampler of the software pipeline: point and bilinear filtering on a texture level, mip level
// selection from a level of detail (POINT: nearest level, LINEAR: trilinear blend), WRAP and CLAMP
// addressing on texel indices, and the four texture formats expanded to floats (b, g, r, a lanes;
// formats without alpha read 1). MIRROR, BORDER and MIRRORONCE addressing are treated as CLAMP.
#pragma once

#include <emmintrin.h>

#include "compat/d3d8/device_state.h"

namespace d3d8compat {

class Texture;

struct alignas(16) SamplerLevel {
  __m128 keep, force;  // 32-bit formats: texel = (texel & keep) | force (X8R8G8B8 forces alpha 1)
  const BYTE* bits;
  int width, height;
  int pitch;  // bytes
  bool powerOfTwo;  // both sides: WRAP can mask texel indices
  bool forceAlpha;  // keep / force change texels (X8R8G8B8); otherwise they are all-ones and zero
  float widthF, heightF;
};

struct SamplerState;
// Filters the texture at (u, v) for level of detail lambda (log2 of texels per pixel at level 0).
using SampleFunction = __m128 (*)(const SamplerState& sampler, float u, float v, float lambda);

struct alignas(16) SamplerState {
  SampleFunction sample;
  SamplerLevel levels[16];
  int baseLevel;      // D3DTSS_MAXMIPLEVEL, clamped to the chain
  int lastLevel;      // levelCount - 1
  DWORD magFilter, minFilter, mipFilter;
  float lodBias;
  bool clampU, clampV;
  bool needsLod;      // false: lambda does not change the result (one filter, no mip chain in use)
  bool is32Bit;       // A8R8G8B8 or X8R8G8B8: pixel routines call the 32-bit kernel directly
};

// Prepares sampling of `texture` with the addressing and filter states of stage `stage`.
void prepareSampler(const DeviceState& state, int stage, const Texture& texture, SamplerState* sampler);

}  // namespace d3d8compat
