// Vertex stage of the software pipeline: reads vertices of a draw through their FVF layout and makes
// PipelineVertex records. Untransformed vertices go through world * view * projection, fixed-function
// lighting (directional lights only, diffuse and specular; point and spot lights are not evaluated, and
// at most MaxActiveLights enabled lights, the lowest indices, light a vertex), each stage's texture
// transform (COUNT1..4; D3DTTFF_PROJECTED is not reported and reads as its count) and the point-size
// rule; pre-transformed (RHW) vertices pass straight through, coordinates untransformed. Each stage's
// coordinates come from the set its TEXCOORDINDEX names. Neither clipping nor the viewport happen here.
#pragma once

#include "compat/d3d8/device_state.h"
#include "compat/d3d8/fvf.h"
#include "compat/d3d8/pipeline_types.h"

namespace d3d8compat {

// Transforms, lights and sizes vertices first .. first + count - 1 (each at vertices + v * stride) into
// out[0 .. count - 1]. The specular colour is worked out only when `specular` is set (zero otherwise).
void processVertices(const DeviceState& state, const FvfLayout& layout, const BYTE* vertices, UINT stride,
                     UINT first, UINT count, PipelineVertex* out, bool specular = false);

// The texture coordinate set stage `stage` reads (TEXCOORDINDEX without its generation flags).
inline UINT coordinateSet(const DeviceState& state, int stage) {
  return state.stageStates[stage][D3DTSS_TEXCOORDINDEX] & 0xFFFFu;
}

// Row-vector matrix product a * b.
D3DMATRIX multiply(const D3DMATRIX& a, const D3DMATRIX& b);

}  // namespace d3d8compat
