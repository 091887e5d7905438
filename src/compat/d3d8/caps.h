// The capabilities the software device reports: what its pipeline implements and its tests check
// (fixed-function T&L with eight active directional lights and specular, two blend stages, eight
// coordinate sets, wrap/clamp addressing, trilinear filtering, point sprites up to 64 pixels, full-screen
// gamma). Only the alpha-test comparisons vary with the adapter.
#pragma once

#include "compat/d3d8/d3d8_caps.h"

namespace d3d8compat {

D3DCAPS8 softwareDeviceCaps(bool alphaGreaterEqual);

}  // namespace d3d8compat
