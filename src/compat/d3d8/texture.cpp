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

HRESULT Texture::create(UINT width, UINT height, UINT levels, DWORD usage, D3DFORMAT format, D3DPOOL pool,
                        Texture** texture) {
  if (texture == nullptr) return D3DERR_INVALIDCALL;
  *texture = nullptr;
  if (width == 0 || height == 0 || width > kMaxTextureSize || height > kMaxTextureSize) {
    return D3DERR_INVALIDCALL;
  }
  constexpr DWORD kKnownUsage = D3DUSAGE_RENDERTARGET | D3DUSAGE_DYNAMIC;
  if ((usage & ~kKnownUsage) != 0) return D3DERR_INVALIDCALL;
  if (pool != D3DPOOL_DEFAULT && pool != D3DPOOL_MANAGED && pool != D3DPOOL_SYSTEMMEM) {
    return D3DERR_INVALIDCALL;
  }
  if (!isColorFormat(format)) return D3DERR_INVALIDCALL;
  if ((usage & D3DUSAGE_RENDERTARGET) != 0 && (pool != D3DPOOL_DEFAULT || !isRenderTargetFormat(format))) {
    return D3DERR_INVALIDCALL;
  }
  const UINT fullChain = fullMipChainLength(width, height);
  if (levels == 0) levels = fullChain;
  if (levels > fullChain) return D3DERR_INVALIDCALL;

  Texture* created = new Texture();
  created->levels_.reserve(levels);
  for (UINT k = 0; k < levels; ++k) {
    const UINT w = std::max(1u, width >> k), h = std::max(1u, height >> k);
    created->levels_.push_back(Surface::create(w, h, format, usage, pool, created));
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
