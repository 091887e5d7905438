// Render-target binding and Clear. SetRenderTarget takes surfaces of this device only and resets the
// viewport to the whole new target; Clear fills the viewport (or the given rectangles inside it) of the
// bound colour, depth and stencil buffers, and clears nothing when it names a depth or stencil buffer
// that is not there.
#include <algorithm>
#include <cstring>

#include "compat/d3d8/device.h"
#include "compat/d3d8/formats.h"
#include "compat/d3d8/surface.h"
#include "compat/d3d8/viewport.h"

namespace d3d8compat {
namespace {

struct PixelRect {
  UINT x0, y0, x1, y1;  // half-open
};

// Fills a rectangle of `surface` with one stored value (first row pixel by pixel, then row copies).
void fillRect(Surface& surface, const PixelRect& r, uint32_t value) {
  const UINT bpp = surface.bytesPerPixel();
  BYTE* first = surface.row(r.y0) + static_cast<size_t>(r.x0) * bpp;
  for (UINT x = r.x0; x < r.x1; ++x) storePixel(first + static_cast<size_t>(x - r.x0) * bpp, bpp, value);
  const size_t rowBytes = static_cast<size_t>(r.x1 - r.x0) * bpp;
  for (UINT y = r.y0 + 1; y < r.y1; ++y) std::memcpy(surface.row(y) + static_cast<size_t>(r.x0) * bpp, first, rowBytes);
}

// D24S8 with only one of depth and stencil cleared: keep the other part of each pixel.
void fillDepthStencilPart(Surface& surface, const PixelRect& r, uint32_t value, uint32_t keepMask) {
  for (UINT y = r.y0; y < r.y1; ++y) {
    BYTE* p = surface.row(y) + static_cast<size_t>(r.x0) * 4;
    for (UINT x = r.x0; x < r.x1; ++x, p += 4) storePixel(p, 4, (loadPixel(p, 4) & keepMask) | value);
  }
}

void clearDepth(Surface& depth, PixelRect r, DWORD flags, float z, DWORD stencil) {
  r.x1 = std::min(r.x1, depth.width());
  r.y1 = std::min(r.y1, depth.height());
  if (r.x0 >= r.x1 || r.y0 >= r.y1) return;
  const uint32_t depthValue = quantizeDepth(depth.format(), z);
  if (depth.format() == D3DFMT_D16) {
    fillRect(depth, r, depthValue);
    return;
  }
  const bool clearZ = (flags & D3DCLEAR_ZBUFFER) != 0, clearS = (flags & D3DCLEAR_STENCIL) != 0;
  const uint32_t packed = depthValue << 8 | (stencil & 0xFF);  // D24S8: depth 31..8, stencil 7..0
  if (clearZ && clearS) {
    fillRect(depth, r, packed);
  } else if (clearZ) {
    fillDepthStencilPart(depth, r, packed & 0xFFFFFF00u, 0x000000FFu);
  } else {
    fillDepthStencilPart(depth, r, packed & 0x000000FFu, 0xFFFFFF00u);
  }
}

}  // namespace

HRESULT Device::SetRenderTarget(IDirect3DSurface8* renderTarget, IDirect3DSurface8* newZStencil) {
  // Every surface this device hands out is a Surface, so the downcasts are safe.
  Surface* color = renderTarget != nullptr ? static_cast<Surface*>(renderTarget) : state_.renderTarget;
  Surface* depth = static_cast<Surface*>(newZStencil);
  if ((color->usage() & D3DUSAGE_RENDERTARGET) == 0 || color->device() != this) return D3DERR_INVALIDCALL;
  if (depth != nullptr) {
    if ((depth->usage() & D3DUSAGE_DEPTHSTENCIL) == 0 || depth->device() != this) return D3DERR_INVALIDCALL;
    if (depth->width() < color->width() || depth->height() < color->height()) return D3DERR_INVALIDCALL;
  }
  assignRef(state_.renderTarget, color);
  assignRef(state_.depthStencil, depth);
  state_.viewport = fullViewport(*color);
  return D3D_OK;
}

HRESULT Device::GetRenderTarget(IDirect3DSurface8** renderTarget) {
  if (renderTarget == nullptr) return D3DERR_INVALIDCALL;
  state_.renderTarget->AddRef();
  *renderTarget = state_.renderTarget;
  return D3D_OK;
}

HRESULT Device::GetDepthStencilSurface(IDirect3DSurface8** zStencilSurface) {
  if (zStencilSurface == nullptr) return D3DERR_INVALIDCALL;
  *zStencilSurface = state_.depthStencil;
  if (state_.depthStencil == nullptr) return D3DERR_NOTFOUND;
  state_.depthStencil->AddRef();
  return D3D_OK;
}

HRESULT Device::Clear(DWORD count, const D3DRECT* rects, DWORD flags, D3DCOLOR color, float z, DWORD stencil) {
  constexpr DWORD kAllFlags = D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER | D3DCLEAR_STENCIL;
  if (flags == 0 || (flags & ~kAllFlags) != 0) return D3DERR_INVALIDCALL;
  // As native Direct3D 8: rectangles with a count of 0 clear nothing; a count without rectangles clears
  // the whole viewport. Both succeed.
  if (count == 0 && rects != nullptr) return D3D_OK;
  if (rects == nullptr) count = 0;
  Surface* depth = state_.depthStencil;
  if ((flags & (D3DCLEAR_ZBUFFER | D3DCLEAR_STENCIL)) != 0 && depth == nullptr) return D3DERR_INVALIDCALL;
  if ((flags & D3DCLEAR_STENCIL) != 0 && !hasStencil(depth->format())) return D3DERR_INVALIDCALL;

  const D3DVIEWPORT8& vp = state_.viewport;
  const PixelRect viewport{vp.X, vp.Y, vp.X + vp.Width, vp.Y + vp.Height};
  Surface& target = *state_.renderTarget;
  const uint32_t colorValue = packColor(target.format(), color);
  const DWORD areas = count == 0 ? 1 : count;
  for (DWORD i = 0; i < areas; ++i) {
    PixelRect r = viewport;
    if (count != 0) {  // the rectangle inside the viewport; negative corners clamp to 0
      r.x0 = std::max(r.x0, static_cast<UINT>(std::max<LONG>(rects[i].x1, 0)));
      r.y0 = std::max(r.y0, static_cast<UINT>(std::max<LONG>(rects[i].y1, 0)));
      r.x1 = std::min(r.x1, static_cast<UINT>(std::max<LONG>(rects[i].x2, 0)));
      r.y1 = std::min(r.y1, static_cast<UINT>(std::max<LONG>(rects[i].y2, 0)));
    }
    if (r.x0 >= r.x1 || r.y0 >= r.y1) continue;
    if ((flags & D3DCLEAR_TARGET) != 0) fillRect(target, r, colorValue);
    if ((flags & (D3DCLEAR_ZBUFFER | D3DCLEAR_STENCIL)) != 0) clearDepth(*depth, r, flags, z, stencil);
  }
  return D3D_OK;
}

}  // namespace d3d8compat
