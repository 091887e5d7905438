// Vertex and index buffers of the software device: plain byte arrays with Direct3D 8 locking. Lock
// with size 0 covers the rest of the buffer from the offset; locks may nest, and draws refuse a buffer
// that is still locked. D3DLOCK_DISCARD hands back the same memory (draws are finished when they
// return, so nothing can still be reading it); it is accepted on any buffer, as retail runtimes do.
#pragma once

#include <vector>

#include "compat/d3d8/com_object.h"
#include "compat/d3d8/d3d8.h"

namespace d3d8compat {

// The storage, lock bookkeeping and description fields both buffer kinds share.
template <class Interface>
class BufferObject : public DeviceChild<Interface> {
 public:
  HRESULT Lock(UINT offsetToLock, UINT sizeToLock, BYTE** data, DWORD) override {
    if (data == nullptr) return D3DERR_INVALIDCALL;
    *data = nullptr;
    if (offsetToLock >= length() || (sizeToLock != 0 && sizeToLock > length() - offsetToLock)) {
      return D3DERR_INVALIDCALL;
    }
    *data = bytes_.data() + offsetToLock;
    ++lockCount_;
    return D3D_OK;
  }
  HRESULT Unlock() override {
    if (lockCount_ == 0) return D3DERR_INVALIDCALL;
    --lockCount_;
    return D3D_OK;
  }

  UINT length() const { return static_cast<UINT>(bytes_.size()); }
  bool locked() const { return lockCount_ > 0; }
  const BYTE* data() const { return bytes_.data(); }

 protected:
  BufferObject(IDirect3DDevice8* device, UINT length, DWORD usage, D3DPOOL pool)
      : DeviceChild<Interface>(device, true), bytes_(length), usage_(usage), pool_(pool) {}

  // Fills the fields D3DVERTEXBUFFER_DESC and D3DINDEXBUFFER_DESC have in common.
  template <class Desc>
  void describe(Desc* desc, D3DFORMAT format, D3DRESOURCETYPE type) const {
    desc->Format = format;
    desc->Type = type;
    desc->Usage = usage_;
    desc->Pool = pool_;
    desc->Size = length();
  }

 private:
  std::vector<BYTE> bytes_;
  UINT lockCount_ = 0;
  DWORD usage_;
  D3DPOOL pool_;
};

class VertexBuffer final : public BufferObject<IDirect3DVertexBuffer8> {
 public:
  static HRESULT create(IDirect3DDevice8* device, UINT length, DWORD usage, DWORD fvf, D3DPOOL pool,
                        VertexBuffer** buffer);
  HRESULT GetDesc(D3DVERTEXBUFFER_DESC* desc) override;

 private:
  VertexBuffer(IDirect3DDevice8* device, UINT length, DWORD usage, DWORD fvf, D3DPOOL pool)
      : BufferObject(device, length, usage, pool), fvf_(fvf) {}

  DWORD fvf_;
};

class IndexBuffer final : public BufferObject<IDirect3DIndexBuffer8> {
 public:
  // format: D3DFMT_INDEX16 or D3DFMT_INDEX32.
  static HRESULT create(IDirect3DDevice8* device, UINT length, DWORD usage, D3DFORMAT format, D3DPOOL pool,
                        IndexBuffer** buffer);
  HRESULT GetDesc(D3DINDEXBUFFER_DESC* desc) override;

  D3DFORMAT format() const { return format_; }
  UINT indexSize() const { return format_ == D3DFMT_INDEX32 ? 4 : 2; }
  UINT indexCount() const { return length() / indexSize(); }

 private:
  IndexBuffer(IDirect3DDevice8* device, UINT length, DWORD usage, D3DFORMAT format, D3DPOOL pool)
      : BufferObject(device, length, usage, pool), format_(format) {}

  D3DFORMAT format_;
};

}  // namespace d3d8compat
