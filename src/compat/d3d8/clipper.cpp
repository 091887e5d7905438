#include "compat/d3d8/clipper.h"

#include <algorithm>

namespace d3d8compat {
namespace {

// Signed distances to the six planes; a vertex is inside a plane when its distance is >= 0.
constexpr int kPlaneCount = 6;

float planeDistance(int plane, const PipelineVertex& v, float guard) {
  const float x = v.pos[0], y = v.pos[1], z = v.pos[2], w = v.pos[3];
  switch (plane) {
    case 0: return z;                  // near: z >= 0
    case 1: return w - z;              // far: z <= w
    case 2: return guard * w - x;      // guard band right
    case 3: return guard * w + x;      // guard band left
    case 4: return guard * w - y;      // guard band top
    default: return guard * w + y;     // guard band bottom
  }
}

PipelineVertex lerpVertex(const PipelineVertex& a, const PipelineVertex& b, float t) {
  PipelineVertex r;
  for (int k = 0; k < 4; ++k) r.pos[k] = a.pos[k] + (b.pos[k] - a.pos[k]) * t;
  for (int k = 0; k < 4; ++k) r.color[k] = a.color[k] + (b.color[k] - a.color[k]) * t;
  for (int k = 0; k < 4; ++k) r.specular[k] = a.specular[k] + (b.specular[k] - a.specular[k]) * t;
  for (int s = 0; s < kPipelineSets; ++s) {
    for (int k = 0; k < 2; ++k) r.tex[s][k] = a.tex[s][k] + (b.tex[s][k] - a.tex[s][k]) * t;
  }
  r.pointSize = a.pointSize;
  return r;
}

}  // namespace

ViewportMap makeViewportMap(const D3DVIEWPORT8& viewport) {
  ViewportMap map;
  map.x = static_cast<float>(viewport.X);
  map.y = static_cast<float>(viewport.Y);
  map.halfWidth = static_cast<float>(viewport.Width) * 0.5f;
  map.halfHeight = static_cast<float>(viewport.Height) * 0.5f;
  map.minZ = viewport.MinZ;
  map.zScale = viewport.MaxZ - viewport.MinZ;
  // Keep screen coordinates within about 4096 pixels of the viewport: far inside set-up's range.
  const float half = std::max(1.0f, std::max(map.halfWidth, map.halfHeight));
  map.guard = 4096.0f / half;
  return map;
}

int clipTriangle(const PipelineVertex& a, const PipelineVertex& b, const PipelineVertex& c,
                 const ViewportMap& map, ScreenVertex* out, bool specular) {
  // Outcodes first: the common case is a triangle wholly inside every plane.
  unsigned outside[3] = {0, 0, 0};
  const PipelineVertex* input[3] = {&a, &b, &c};
  for (int i = 0; i < 3; ++i) {
    for (int p = 0; p < kPlaneCount; ++p) {
      if (planeDistance(p, *input[i], map.guard) < 0.0f) outside[i] |= 1u << p;
    }
  }
  if ((outside[0] & outside[1] & outside[2]) != 0) return 0;
  if ((outside[0] | outside[1] | outside[2]) == 0) {
    for (int i = 0; i < 3; ++i) out[i] = toScreen(*input[i], map, specular);
    return 3;
  }

  // Sutherland-Hodgman against each plane some vertex is outside of.
  PipelineVertex buffers[2][kMaxClippedVertices + 1];
  int count = 3;
  for (int i = 0; i < 3; ++i) buffers[0][i] = *input[i];
  int current = 0;
  const unsigned planes = outside[0] | outside[1] | outside[2];
  for (int p = 0; p < kPlaneCount; ++p) {
    if ((planes & (1u << p)) == 0) continue;
    const PipelineVertex* in = buffers[current];
    PipelineVertex* next = buffers[1 - current];
    int nextCount = 0;
    for (int i = 0; i < count; ++i) {
      const PipelineVertex& from = in[i];
      const PipelineVertex& to = in[(i + 1) % count];
      const float dFrom = planeDistance(p, from, map.guard), dTo = planeDistance(p, to, map.guard);
      if (dFrom >= 0.0f) next[nextCount++] = from;
      if ((dFrom >= 0.0f) != (dTo >= 0.0f)) next[nextCount++] = lerpVertex(from, to, dFrom / (dFrom - dTo));
    }
    count = nextCount;
    current = 1 - current;
    if (count < 3) return 0;
  }
  for (int i = 0; i < count; ++i) {
    if (buffers[current][i].pos[3] <= 0.0f) return 0;  // degenerate: only possible with a broken projection
    out[i] = toScreen(buffers[current][i], map, specular);
  }
  return count;
}

}  // namespace d3d8compat
