// Placeholder for the rasterizer: validated draws arrive here and nothing is drawn yet. The rasterizer
// replaces this file with its own implementation of rasterizeDraw.
#include "compat/d3d8/draw_call.h"

namespace d3d8compat {

void rasterizeDraw(const DeviceState&, const DrawCall&) {}

}  // namespace d3d8compat
