#include "compat/d3d8/surface.h"

#include <cstdint>
#include <cstring>

#include "compat/d3d8/formats.h"
#include "compat/d3d8/limits.h"

namespace d3d8compat {
namespace {

// Lockable by the usage and pool rules: not a render target or depth buffer, not DEFAULT unless DYNAMIC.
bool lockableByPool(DWORD usage, D3DPOOL pool) {
  if (usage & (D3DUSAGE_RENDERTARGET | D3DUSAGE_DEPTHSTENCIL)) return false;
  return pool != D3DPOOL_DEFAULT || (usage & D3DUSAGE_DYNAMIC) != 0;
}

}  // namespace

size_t Surface::levelBytes(UINT width, UINT height, D3DFORMAT format) {
  return static_cast<size_t>(width) * height * d3d8compat::bytesPerPixel(format);
}

Surface* Surface::createOwned(IDirect3DDevice8* device, UINT width, UINT height, D3DFORMAT format, DWORD usage,
                              bool lockable) {
  if (width == 0 || height == 0 || width > kMaxSurfaceSize || height > kMaxSurfaceSize) return nullptr;
  if (d3d8compat::bytesPerPixel(format) == 0) return nullptr;
  Surface* surface = new Surface(device, width, height, format, usage, D3DPOOL_DEFAULT, nullptr);
  surface->owned_.resize(levelBytes(width, height, format));
  surface->pixels_ = surface->owned_.data();
  surface->lockable_ = lockable;
  surface->startBound();
  return surface;
}

Surface* Surface::createLevel(ComObject<IDirect3DTexture8>* container, IDirect3DDevice8* device, UINT width,
                              UINT height, D3DFORMAT format, DWORD usage, D3DPOOL pool, BYTE* pixels) {
  Surface* surface = new Surface(device, width, height, format, usage, pool, container);
  surface->pixels_ = pixels;
  surface->lockable_ = lockableByPool(usage, pool);
  return surface;
}

Surface::Surface(IDirect3DDevice8* device, UINT width, UINT height, D3DFORMAT format, DWORD usage, D3DPOOL pool,
                 ComObject<IDirect3DTexture8>* container)
    : DeviceChild(device, false),
      width_(width),
      height_(height),
      format_(format),
      usage_(usage),
      pool_(pool),
      bytesPerPixel_(d3d8compat::bytesPerPixel(format)),
      container_(container) {}

// A texture level lives exactly as long as its texture: counting goes to the container.
ULONG Surface::AddRef() { return container_ != nullptr ? container_->AddRef() : DeviceChild::AddRef(); }
ULONG Surface::Release() { return container_ != nullptr ? container_->Release() : DeviceChild::Release(); }
void Surface::bind() {
  if (container_ != nullptr) {
    container_->bind();
  } else {
    DeviceChild::bind();
  }
}
void Surface::unbind() {
  if (container_ != nullptr) {
    container_->unbind();
  } else {
    DeviceChild::unbind();
  }
}

HRESULT Surface::GetDesc(D3DSURFACE_DESC* desc) {
  if (desc == nullptr) return D3DERR_INVALIDCALL;
  desc->Format = format_;
  desc->Type = D3DRTYPE_SURFACE;
  desc->Usage = usage_;
  desc->Pool = pool_;
  desc->Size = static_cast<UINT>(levelBytes(width_, height_, format_));
  desc->MultiSampleType = D3DMULTISAMPLE_NONE;
  desc->Width = width_;
  desc->Height = height_;
  return D3D_OK;
}

HRESULT Surface::LockRect(D3DLOCKED_RECT* lockedRect, const RECT* rect, DWORD) {
  if (lockedRect == nullptr || !lockable_) return D3DERR_INVALIDCALL;
  const bool level = container_ != nullptr;
  if (locked_) {  // a texture level leaves the caller's record alone; a surface of its own clears it
    if (!level) *lockedRect = D3DLOCKED_RECT{0, nullptr};
    return D3DERR_INVALIDCALL;
  }
  LONG left = 0, top = 0;
  if (rect != nullptr) {
    const bool inside = rect->left >= 0 && rect->top >= 0 && rect->left < rect->right && rect->top < rect->bottom &&
                        static_cast<UINT>(rect->right) <= width_ && static_cast<UINT>(rect->bottom) <= height_;
    if (!inside && !level) {
      *lockedRect = D3DLOCKED_RECT{0, nullptr};
      return D3DERR_INVALIDCALL;
    }
    left = rect->left;
    top = rect->top;
  }
  // Computed as an address: a texture level's unchecked rectangle may point outside its pixels.
  const intptr_t offset = static_cast<intptr_t>(top) * static_cast<intptr_t>(pitch()) +
                          static_cast<intptr_t>(left) * static_cast<intptr_t>(bytesPerPixel_);
  widenedCurrent_ = false;
  lockedRect->Pitch = static_cast<INT>(pitch());
  lockedRect->pBits = reinterpret_cast<void*>(reinterpret_cast<uintptr_t>(pixels_) + static_cast<uintptr_t>(offset));
  locked_ = true;
  return D3D_OK;
}

HRESULT Surface::UnlockRect() {
  if (!locked_) return container_ != nullptr ? D3D_OK : D3DERR_INVALIDCALL;
  locked_ = false;
  return D3D_OK;
}

const BYTE* Surface::samplingBits() const {
  if (format_ != D3DFMT_A4R4G4B4) return pixels_;
  if (!widenedCurrent_) {
    const size_t count = static_cast<size_t>(width_) * height_;
    widened_.resize(count * 4);
    for (size_t k = 0; k < count; ++k) {
      const uint32_t wide = unpackColor(D3DFMT_A4R4G4B4, loadPixel(pixels_ + 2 * k, 2));
      std::memcpy(widened_.data() + 4 * k, &wide, 4);
    }
    widenedCurrent_ = true;
  }
  return widened_.data();
}

}  // namespace d3d8compat
