#include "compat/d3d8/surface.h"

#include "compat/d3d8/formats.h"
#include "compat/d3d8/limits.h"

namespace d3d8compat {

Surface* Surface::create(UINT width, UINT height, D3DFORMAT format, DWORD usage, D3DPOOL pool,
                         IUnknown* container) {
  if (width == 0 || height == 0 || width > kMaxSurfaceSize || height > kMaxSurfaceSize) return nullptr;
  if (d3d8compat::bytesPerPixel(format) == 0) return nullptr;
  return new Surface(width, height, format, usage, pool, container);
}

Surface::Surface(UINT width, UINT height, D3DFORMAT format, DWORD usage, D3DPOOL pool, IUnknown* container)
    : width_(width),
      height_(height),
      format_(format),
      usage_(usage),
      pool_(pool),
      bytesPerPixel_(d3d8compat::bytesPerPixel(format)),
      container_(container),
      pixels_(static_cast<size_t>(width) * height * bytesPerPixel_) {}

// A texture level lives exactly as long as its texture: counting goes to the container.
ULONG Surface::AddRef() { return container_ != nullptr ? container_->AddRef() : ComObject::AddRef(); }
ULONG Surface::Release() { return container_ != nullptr ? container_->Release() : ComObject::Release(); }

HRESULT Surface::GetDesc(D3DSURFACE_DESC* desc) {
  if (desc == nullptr) return D3DERR_INVALIDCALL;
  desc->Format = format_;
  desc->Type = D3DRTYPE_SURFACE;
  desc->Usage = usage_;
  desc->Pool = pool_;
  desc->Size = static_cast<UINT>(pixels_.size());
  desc->MultiSampleType = D3DMULTISAMPLE_NONE;
  desc->Width = width_;
  desc->Height = height_;
  return D3D_OK;
}

bool Surface::lockable() const {
  if (usage_ & (D3DUSAGE_RENDERTARGET | D3DUSAGE_DEPTHSTENCIL)) return false;
  return pool_ != D3DPOOL_DEFAULT || (usage_ & D3DUSAGE_DYNAMIC) != 0;
}

HRESULT Surface::LockRect(D3DLOCKED_RECT* lockedRect, const RECT* rect, DWORD) {
  if (lockedRect == nullptr || locked_ || !lockable()) return D3DERR_INVALIDCALL;
  LONG left = 0, top = 0;
  if (rect != nullptr) {
    if (rect->left < 0 || rect->top < 0 || rect->left >= rect->right || rect->top >= rect->bottom ||
        static_cast<UINT>(rect->right) > width_ || static_cast<UINT>(rect->bottom) > height_) {
      return D3DERR_INVALIDCALL;
    }
    left = rect->left;
    top = rect->top;
  }
  lockedRect->Pitch = static_cast<INT>(pitch());
  lockedRect->pBits = row(static_cast<UINT>(top)) + static_cast<size_t>(left) * bytesPerPixel_;
  locked_ = true;
  return D3D_OK;
}

HRESULT Surface::UnlockRect() {
  if (!locked_) return D3DERR_INVALIDCALL;
  locked_ = false;
  return D3D_OK;
}

}  // namespace d3d8compat
