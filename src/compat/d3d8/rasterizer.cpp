#include "compat/d3d8/rasterizer.h"

#include <algorithm>

namespace d3d8compat {
namespace {

int64_t floorDivide(int64_t n, int64_t d) {  // d > 0
  const int64_t q = n / d;
  return (n % d != 0 && n < 0) ? q - 1 : q;
}

}  // namespace

void coveredSpan(const TriangleSetup& setup, int y, int* xBegin, int* xEnd) {
  int64_t lo = setup.minX, hi = setup.maxX;  // inclusive
  for (const EdgeFunction& e : setup.edges) {
    // a * x + k >= 0 with k the row's part.
    const int64_t k = e.b * y + e.c;
    if (e.a > 0) {
      lo = std::max(lo, -floorDivide(k, e.a));  // x >= ceil(-k / a) = -floor(k / a)
    } else if (e.a < 0) {
      hi = std::min(hi, floorDivide(k, -e.a));  // x <= floor(k / -a)
    } else if (k < 0) {
      hi = lo - 1;
    }
  }
  *xBegin = static_cast<int>(lo);
  *xEnd = static_cast<int>(std::max(hi + 1, lo));
}

void rasterizeTriangle(const TriangleSetup& setup, SpanFunction span, const void* context, int band, int bands) {
  forEachSpan(setup, false, band, bands, [&](int y, int xBegin, int xEnd) { span(context, setup, y, xBegin, xEnd); });
}

void rasterizeRectangle(const TriangleSetup& setup, SpanFunction span, const void* context, int band, int bands) {
  forEachSpan(setup, true, band, bands, [&](int y, int xBegin, int xEnd) { span(context, setup, y, xBegin, xEnd); });
}

}  // namespace d3d8compat
