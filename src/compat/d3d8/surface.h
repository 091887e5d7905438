// A surface of the software device: one image of tightly packed pixels (pitch = width x bytes per
// pixel) in a colour or depth format of formats.h. Either stands alone and owns its pixels (back buffer,
// depth buffer: held by the device alone until the application asks for one) or is a texture level
// whose pixels lie in the texture's one allocation and whose counting is the texture's. The rasterizer
// reads and writes pixels through bits()/pitch(); applications go through LockRect, which refuses render
// targets (unless the back buffer was asked for lockable), depth buffers and DEFAULT-pool memory that is
// not DYNAMIC. Texture levels lock as native ones do: the rectangle is not checked (the pointer is
// wherever it says), and unlocking a level that is not locked succeeds.
#pragma once

#include <cstddef>
#include <vector>

#include "compat/d3d8/com_object.h"
#include "compat/d3d8/d3d8.h"

namespace d3d8compat {

class Surface final : public DeviceChild<IDirect3DSurface8> {
 public:
  // A surface of the device's own. Null if the size or format cannot be stored.
  static Surface* createOwned(IDirect3DDevice8* device, UINT width, UINT height, D3DFORMAT format, DWORD usage,
                              bool lockable);
  // Level of `container` whose pixels start at `pixels` (levelBytes(width, height, format) of them).
  static Surface* createLevel(ComObject<IDirect3DTexture8>* container, IDirect3DDevice8* device, UINT width,
                              UINT height, D3DFORMAT format, DWORD usage, D3DPOOL pool, BYTE* pixels);
  // Bytes of a level of that size and format: height rows of width pixels.
  static size_t levelBytes(UINT width, UINT height, D3DFORMAT format);
  ~Surface() = default;

  ULONG AddRef() override;
  ULONG Release() override;
  void bind() override;
  void unbind() override;
  HRESULT GetDesc(D3DSURFACE_DESC* desc) override;
  HRESULT LockRect(D3DLOCKED_RECT* lockedRect, const RECT* rect, DWORD flags) override;
  HRESULT UnlockRect() override;

  UINT width() const { return width_; }
  UINT height() const { return height_; }
  D3DFORMAT format() const { return format_; }
  DWORD usage() const { return usage_; }
  UINT bytesPerPixel() const { return bytesPerPixel_; }
  UINT pitch() const { return width_ * bytesPerPixel_; }
  BYTE* bits() { return pixels_; }
  const BYTE* bits() const { return pixels_; }
  BYTE* row(UINT y) { return pixels_ + static_cast<size_t>(y) * pitch(); }
  const BYTE* row(UINT y) const { return pixels_ + static_cast<size_t>(y) * pitch(); }
  bool lockable() const { return lockable_; }
  bool locked() const { return locked_; }

  // The pixels as the sampler reads them. A4R4G4B4 levels read as a copy widened to A8R8G8B8 (each
  // 4-bit value c becomes c * 17, exactly the same value), so they filter through the 32-bit kernels;
  // the copy is remade after a lock. Other formats read their own pixels. Called between draws only.
  const BYTE* samplingBits() const;
  UINT samplingPitch() const { return format_ == D3DFMT_A4R4G4B4 ? width_ * 4 : pitch(); }
  D3DFORMAT samplingFormat() const { return format_ == D3DFMT_A4R4G4B4 ? D3DFMT_A8R8G8B8 : format_; }

 private:
  Surface(IDirect3DDevice8* device, UINT width, UINT height, D3DFORMAT format, DWORD usage, D3DPOOL pool,
          ComObject<IDirect3DTexture8>* container);

  UINT width_, height_;
  D3DFORMAT format_;
  DWORD usage_;
  D3DPOOL pool_;
  UINT bytesPerPixel_;
  ComObject<IDirect3DTexture8>* container_;
  bool lockable_ = false;
  bool locked_ = false;
  std::vector<BYTE> owned_;  // the pixels of a surface that stands alone
  BYTE* pixels_ = nullptr;
  mutable std::vector<BYTE> widened_;  // samplingBits() of an A4R4G4B4 level
  mutable bool widenedCurrent_ = false;
};

}  // namespace d3d8compat
