// Draw-call validation: the primitive type and count, the vertex format, the bound buffers (present,
// unlocked, large enough for every vertex and index the call reads) and, for indexed draws, every index
// against [minIndex, minIndex + numVertices). A call that passes becomes a DrawCall for the rasterizer.
// Zero-primitive draws succeed and draw nothing; DrawPrimitiveUP leaves stream 0 unset afterwards.
#include <cstring>

#include "compat/d3d8/buffers.h"
#include "compat/d3d8/device.h"
#include "compat/d3d8/draw_call.h"

namespace d3d8compat {
namespace {

DrawObserver g_drawObserver = nullptr;
void* g_drawObserverContext = nullptr;

// Whether vertices first .. first + count - 1 (count >= 1) of `stride` bytes, each `size` bytes long,
// lie inside a buffer of `length` bytes.
bool verticesFit(uint64_t first, uint64_t count, uint64_t stride, uint64_t size, uint64_t length) {
  return (first + count - 1) * stride + size <= length;
}

template <class Index>
bool indicesInRange(const BYTE* bytes, UINT count, UINT lowest, UINT end) {
  for (UINT i = 0; i < count; ++i) {
    Index index;
    std::memcpy(&index, bytes + static_cast<size_t>(i) * sizeof(Index), sizeof(Index));
    if (index < lowest || index >= end) return false;
  }
  return true;
}

}  // namespace

UINT verticesForPrimitives(D3DPRIMITIVETYPE type, UINT count) {
  switch (type) {
    case D3DPT_POINTLIST:
      return count;
    case D3DPT_LINELIST:
      return 2 * count;
    case D3DPT_LINESTRIP:
      return count + 1;
    case D3DPT_TRIANGLELIST:
      return 3 * count;
    case D3DPT_TRIANGLESTRIP:
    case D3DPT_TRIANGLEFAN:
      return count + 2;
    default:
      return 0;
  }
}

void setDrawObserver(DrawObserver observer, void* context) {
  g_drawObserver = observer;
  g_drawObserverContext = context;
}

HRESULT Device::beginDraw(D3DPRIMITIVETYPE type, UINT primitiveCount, DrawCall* call) const {
  if (type < D3DPT_POINTLIST || type > D3DPT_TRIANGLEFAN) return D3DERR_INVALIDCALL;
  if (primitiveCount == 0) return D3D_OK;
  if (primitiveCount > kMaxPrimitiveCount) return D3DERR_INVALIDCALL;
  if (!decodeFvf(state_.fvf, &call->layout)) return D3DERR_INVALIDCALL;
  call->type = type;
  call->primitiveCount = primitiveCount;
  return D3D_OK;
}

void Device::submit(const DrawCall& call) {
  if (g_drawObserver != nullptr) g_drawObserver(state_, call, g_drawObserverContext);
  rasterizeDraw(state_, call);
}

HRESULT Device::DrawPrimitive(D3DPRIMITIVETYPE primitiveType, UINT startVertex, UINT primitiveCount) {
  DrawCall call{};
  const HRESULT hr = beginDraw(primitiveType, primitiveCount, &call);
  if (hr != D3D_OK || primitiveCount == 0) return hr;
  const VertexBuffer* stream = state_.streamSource;
  const UINT stride = state_.streamStride;
  if (stream == nullptr || stream->locked() || stride < call.layout.size) return D3DERR_INVALIDCALL;
  const UINT count = verticesForPrimitives(primitiveType, primitiveCount);
  if (!verticesFit(startVertex, count, stride, call.layout.size, stream->length())) return D3DERR_INVALIDCALL;
  call.stride = stride;
  call.vertices = stream->data() + static_cast<size_t>(startVertex) * stride;
  call.vertexCount = count;
  submit(call);
  return D3D_OK;
}

HRESULT Device::DrawIndexedPrimitive(D3DPRIMITIVETYPE primitiveType, UINT minIndex, UINT numVertices,
                                     UINT startIndex, UINT primitiveCount) {
  DrawCall call{};
  const HRESULT hr = beginDraw(primitiveType, primitiveCount, &call);
  if (hr != D3D_OK || primitiveCount == 0) return hr;
  const VertexBuffer* stream = state_.streamSource;
  const IndexBuffer* indices = state_.indices;
  const UINT stride = state_.streamStride;
  if (stream == nullptr || stream->locked() || stride < call.layout.size) return D3DERR_INVALIDCALL;
  if (indices == nullptr || indices->locked() || numVertices == 0) return D3DERR_INVALIDCALL;
  const UINT indexCount = verticesForPrimitives(primitiveType, primitiveCount);
  if (uint64_t{startIndex} + indexCount > indices->indexCount()) return D3DERR_INVALIDCALL;
  const uint64_t base = state_.baseVertexIndex;
  if (!verticesFit(base + minIndex, numVertices, stride, call.layout.size, stream->length())) {
    return D3DERR_INVALIDCALL;
  }
  const BYTE* first = indices->data() + static_cast<size_t>(startIndex) * indices->indexSize();
  const UINT end = minIndex + numVertices;  // cannot wrap: the range fits in the buffer
  const bool inRange = indices->indexSize() == 2 ? indicesInRange<uint16_t>(first, indexCount, minIndex, end)
                                                 : indicesInRange<uint32_t>(first, indexCount, minIndex, end);
  if (!inRange) return D3DERR_INVALIDCALL;
  call.stride = stride;
  call.vertices = stream->data() + static_cast<size_t>(base) * stride;
  call.vertexCount = end;
  call.indices = first;
  call.indexSize = indices->indexSize();
  call.indexCount = indexCount;
  call.minIndex = minIndex;
  submit(call);
  return D3D_OK;
}

HRESULT Device::DrawPrimitiveUP(D3DPRIMITIVETYPE primitiveType, UINT primitiveCount,
                                const void* vertexStreamZeroData, UINT vertexStreamZeroStride) {
  DrawCall call{};
  const HRESULT hr = beginDraw(primitiveType, primitiveCount, &call);
  if (hr != D3D_OK) return hr;
  if (primitiveCount != 0) {
    if (vertexStreamZeroData == nullptr || vertexStreamZeroStride < call.layout.size) return D3DERR_INVALIDCALL;
    call.stride = vertexStreamZeroStride;
    call.vertices = static_cast<const BYTE*>(vertexStreamZeroData);
    call.vertexCount = verticesForPrimitives(primitiveType, primitiveCount);
    submit(call);
  }
  assignRef(state_.streamSource, static_cast<VertexBuffer*>(nullptr));
  state_.streamStride = 0;
  return D3D_OK;
}

}  // namespace d3d8compat
