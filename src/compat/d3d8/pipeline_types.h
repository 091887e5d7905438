// The hand-over records between the stages of the software pipeline: the vertex stage makes
// PipelineVertex (clip space, or screen space for pre-transformed input), the clipper and the point
// sprite expander make ScreenVertex triangles, triangle set-up makes a TriangleSetup that the rasterizer
// walks row by row, handing spans to the draw's pixel routine. Only two texture coordinate sets travel
// (the most any vertex format the program draws carries); specular colour does not travel at all.
#pragma once

#include <cstdint>

namespace d3d8compat {

constexpr int kPipelineSets = 2;  // texture coordinate sets carried through the pipeline

// Output of the vertex stage. Colour lanes are in memory order of a D3DCOLOR: b, g, r, a (0..1 floats).
struct PipelineVertex {
  float pos[4];                    // clip x, y, z, w; pre-transformed: screen x, y, z, rhw
  float color[4];                  // lit or given diffuse, b g r a
  float tex[kPipelineSets][2];     // u, v per set ((0, 0) for sets the format lacks)
  float pointSize;                 // screen size of a point (points only), before the min/max clamp
};

// A vertex in render-target pixels: x, y (pixel centres on integers), z (0..1 depth), rhw = 1/w.
struct ScreenVertex {
  float x, y, z, rhw;
  float color[4];
  float tex[kPipelineSets][2];
};

// One edge function in 1/256-pixel fixed point, evaluated at integer pixel centres (x, y):
// E(x, y) = a * x + b * y + c, with the fill rule folded into c so that "inside" is E >= 0.
struct EdgeFunction {
  int64_t a, b, c;
};

// An attribute that varies linearly in screen space: value(x, y) = at0 + dx * (x - x0) + dy * (y - y0).
// Colours and coordinates are set up multiplied by rhw (perspective-correct), z and rhw as they are.
struct alignas(16) TriangleSetup {
  EdgeFunction edges[3];
  int minX, maxX, minY, maxY;      // bounding box of covered pixels, already inside the scissor
  float x0, y0;                    // where the at0 values below are taken (a pixel centre)
  alignas(16) float color[4], colorDx[4], colorDy[4];   // colour * rhw
  alignas(16) float tex[4], texDx[4], texDy[4];         // (u0, v0, u1, v1) * rhw
  float rhw, rhwDx, rhwDy;
  float z, zDx, zDy;
};

}  // namespace d3d8compat
