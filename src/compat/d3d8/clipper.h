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
// The specular colour is carried only when `specular` is set.
int clipTriangle(const PipelineVertex& a, const PipelineVertex& b, const PipelineVertex& c,
                 const ViewportMap& map, ScreenVertex* out, bool specular = false);

// Screen position of a clip-space vertex with w > 0, with its specular colour when `specular` is set.
inline ScreenVertex toScreen(const PipelineVertex& v, const ViewportMap& map, bool specular = false) {
  ScreenVertex s;
  const float rhw = 1.0f / v.pos[3];
  s.x = map.x + (1.0f + v.pos[0] * rhw) * map.halfWidth;
  s.y = map.y + (1.0f - v.pos[1] * rhw) * map.halfHeight;
  s.z = map.minZ + v.pos[2] * rhw * map.zScale;
  s.rhw = rhw;
  for (int k = 0; k < 4; ++k) s.color[k] = v.color[k];
  for (int t = 0; t < kPipelineSets; ++t) s.tex[t][0] = v.tex[t][0], s.tex[t][1] = v.tex[t][1];
  if (specular) {
    for (int k = 0; k < 4; ++k) s.specular[k] = v.specular[k];
  }
  return s;
}

}  // namespace d3d8compat
