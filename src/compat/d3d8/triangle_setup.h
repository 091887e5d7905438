// Triangle set-up of the software pipeline: snaps a screen-space triangle to 1/256 pixel, makes its
// three edge functions with the top-left fill rule folded in, its bounding box inside the scissor
// rectangle, and the screen-linear planes of z, rhw and of colour and texture coordinates times rhw.
// Culling is decided before this; set-up only orders the vertices clockwise.
#pragma once

#include "compat/d3d8/pipeline_types.h"

namespace d3d8compat {

// Pixels that may be written: left <= x < right, top <= y < bottom.
struct ScissorRect {
  int left, top, right, bottom;
};

// Sub-pixel precision of the edge functions: 8 fractional bits.
constexpr int kSubPixelBits = 8;

// Twice the signed area of the triangle on screen (y down): > 0 when a, b, c run clockwise.
float screenArea(const ScreenVertex& a, const ScreenVertex& b, const ScreenVertex& c);

// False when the triangle covers no pixel centre of the scissor rectangle's box (zero area, or outside).
// The specular planes are made only when `specular` is set.
bool setupTriangle(const ScreenVertex& a, const ScreenVertex& b, const ScreenVertex& c,
                   const ScissorRect& scissor, TriangleSetup* setup, bool specular = false);

}  // namespace d3d8compat
