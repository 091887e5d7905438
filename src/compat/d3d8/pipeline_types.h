// The hand-over records between the stages of the software pipeline: the vertex stage makes
// PipelineVertex (clip space, or screen space for pre-transformed input), the clipper and the point
// sprite expander make ScreenVertex triangles, triangle set-up makes a TriangleSetup that the rasterizer
// walks row by row, handing spans to the draw's pixel routine. Two pairs of texture coordinates travel:
// the ones stage 0 and stage 1 read (whichever sets their TEXCOORDINDEX names, after the stage's texture
// transform), as the cascade evaluates two stages. The specular colour travels only for the draws
// that read it (it is zero otherwise, and set-up leaves its planes out).
#pragma once

#include <cstdint>

namespace d3d8compat {

constexpr int kPipelineSets = 2;  // texture coordinate pairs carried: slot k is what stage k reads

// Output of the vertex stage. Colour lanes are in memory order of a D3DCOLOR: b, g, r, a (0..1 floats).
struct PipelineVertex {
  float pos[4];                    // clip x, y, z, w; pre-transformed: screen x, y, z, rhw
  float color[4];                  // lit or given diffuse, b g r a
  float tex[kPipelineSets][2];     // u, v per stage ((0, 0) for a set the format lacks)
  float pointSize;                 // screen size of a point (points only), before the min/max clamp
  float specular[4];               // lit or given specular, b g r a (zero unless the draw reads it)
};

// A vertex in render-target pixels: x, y (pixel centres on integers), z (0..1 depth), rhw = 1/w.
// specular is set only for draws that read it.
struct ScreenVertex {
  float x, y, z, rhw;
  float color[4];
  float tex[kPipelineSets][2];
  float specular[4];
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
  alignas(16) float specular[4], specularDx[4], specularDy[4];  // specular * rhw; only for the general routines
};

}  // namespace d3d8compat
