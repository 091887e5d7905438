#include "compat/d3d8/viewport.h"

#include <cmath>

#include "compat/d3d8/surface.h"

namespace d3d8compat {

bool viewportFits(const D3DVIEWPORT8& viewport, const Surface* target) {
  if (!std::isfinite(viewport.MinZ) || !std::isfinite(viewport.MaxZ)) return false;
  if (viewport.Width == 0 || viewport.Height == 0) return false;
  if (target == nullptr) return true;
  // 64-bit sums: X + Width must not wrap.
  return uint64_t{viewport.X} + viewport.Width <= target->width() &&
         uint64_t{viewport.Y} + viewport.Height <= target->height();
}

D3DVIEWPORT8 fullViewport(const Surface& target) {
  return D3DVIEWPORT8{0, 0, target.width(), target.height(), 0.0f, 1.0f};
}

}  // namespace d3d8compat
