// A 2D texture of the software device: a chain of independent levels (level k is max(1, size >> k) on
// each side) lying one after another in one allocation, as native runtimes lay them out, each a Surface
// owned by the texture. Nothing regenerates lower levels: the application fills each one.
// Render-target textures (D3DUSAGE_RENDERTARGET, D3DPOOL_DEFAULT) are drawn into through SetRenderTarget
// and cannot be locked; scratch textures (D3DPOOL_SCRATCH) can be locked but not drawn with.
#pragma once

#include <vector>

#include "compat/d3d8/com_object.h"
#include "compat/d3d8/d3d8.h"
#include "compat/d3d8/surface.h"

namespace d3d8compat {

class Texture final : public DeviceChild<IDirect3DTexture8> {
 public:
  // Validates the arguments as CreateTexture does; levels 0 means the full chain down to 1 x 1. On
  // failure *texture is left as it was.
  static HRESULT create(IDirect3DDevice8* device, UINT width, UINT height, UINT levels, DWORD usage,
                        D3DFORMAT format, D3DPOOL pool, Texture** texture);
  ~Texture();

  DWORD GetLevelCount() override;
  HRESULT GetLevelDesc(UINT level, D3DSURFACE_DESC* desc) override;
  HRESULT GetSurfaceLevel(UINT level, IDirect3DSurface8** surface) override;
  HRESULT LockRect(UINT level, D3DLOCKED_RECT* lockedRect, const RECT* rect, DWORD flags) override;
  HRESULT UnlockRect(UINT level) override;

  UINT levelCount() const { return static_cast<UINT>(levels_.size()); }
  Surface* level(UINT index) const { return levels_[index]; }
  D3DFORMAT format() const { return levels_[0]->format(); }
  UINT width() const { return levels_[0]->width(); }
  UINT height() const { return levels_[0]->height(); }
  D3DPOOL pool() const { return pool_; }

 private:
  Texture(IDirect3DDevice8* device, D3DPOOL pool) : DeviceChild(device, true), pool_(pool) {}

  D3DPOOL pool_;
  std::vector<BYTE> pixels_;  // every level, level 0 first
  std::vector<Surface*> levels_;
};

// Number of levels of a full chain: floor(log2(max(width, height))) + 1.
UINT fullMipChainLength(UINT width, UINT height);

}  // namespace d3d8compat
