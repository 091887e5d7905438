// The hand-over from the device to the rasterizer: one plain record per validated draw call. The device
// has checked everything here (vertex format known, buffers bound and unlocked, every vertex and index
// inside its buffer, every index inside [minIndex, minIndex + numVertices)), so the rasterizer reads
// without further checks. rasterizeDraw draws it with the device state as it is at the call.
#pragma once

#include "compat/d3d8/d3d8_types.h"
#include "compat/d3d8/device_state.h"
#include "compat/d3d8/fvf.h"

namespace d3d8compat {

struct DrawCall {
  D3DPRIMITIVETYPE type;
  UINT primitiveCount;      // at least 1
  FvfLayout layout;         // the vertex format (DeviceState::fvf decoded)
  UINT stride;              // bytes from one vertex to the next, >= layout.size
  // Vertex v of the draw is at vertices + v * stride. Non-indexed: v = 0 .. vertexCount - 1 in order
  // (vertices already points at the start vertex). Indexed: v = index, and vertices already includes
  // the base vertex index.
  const BYTE* vertices;
  UINT vertexCount;         // non-indexed: vertices used; indexed: minIndex + numVertices
  // Indexed draws only (indices null otherwise): indexCount indices of indexSize (2 or 4) bytes,
  // starting with the draw's first one.
  const void* indices;
  UINT indexSize;
  UINT indexCount;
  UINT minIndex;
};

// Vertices (or indices) that `count` primitives of `type` use: 3n lists, n+2 strips and fans, ...
UINT verticesForPrimitives(D3DPRIMITIVETYPE type, UINT count);

// Draws one call into state.renderTarget (and state.depthStencil). Implemented by the rasterizer.
void rasterizeDraw(const DeviceState& state, const DrawCall& call);

// Test hook: called with every validated draw, just before rasterizeDraw. Null (the default) for none.
using DrawObserver = void (*)(const DeviceState& state, const DrawCall& call, void* context);
void setDrawObserver(DrawObserver observer, void* context);

}  // namespace d3d8compat
