// Vertex stage of the software pipeline: reads vertices of a draw through their FVF layout and makes
// PipelineVertex records. Untransformed vertices go through world * view * projection, fixed-function
// lighting (directional lights only; point and spot lights are not evaluated) and the point-size rule;
// pre-transformed (RHW) vertices pass straight through. Neither clipping nor the viewport happen here.
#pragma once

#include "compat/d3d8/device_state.h"
#include "compat/d3d8/fvf.h"
#include "compat/d3d8/pipeline_types.h"

namespace d3d8compat {

// Transforms, lights and sizes vertices first .. first + count - 1 (each at vertices + v * stride) into
// out[0 .. count - 1].
void processVertices(const DeviceState& state, const FvfLayout& layout, const BYTE* vertices, UINT stride,
                     UINT first, UINT count, PipelineVertex* out);

// Row-vector matrix product a * b.
D3DMATRIX multiply(const D3DMATRIX& a, const D3DMATRIX& b);

}  // namespace d3d8compat
