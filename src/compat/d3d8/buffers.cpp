#include "compat/d3d8/buffers.h"

namespace d3d8compat {
namespace {

// Largest buffer accepted: far above anything the presentation makes, low enough to fail cleanly.
constexpr UINT kMaxBufferLength = 64u << 20;

constexpr DWORD kBufferUsage = D3DUSAGE_WRITEONLY | D3DUSAGE_SOFTWAREPROCESSING | D3DUSAGE_DONOTCLIP |
                               D3DUSAGE_POINTS | D3DUSAGE_RTPATCHES | D3DUSAGE_NPATCHES | D3DUSAGE_DYNAMIC;

bool validBuffer(UINT length, DWORD usage, D3DPOOL pool) {
  if (length == 0 || length > kMaxBufferLength) return false;
  if ((usage & ~kBufferUsage) != 0) return false;
  return pool == D3DPOOL_DEFAULT || pool == D3DPOOL_MANAGED || pool == D3DPOOL_SYSTEMMEM;
}

}  // namespace

HRESULT VertexBuffer::create(IDirect3DDevice8* device, UINT length, DWORD usage, DWORD fvf, D3DPOOL pool,
                             VertexBuffer** buffer) {
  if (buffer == nullptr) return D3DERR_INVALIDCALL;
  *buffer = validBuffer(length, usage, pool) ? new VertexBuffer(device, length, usage, fvf, pool) : nullptr;
  return *buffer != nullptr ? D3D_OK : D3DERR_INVALIDCALL;
}

HRESULT VertexBuffer::GetDesc(D3DVERTEXBUFFER_DESC* desc) {
  if (desc == nullptr) return D3DERR_INVALIDCALL;
  describe(desc, D3DFMT_VERTEXDATA, D3DRTYPE_VERTEXBUFFER);
  desc->FVF = fvf_;
  return D3D_OK;
}

HRESULT IndexBuffer::create(IDirect3DDevice8* device, UINT length, DWORD usage, D3DFORMAT format, D3DPOOL pool,
                            IndexBuffer** buffer) {
  if (buffer == nullptr) return D3DERR_INVALIDCALL;
  const bool valid = validBuffer(length, usage, pool) && (format == D3DFMT_INDEX16 || format == D3DFMT_INDEX32);
  *buffer = valid ? new IndexBuffer(device, length, usage, format, pool) : nullptr;
  return *buffer != nullptr ? D3D_OK : D3DERR_INVALIDCALL;
}

HRESULT IndexBuffer::GetDesc(D3DINDEXBUFFER_DESC* desc) {
  if (desc == nullptr) return D3DERR_INVALIDCALL;
  describe(desc, format_, D3DRTYPE_INDEXBUFFER);
  return D3D_OK;
}

}  // namespace d3d8compat
