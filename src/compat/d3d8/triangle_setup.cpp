#include "compat/d3d8/triangle_setup.h"

#include <algorithm>
#include <cmath>

namespace d3d8compat {
namespace {

// Coordinates beyond this many pixels are refused: snapped to 1/256 they stay below 2^29, so edge
// function products stay below 2^61. The clipper's guard band keeps projected geometry far inside it;
// only pre-transformed input can come near.
constexpr float kSetupLimit = 2097152.0f;

int64_t snap(float coordinate) { return std::llround(static_cast<double>(coordinate) * (1 << kSubPixelBits)); }

// Edge a -> b of a clockwise triangle (screen y down): inside is E > 0, with
// E(p) = (bx - ax)(py - ay) - (by - ay)(px - ax), p a pixel centre (X, Y) = (X << 8, Y << 8) in fixed point.
// Points exactly on the edge belong to the triangle only for a left edge (dy < 0) or a top edge
// (dy == 0, dx > 0); for the others 1 is taken off c so that "inside" becomes E >= 0 in both cases.
EdgeFunction makeEdge(int64_t ax, int64_t ay, int64_t bx, int64_t by) {
  const int64_t dx = bx - ax, dy = by - ay;
  EdgeFunction e;
  e.a = -dy * (int64_t{1} << kSubPixelBits);
  e.b = dx * (int64_t{1} << kSubPixelBits);
  e.c = -dx * ay + dy * ax;
  const bool topLeft = dy < 0 || (dy == 0 && dx > 0);
  if (!topLeft) e.c -= 1;
  return e;
}

// The plane of one attribute through three vertices (positions relative to vertex 0, doubles).
struct PlaneSolver {
  double x0, y0, dx1, dy1, dx2, dy2, inverseArea;
  void solve(float a0, float a1, float a2, float refX, float refY, float* at, float* ddx, float* ddy) const {
    const double da1 = static_cast<double>(a1) - a0, da2 = static_cast<double>(a2) - a0;
    const double gx = (da1 * dy2 - da2 * dy1) * inverseArea;
    const double gy = (da2 * dx1 - da1 * dx2) * inverseArea;
    *at = static_cast<float>(a0 + gx * (refX - x0) + gy * (refY - y0));
    *ddx = static_cast<float>(gx);
    *ddy = static_cast<float>(gy);
  }
};

}  // namespace

float screenArea(const ScreenVertex& a, const ScreenVertex& b, const ScreenVertex& c) {
  return (b.x - a.x) * (c.y - a.y) - (c.x - a.x) * (b.y - a.y);
}

bool setupTriangle(const ScreenVertex& a, const ScreenVertex& b, const ScreenVertex& c,
                   const ScissorRect& scissor, TriangleSetup* setup, bool specular) {
  const ScreenVertex* v[3] = {&a, &b, &c};
  for (const ScreenVertex* p : v) {  // also rejects NaN
    if (!(std::fabs(p->x) < kSetupLimit && std::fabs(p->y) < kSetupLimit)) return false;
  }
  int64_t fx[3], fy[3];
  for (int i = 0; i < 3; ++i) fx[i] = snap(v[i]->x), fy[i] = snap(v[i]->y);
  const int64_t area = (fx[1] - fx[0]) * (fy[2] - fy[0]) - (fx[2] - fx[0]) * (fy[1] - fy[0]);
  if (area == 0) return false;
  if (area < 0) {  // make it clockwise
    std::swap(v[1], v[2]);
    std::swap(fx[1], fx[2]);
    std::swap(fy[1], fy[2]);
  }
  for (int i = 0; i < 3; ++i) setup->edges[i] = makeEdge(fx[i], fy[i], fx[(i + 1) % 3], fy[(i + 1) % 3]);

  // Bounding box of pixel centres: ceil of the minimum, floor of the maximum, then the scissor.
  constexpr int64_t one = int64_t{1} << kSubPixelBits;
  auto ceilDiv = [](int64_t v) { return v >= 0 ? (v + one - 1) / one : -((-v) / one); };
  auto floorDiv = [](int64_t v) { return v >= 0 ? v / one : -((-v + one - 1) / one); };
  const int64_t minX = std::max<int64_t>(ceilDiv(std::min({fx[0], fx[1], fx[2]})), scissor.left);
  const int64_t maxX = std::min<int64_t>(floorDiv(std::max({fx[0], fx[1], fx[2]})), scissor.right - 1);
  const int64_t minY = std::max<int64_t>(ceilDiv(std::min({fy[0], fy[1], fy[2]})), scissor.top);
  const int64_t maxY = std::min<int64_t>(floorDiv(std::max({fy[0], fy[1], fy[2]})), scissor.bottom - 1);
  if (minX > maxX || minY > maxY) return false;
  setup->minX = static_cast<int>(minX), setup->maxX = static_cast<int>(maxX);
  setup->minY = static_cast<int>(minY), setup->maxY = static_cast<int>(maxY);

  // Attribute planes from the snapped positions, so they agree with the coverage.
  PlaneSolver solver;
  solver.x0 = static_cast<double>(fx[0]) / one, solver.y0 = static_cast<double>(fy[0]) / one;
  solver.dx1 = static_cast<double>(fx[1] - fx[0]) / one, solver.dy1 = static_cast<double>(fy[1] - fy[0]) / one;
  solver.dx2 = static_cast<double>(fx[2] - fx[0]) / one, solver.dy2 = static_cast<double>(fy[2] - fy[0]) / one;
  solver.inverseArea = 1.0 / (solver.dx1 * solver.dy2 - solver.dx2 * solver.dy1);
  const float refX = static_cast<float>(minX), refY = static_cast<float>(minY);
  setup->x0 = refX, setup->y0 = refY;

  solver.solve(v[0]->z, v[1]->z, v[2]->z, refX, refY, &setup->z, &setup->zDx, &setup->zDy);
  solver.solve(v[0]->rhw, v[1]->rhw, v[2]->rhw, refX, refY, &setup->rhw, &setup->rhwDx, &setup->rhwDy);
  for (int k = 0; k < 4; ++k) {
    solver.solve(v[0]->color[k] * v[0]->rhw, v[1]->color[k] * v[1]->rhw, v[2]->color[k] * v[2]->rhw, refX, refY,
                 &setup->color[k], &setup->colorDx[k], &setup->colorDy[k]);
    const int set = k / 2, coordinate = k % 2;
    solver.solve(v[0]->tex[set][coordinate] * v[0]->rhw, v[1]->tex[set][coordinate] * v[1]->rhw,
                 v[2]->tex[set][coordinate] * v[2]->rhw, refX, refY, &setup->tex[k], &setup->texDx[k],
                 &setup->texDy[k]);
  }
  if (!specular) return true;
  for (int k = 0; k < 4; ++k) {
    solver.solve(v[0]->specular[k] * v[0]->rhw, v[1]->specular[k] * v[1]->rhw, v[2]->specular[k] * v[2]->rhw, refX,
                 refY, &setup->specular[k], &setup->specularDx[k], &setup->specularDy[k]);
  }
  return true;
}

}  // namespace d3d8compat
