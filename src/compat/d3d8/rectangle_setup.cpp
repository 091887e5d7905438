#include "compat/d3d8/rectangle_setup.h"

#include <algorithm>
#include <cmath>

namespace d3d8compat {
namespace {

constexpr float kSetupLimit = 2097152.0f;  // as the triangle set-up refuses
constexpr int64_t kOne = int64_t{1} << kSubPixelBits;

int64_t snap(float coordinate) { return std::llround(static_cast<double>(coordinate) * kOne); }
int64_t ceilDiv(int64_t v) { return v >= 0 ? (v + kOne - 1) / kOne : -((-v) / kOne); }
int64_t floorDiv(int64_t v) { return v >= 0 ? v / kOne : -((-v + kOne - 1) / kOne); }

// The plane the triangle set-up solves through top-left (a0), top-right (a1) and bottom-right (a2) of a
// width x height rectangle, with the same double operations in the same order: edge vectors (w, 0) and
// (w, h), inverse area 1 / (w h - w 0).
struct RectanglePlanes {
  double x0, y0, width, height, inverseArea;
  void solve(float a0, float a1, float a2, float refX, float refY, float* at, float* ddx, float* ddy) const {
    const double da1 = static_cast<double>(a1) - a0, da2 = static_cast<double>(a2) - a0;
    const double gx = (da1 * height - da2 * 0.0) * inverseArea;
    const double gy = (da2 * width - da1 * width) * inverseArea;
    *at = static_cast<float>(a0 + gx * (refX - x0) + gy * (refY - y0));
    *ddx = static_cast<float>(gx);
    *ddy = static_cast<float>(gy);
  }
};

}  // namespace

bool setupRectangle(const ScreenVertex corners[4], const ScissorRect& scissor, TriangleSetup* setup) {
  const ScreenVertex &topLeft = corners[0], &topRight = corners[1], &bottomRight = corners[2];
  if (!(std::fabs(topLeft.x) < kSetupLimit && std::fabs(topLeft.y) < kSetupLimit &&
        std::fabs(bottomRight.x) < kSetupLimit && std::fabs(bottomRight.y) < kSetupLimit)) {
    return false;
  }
  const int64_t left = snap(topLeft.x), top = snap(topLeft.y), right = snap(bottomRight.x), bottom = snap(bottomRight.y);
  if (right <= left || bottom <= top) return false;
  // Centres X with left <= X < right (in 1/256 units), likewise Y.
  const int64_t minX = std::max<int64_t>(ceilDiv(left), scissor.left);
  const int64_t maxX = std::min<int64_t>(floorDiv(right - 1), scissor.right - 1);
  const int64_t minY = std::max<int64_t>(ceilDiv(top), scissor.top);
  const int64_t maxY = std::min<int64_t>(floorDiv(bottom - 1), scissor.bottom - 1);
  if (minX > maxX || minY > maxY) return false;
  setup->minX = static_cast<int>(minX), setup->maxX = static_cast<int>(maxX);
  setup->minY = static_cast<int>(minY), setup->maxY = static_cast<int>(maxY);
  for (EdgeFunction& e : setup->edges) e = EdgeFunction{0, 0, 0};

  // The triangle set-up's reference point is its box's corner, which for either half of the sprite is
  // ceil of the rectangle's top-left, clamped by the scissor: the same as here.
  RectanglePlanes planes;
  planes.x0 = static_cast<double>(left) / kOne, planes.y0 = static_cast<double>(top) / kOne;
  planes.width = static_cast<double>(right - left) / kOne, planes.height = static_cast<double>(bottom - top) / kOne;
  planes.inverseArea = 1.0 / (planes.width * planes.height - planes.width * 0.0);
  const float refX = static_cast<float>(minX), refY = static_cast<float>(minY);
  setup->x0 = refX, setup->y0 = refY;
  const ScreenVertex* v[3] = {&topLeft, &topRight, &bottomRight};
  planes.solve(v[0]->z, v[1]->z, v[2]->z, refX, refY, &setup->z, &setup->zDx, &setup->zDy);
  planes.solve(v[0]->rhw, v[1]->rhw, v[2]->rhw, refX, refY, &setup->rhw, &setup->rhwDx, &setup->rhwDy);
  for (int k = 0; k < 4; ++k) {
    planes.solve(v[0]->color[k] * v[0]->rhw, v[1]->color[k] * v[1]->rhw, v[2]->color[k] * v[2]->rhw, refX, refY,
                 &setup->color[k], &setup->colorDx[k], &setup->colorDy[k]);
    const int set = k / 2, coordinate = k % 2;
    planes.solve(v[0]->tex[set][coordinate] * v[0]->rhw, v[1]->tex[set][coordinate] * v[1]->rhw,
                 v[2]->tex[set][coordinate] * v[2]->rhw, refX, refY, &setup->tex[k], &setup->texDx[k],
                 &setup->texDy[k]);
  }
  return true;
}

}  // namespace d3d8compat
