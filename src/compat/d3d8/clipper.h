// Clipper of the software pipeline: clips one clip-space triangle against the near (z = 0) and far
// (z = w) planes in homogeneous space, and against a wide guard band in x and y (so screen coordinates
// stay within the fixed-point range of set-up), then divides by w and applies the viewport. Pixels
// outside the viewport are removed later by the scissor, not here; nothing here culls.
#pragma once

#include "compat/d3d8/d3d8_types.h"
#include "compat/d3d8/pipeline_types.h"

namespace d3d8compat {

// The viewport transform: X_s = X + (1 + x/w) * Width/2, Y_s = Y + (1 - y/w) * Height/2,
// Z_s = MinZ + z/w * (MaxZ - MinZ).
struct ViewportMap {
  float x, y, halfWidth, halfHeight, minZ, zScale;
  float guard;  // |x/w| and |y/w| limit of the guard band
};
ViewportMap makeViewportMap(const D3DVIEWPORT8& viewport);

// The clipped polygon can have at most one vertex more per plane than it started with.
constexpr int kMaxClippedVertices = 3 + 6;

// Clips triangle (a, b, c) and writes the resulting convex polygon, in screen space and in the same
// winding, to out. Returns its vertex count: 0 when nothing is left, otherwise 3 .. kMaxClippedVertices.
int clipTriangle(const PipelineVertex& a, const PipelineVertex& b, const PipelineVertex& c,
                 const ViewportMap& map, ScreenVertex* out);

// Screen position of a clip-space vertex with w > 0.
ScreenVertex toScreen(const PipelineVertex& v, const ViewportMap& map);

}  // namespace d3d8compat
