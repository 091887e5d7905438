// rasterizeDraw: runs one validated draw through the pipeline. Vertices go through the vertex stage
// once each; primitives are assembled from them (lists, strips, fans, points), triangles get
// D3DRS_WRAPn (of the set each stage reads) and flat shading applied, are clipped (untransformed input)
// and culled, and each resulting triangle is set up and rasterized into the draw's pixel routine. Large
// draws run their primitives on several threads, each rasterizing its own stripes of rows
// (band_workers.h). Line primitives
// are not drawn. Scratch memory grows to the largest draw seen and is then reused: no allocation per frame.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "compat/d3d8/band_workers.h"
#include "compat/d3d8/clipper.h"
#include "compat/d3d8/draw_call.h"
#include "compat/d3d8/formats.h"
#include "compat/d3d8/pixel_routine.h"
#include "compat/d3d8/point_sprites.h"
#include "compat/d3d8/rasterizer.h"
#include "compat/d3d8/rectangle_setup.h"
#include "compat/d3d8/surface.h"
#include "compat/d3d8/triangle_setup.h"
#include "compat/d3d8/vertex_stage.h"

namespace d3d8compat {
namespace {

struct DrawContext {
  const DeviceState* state;
  bool transformed;
  DWORD cullMode;
  bool flat;
  bool specular;                     // the specular colour travels (the general routines read it)
  unsigned wrap[kPipelineSets];      // D3DWRAP_U / D3DWRAP_V bits of the set each stage reads
  ViewportMap map;
  ScissorRect scissor;
  PixelState* pixels;
  SpanFunction span;
  TriangleFunction triangle;         // shades whole triangles where the routine has such a form; else null
  const DrawCall* call;
  UINT first;                        // vertex-stage output k is draw vertex first + k
  PointRules pointRules;
  int bands;                         // how many threads share the draw's rows
};

// Cylindrical wrapping of one coordinate over a triangle: values more than 0.5 below the largest
// move up by 1, so interpolation takes the short way round.
void wrapCoordinate(float* t0, float* t1, float* t2) {
  const float middle = std::max({*t0, *t1, *t2}) - 0.5f;
  if (*t0 < middle) *t0 += 1.0f;
  if (*t1 < middle) *t1 += 1.0f;
  if (*t2 < middle) *t2 += 1.0f;
}

// flatSource: which of the three vertices gives a FLAT-shaded triangle its colour (the first one the
// application submitted for it: for fan triangle k that is vertex k + 1, not the hub).
template <class Vertex>
void adjustTriangle(const DrawContext& draw, Vertex* v, int flatSource) {
  for (int s = 0; s < kPipelineSets; ++s) {
    if (draw.wrap[s] & D3DWRAP_U) wrapCoordinate(&v[0].tex[s][0], &v[1].tex[s][0], &v[2].tex[s][0]);
    if (draw.wrap[s] & D3DWRAP_V) wrapCoordinate(&v[0].tex[s][1], &v[1].tex[s][1], &v[2].tex[s][1]);
  }
  if (draw.flat) {
    for (int i = 0; i < 3; ++i) {
      if (i == flatSource) continue;
      std::memcpy(v[i].color, v[flatSource].color, sizeof v[0].color);
      std::memcpy(v[i].specular, v[flatSource].specular, sizeof v[0].specular);
    }
  }
}

// CULL_CW removes triangles clockwise on screen (area > 0), CULL_CCW counter-clockwise ones.
bool culled(DWORD cullMode, float area) {
  if (cullMode == D3DCULL_CW) return area > 0.0f;
  if (cullMode == D3DCULL_CCW) return area < 0.0f;
  return false;
}

// Shades a set-up triangle (or a sprite's rectangle) in `band`: whole, where the routine has that form.
void shadeSetup(const DrawContext& draw, int band, const TriangleSetup& setup, bool rectangle) {
  if (draw.triangle != nullptr) {
    draw.triangle(draw.pixels, setup, rectangle, band, draw.bands);
  } else if (rectangle) {
    rasterizeRectangle(setup, draw.span, draw.pixels, band, draw.bands);
  } else {
    rasterizeTriangle(setup, draw.span, draw.pixels, band, draw.bands);
  }
}

void fillTriangle(const DrawContext& draw, int band, const ScreenVertex& a, const ScreenVertex& b, const ScreenVertex& c) {
  TriangleSetup setup;
  if (setupTriangle(a, b, c, draw.scissor, &setup, draw.specular)) shadeSetup(draw, band, setup, false);
}

ScreenVertex passThrough(const PipelineVertex& v) {
  ScreenVertex s;
  s.x = v.pos[0], s.y = v.pos[1], s.z = v.pos[2];
  s.rhw = v.pos[3] > 0.0f ? v.pos[3] : 1.0f;  // a zero or negative rhw means nothing; draw it affine
  std::memcpy(s.color, v.color, sizeof s.color);
  std::memcpy(s.specular, v.specular, sizeof s.specular);
  std::memcpy(s.tex, v.tex, sizeof s.tex);
  return s;
}

void drawTriangle(const DrawContext& draw, int band, const PipelineVertex& a, const PipelineVertex& b, const PipelineVertex& c,
                  int flatSource = 0) {
  PipelineVertex v[3] = {a, b, c};
  adjustTriangle(draw, v, flatSource);
  if (draw.transformed) {
    ScreenVertex s[3] = {passThrough(v[0]), passThrough(v[1]), passThrough(v[2])};
    if (culled(draw.cullMode, screenArea(s[0], s[1], s[2]))) return;
    fillTriangle(draw, band, s[0], s[1], s[2]);
    return;
  }
  ScreenVertex polygon[kMaxClippedVertices];
  const int count = clipTriangle(v[0], v[1], v[2], draw.map, polygon, draw.specular);
  if (count < 3) return;
  float area = 0.0f;  // the clipped polygon keeps the triangle's winding
  for (int i = 1; i + 1 < count; ++i) area += screenArea(polygon[0], polygon[i], polygon[i + 1]);
  if (culled(draw.cullMode, area)) return;
  for (int i = 1; i + 1 < count; ++i) fillTriangle(draw, band, polygon[0], polygon[i], polygon[i + 1]);
}

void drawPoint(const DrawContext& draw, int band, const PipelineVertex& v) {
  ScreenVertex corners[4];
  if (!expandPoint(v, draw.pointRules, draw.map, draw.state->viewport, corners)) return;
  TriangleSetup setup;
  if (setupRectangle(corners, draw.scissor, &setup)) shadeSetup(draw, band, setup, true);
}

UINT indexAt(const DrawCall& call, UINT i) {
  if (call.indices == nullptr) return i;
  return loadPixel(static_cast<const BYTE*>(call.indices) + static_cast<size_t>(i) * call.indexSize, call.indexSize);
}

std::vector<PipelineVertex> g_vertices;  // vertex stage output, reused from draw to draw
PixelState g_pixels;

void drawBand(void* context, int band) {
  const DrawContext& draw = *static_cast<const DrawContext*>(context);
  const DrawCall& call = *draw.call;
  auto vertex = [&](UINT i) -> const PipelineVertex& { return g_vertices[indexAt(call, i) - draw.first]; };

  switch (call.type) {
    case D3DPT_TRIANGLELIST:
      for (UINT p = 0; p < call.primitiveCount; ++p) drawTriangle(draw, band, vertex(3 * p), vertex(3 * p + 1), vertex(3 * p + 2));
      break;
    case D3DPT_TRIANGLESTRIP:  // every second triangle swaps its first two vertices to keep the winding
      for (UINT p = 0; p < call.primitiveCount; ++p) {
        if (p % 2 == 0) drawTriangle(draw, band, vertex(p), vertex(p + 1), vertex(p + 2));
        else drawTriangle(draw, band, vertex(p + 1), vertex(p), vertex(p + 2), 1);
      }
      break;
    case D3DPT_TRIANGLEFAN:
      for (UINT p = 0; p < call.primitiveCount; ++p) drawTriangle(draw, band, vertex(0), vertex(p + 1), vertex(p + 2), 1);
      break;
    case D3DPT_POINTLIST:
      for (UINT p = 0; p < call.primitiveCount; ++p) drawPoint(draw, band, vertex(p));
      break;
    default:
      break;  // lines: not used by the program, not drawn
  }
}

// How many bands a draw's pixels are worth: one per 8 192 pixels of the screen box of its vertices
// (points widened by the largest sprite) against the scissor, so that each band pays for its share of
// the set-up and for waking a thread, and no more than the box has stripes of rows or rasterThreads()
// allows. A vertex at or behind the eye plane makes the box unbounded. Only speed depends on this.
int bandsFor(const DrawContext& draw, UINT count) {
  constexpr float kPixelsPerBand = 8192.0f;
  const int threads = rasterThreads();
  if (threads == 1) return 1;
  float minX = INFINITY, minY = INFINITY, maxX = -INFINITY, maxY = -INFINITY;
  bool unbounded = false;
  for (UINT k = 0; k < count; ++k) {
    const PipelineVertex& v = g_vertices[k];
    float x = v.pos[0], y = v.pos[1];
    if (!draw.transformed) {
      if (!(v.pos[3] > 0.0f)) {
        unbounded = true;
        break;
      }
      const ScreenVertex s = toScreen(v, draw.map);
      x = s.x, y = s.y;
    }
    minX = std::min(minX, x), maxX = std::max(maxX, x), minY = std::min(minY, y), maxY = std::max(maxY, y);
  }
  if (unbounded) minX = minY = -INFINITY, maxX = maxY = INFINITY;
  if (draw.call->type == D3DPT_POINTLIST) {
    const float half = draw.pointRules.maxSize * 0.5f;
    minX -= half, minY -= half, maxX += half, maxY += half;
  }
  const float width = std::min(maxX, static_cast<float>(draw.scissor.right)) - std::max(minX, static_cast<float>(draw.scissor.left));
  const float height = std::min(maxY, static_cast<float>(draw.scissor.bottom)) - std::max(minY, static_cast<float>(draw.scissor.top));
  if (!(width > 0.0f && height > 0.0f)) return 1;
  const float byPixels = width * height / kPixelsPerBand;
  const float byStripes = height / static_cast<float>(1 << kBandStripeShift) + 1.0f;
  const float bands = std::min({byPixels, byStripes, static_cast<float>(threads)});
  return bands >= 2.0f ? static_cast<int>(bands) : 1;
}

}  // namespace

void rasterizeDraw(const DeviceState& state, const DrawCall& call) {
  DrawContext draw;
  if (!preparePixelState(state, &g_pixels, &draw.span)) return;
  draw.triangle = fixedTriangleRoutine(draw.span);
  const DWORD* rs = state.renderStates;
  draw.state = &state;
  draw.pixels = &g_pixels;
  draw.transformed = call.layout.transformed;
  draw.cullMode = rs[D3DRS_CULLMODE];
  draw.flat = rs[D3DRS_SHADEMODE] == D3DSHADE_FLAT;
  draw.specular = g_pixels.specular;
  for (int s = 0; s < kPipelineSets; ++s) {
    const UINT set = coordinateSet(state, s);
    draw.wrap[s] = set < kStageCount ? rs[D3DRS_WRAP0 + set] & (D3DWRAP_U | D3DWRAP_V) : 0u;
  }
  draw.map = makeViewportMap(state.viewport);
  const Surface& target = *state.renderTarget;
  draw.scissor.left = static_cast<int>(std::min(state.viewport.X, target.width()));
  draw.scissor.top = static_cast<int>(std::min(state.viewport.Y, target.height()));
  draw.scissor.right = static_cast<int>(std::min(state.viewport.X + state.viewport.Width, target.width()));
  draw.scissor.bottom = static_cast<int>(std::min(state.viewport.Y + state.viewport.Height, target.height()));
  if (state.depthStencil != nullptr && g_pixels.depthMode != DepthMode::kOff) {  // never past the depth buffer
    draw.scissor.right = std::min(draw.scissor.right, static_cast<int>(state.depthStencil->width()));
    draw.scissor.bottom = std::min(draw.scissor.bottom, static_cast<int>(state.depthStencil->height()));
  }
  if (draw.scissor.left >= draw.scissor.right || draw.scissor.top >= draw.scissor.bottom) return;

  // Vertex stage over the range the draw can touch.
  const UINT first = call.indices != nullptr ? call.minIndex : 0;
  const UINT count = call.vertexCount - first;
  if (g_vertices.size() < count) g_vertices.resize(count);
  processVertices(state, call.layout, call.vertices, call.stride, first, count, g_vertices.data(), draw.specular);
  draw.call = &call;
  draw.first = first;
  draw.pointRules = makePointRules(state, call.layout.transformed);
  draw.bands = bandsFor(draw, count);
  runBands(drawBand, &draw, draw.bands, rasterThreads());
}

}  // namespace d3d8compat
