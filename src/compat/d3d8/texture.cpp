#include "compat/d3d8/texture.h"

#include <algorithm>

#include "compat/d3d8/formats.h"
#include "compat/d3d8/limits.h"

namespace d3d8compat {

UINT fullMipChainLength(UINT width, UINT height) {
  UINT size = std::max(width, height);
  UINT count = 1;
  while (size > 1) {
    size >>= 1;
    ++count;
  }
  return count;
}

HRESULT Texture::create(IDirect3DDevice8* device, UINT width, UINT height, UINT levels, DWORD usage,
                        D3DFORMAT format, D3DPOOL pool, Texture** texture) {
  if (texture == nullptr) return D3DERR_INVALIDCALL;
  // Scratch textures are not bound by the device's limits; the surface limit still keeps them storable.
  const UINT largest = pool == D3DPOOL_SCRATCH ? kMaxSurfaceSize : kMaxTextureSize;
  if (width == 0 || height == 0 || width > largest || height > largest) return D3DERR_INVALIDCALL;
  constexpr DWORD kKnownUsage = D3DUSAGE_RENDERTARGET | D3DUSAGE_DYNAMIC;
  if ((usage & ~kKnownUsage) != 0 || usage == kKnownUsage) return D3DERR_INVALIDCALL;  // not both at once
  if (pool != D3DPOOL_DEFAULT && pool != D3DPOOL_MANAGED && pool != D3DPOOL_SYSTEMMEM && pool != D3DPOOL_SCRATCH) {
    return D3DERR_INVALIDCALL;
  }
  if (!isColorFormat(format)) return D3DERR_INVALIDCALL;
  if ((usage & D3DUSAGE_RENDERTARGET) != 0 && (pool != D3DPOOL_DEFAULT || !isRenderTargetFormat(format))) {
    return D3DERR_INVALIDCALL;
  }
  const UINT fullChain = fullMipChainLength(width, height);
  if (levels == 0) levels = fullChain;
  if (levels > fullChain) return D3DERR_INVALIDCALL;

  Texture* created = new Texture(device, pool);
  size_t total = 0;
  for (UINT k = 0; k < levels; ++k) total += Surface::levelBytes(std::max(1u, width >> k), std::max(1u, height >> k), format);
  created->pixels_.resize(total);
  created->levels_.reserve(levels);
  BYTE* next = created->pixels_.data();
  for (UINT k = 0; k < levels; ++k) {
    const UINT w = std::max(1u, width >> k), h = std::max(1u, height >> k);
    created->levels_.push_back(Surface::createLevel(created, device, w, h, format, usage, pool, next));
    next += Surface::levelBytes(w, h, format);
  }
  *texture = created;
  return D3D_OK;
}

Texture::~Texture() {
  for (Surface* surface : levels_) delete surface;
}

DWORD Texture::GetLevelCount() { return levelCount(); }

HRESULT Texture::GetLevelDesc(UINT level, D3DSURFACE_DESC* desc) {
  if (level >= levelCount()) return D3DERR_INVALIDCALL;
  return levels_[level]->GetDesc(desc);
}

HRESULT Texture::GetSurfaceLevel(UINT level, IDirect3DSurface8** surface) {
  if (surface == nullptr) return D3DERR_INVALIDCALL;
  *surface = nullptr;
  if (level >= levelCount()) return D3DERR_INVALIDCALL;
  levels_[level]->AddRef();
  *surface = levels_[level];
  return D3D_OK;
}

HRESULT Texture::LockRect(UINT level, D3DLOCKED_RECT* lockedRect, const RECT* rect, DWORD flags) {
  if (level >= levelCount()) return D3DERR_INVALIDCALL;
  return levels_[level]->LockRect(lockedRect, rect, flags);
}

HRESULT Texture::UnlockRect(UINT level) {
  if (level >= levelCount()) return D3DERR_INVALIDCALL;
  return levels_[level]->UnlockRect();
}

}  // namespace d3d8compat
