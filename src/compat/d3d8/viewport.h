// Viewport rules shared by SetViewport, SetRenderTarget and state blocks: a viewport has a non-empty
// area inside its render target. MinZ and MaxZ only map depth: any finite values, in either order, are
// accepted (as native Direct3D 8 does), and depth is clamped to 0..1 as it is tested and written.
#pragma once

#include "compat/d3d8/d3d8_types.h"

namespace d3d8compat {

class Surface;

// True when `viewport` lies inside `target` (any viewport fits when there is no target).
bool viewportFits(const D3DVIEWPORT8& viewport, const Surface* target);

// The whole of a target: {0, 0, width, height, 0, 1}.
D3DVIEWPORT8 fullViewport(const Surface& target);

}  // namespace d3d8compat
