// Fixed limits of the software Direct3D 8 device: array sizes of the device state and the largest
// resources it accepts. GetDeviceCaps reports the same numbers (caps.cpp).
#pragma once

#include "compat/win32/win32_types.h"

namespace d3d8compat {

constexpr UINT kRenderStateCount = 256;  // every D3DRENDERSTATETYPE value is below this (largest 173)
constexpr UINT kStageStateCount = 32;    // every D3DTEXTURESTAGESTATETYPE value is below this (largest 28)
constexpr UINT kStageCount = 8;          // texture stages and texture coordinate sets
constexpr UINT kMaxLights = 8;           // lights that light a vertex at once (any index may be set)
constexpr UINT kMaxTextureSize = 2048;
constexpr UINT kMaxSurfaceSize = 4096;   // back buffers and depth buffers
constexpr UINT kMaxPrimitiveCount = 0xFFFFF;
constexpr UINT kMaxStreamStride = 256;

}  // namespace d3d8compat
