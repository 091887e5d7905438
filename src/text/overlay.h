// Screen-space drawing shared by captions, overlays and scenes: the 28-byte pre-transformed vertex and
// the plain textured rectangle placed in fractions of the current render target. No state changes:
// texture, blending and culling are whatever the caller set.
#pragma once

#include <cstdint>

#include "compat/d3d8/d3d8.h"
#include "engine3d/vec3.h"

// D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX1.
constexpr DWORD OVERLAY_FVF = 0x144;

struct OverlayVertex {
  float x, y, z, rhw;
  uint32_t color;
  float u, v;
};
static_assert(sizeof(OverlayVertex) == 28);

OverlayVertex makeOverlayVertex(Vec3 position, uint32_t color, float u, float v);

// Texture coordinates (0, 0) at (x0, y0) and (1, 1) at (x1, y1): swapping corners mirrors the texture.
void drawScreenQuad(float x0, float y0, float x1, float y1, uint32_t color);
