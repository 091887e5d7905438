// A surface of the software device: one image that owns tightly packed pixel memory (pitch = width x
// bytes per pixel), in a colour or depth format of formats.h. Stands alone (back buffer, depth buffer)
// or belongs to a texture level, whose reference count it then shares. The rasterizer reads and writes
// pixels through bits()/pitch(); applications go through LockRect, which refuses render targets,
// depth buffers and DEFAULT-pool memory that is not DYNAMIC.
#pragma once

#include <cstddef>
#include <vector>

#include "compat/d3d8/com_object.h"
#include "compat/d3d8/d3d8.h"

namespace d3d8compat {

class Surface final : public ComObject<IDirect3DSurface8> {
 public:
  // Null if the size or format cannot be stored. `container` (a texture) takes over reference counting.
  static Surface* create(UINT width, UINT height, D3DFORMAT format, DWORD usage, D3DPOOL pool,
                         IUnknown* container);
  ~Surface() = default;

  ULONG AddRef() override;
  ULONG Release() override;
  HRESULT GetDesc(D3DSURFACE_DESC* desc) override;
  HRESULT LockRect(D3DLOCKED_RECT* lockedRect, const RECT* rect, DWORD flags) override;
  HRESULT UnlockRect() override;

  UINT width() const { return width_; }
  UINT height() const { return height_; }
  D3DFORMAT format() const { return format_; }
  DWORD usage() const { return usage_; }
  UINT bytesPerPixel() const { return bytesPerPixel_; }
  UINT pitch() const { return width_ * bytesPerPixel_; }
  BYTE* bits() { return pixels_.data(); }
  const BYTE* bits() const { return pixels_.data(); }
  BYTE* row(UINT y) { return pixels_.data() + static_cast<size_t>(y) * pitch(); }
  const BYTE* row(UINT y) const { return pixels_.data() + static_cast<size_t>(y) * pitch(); }
  bool lockable() const;
  bool locked() const { return locked_; }

 private:
  Surface(UINT width, UINT height, D3DFORMAT format, DWORD usage, D3DPOOL pool, IUnknown* container);

  UINT width_, height_;
  D3DFORMAT format_;
  DWORD usage_;
  D3DPOOL pool_;
  UINT bytesPerPixel_;
  IUnknown* container_;
  bool locked_ = false;
  std::vector<BYTE> pixels_;
};

}  // namespace d3d8compat
