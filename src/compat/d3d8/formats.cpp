#include "compat/d3d8/formats.h"

namespace d3d8compat {
namespace {

// n-bit UNORM <-> 8-bit, both rounded to nearest: c8 = round(c * 255 / max), c = round(c8 * max / 255).
uint32_t narrow(uint32_t c8, uint32_t max) { return (c8 * max * 2 + 255) / 510; }
uint32_t widen(uint32_t c, uint32_t max) { return (c * 255 * 2 + max) / (2 * max); }

}  // namespace

UINT bytesPerPixel(D3DFORMAT format) {
  switch (format) {
    case D3DFMT_A8R8G8B8:
    case D3DFMT_X8R8G8B8:
    case D3DFMT_D24S8:
      return 4;
    case D3DFMT_R5G6B5:
    case D3DFMT_A4R4G4B4:
    case D3DFMT_D16:
      return 2;
    default:
      return 0;
  }
}

bool isColorFormat(D3DFORMAT format) {
  return format == D3DFMT_A8R8G8B8 || format == D3DFMT_X8R8G8B8 || format == D3DFMT_R5G6B5 ||
         format == D3DFMT_A4R4G4B4;
}

bool isRenderTargetFormat(D3DFORMAT format) {
  return format == D3DFMT_A8R8G8B8 || format == D3DFMT_X8R8G8B8 || format == D3DFMT_R5G6B5;
}

bool isDepthFormat(D3DFORMAT format) { return format == D3DFMT_D24S8 || format == D3DFMT_D16; }

bool hasStencil(D3DFORMAT format) { return format == D3DFMT_D24S8; }

uint32_t packColor(D3DFORMAT format, D3DCOLOR color) {
  const uint32_t a = color >> 24, r = (color >> 16) & 0xFF, g = (color >> 8) & 0xFF, b = color & 0xFF;
  switch (format) {
    case D3DFMT_A8R8G8B8:
      return color;
    case D3DFMT_X8R8G8B8:
      return color | 0xFF000000u;
    case D3DFMT_R5G6B5:
      return narrow(r, 31) << 11 | narrow(g, 63) << 5 | narrow(b, 31);
    case D3DFMT_A4R4G4B4:
      return narrow(a, 15) << 12 | narrow(r, 15) << 8 | narrow(g, 15) << 4 | narrow(b, 15);
    default:
      return 0;
  }
}

D3DCOLOR unpackColor(D3DFORMAT format, uint32_t stored) {
  switch (format) {
    case D3DFMT_A8R8G8B8:
      return stored;
    case D3DFMT_X8R8G8B8:
      return stored | 0xFF000000u;
    case D3DFMT_R5G6B5:
      return D3DCOLOR_ARGB(0xFF, widen((stored >> 11) & 31, 31), widen((stored >> 5) & 63, 63),
                           widen(stored & 31, 31));
    case D3DFMT_A4R4G4B4:  // 4-bit values widen exactly to c * 17
      return D3DCOLOR_ARGB(((stored >> 12) & 15) * 17, ((stored >> 8) & 15) * 17, ((stored >> 4) & 15) * 17,
                           (stored & 15) * 17);
    default:
      return 0;
  }
}

uint32_t quantizeDepth(D3DFORMAT format, float z) {
  const double max = format == D3DFMT_D16 ? 65535.0 : 16777215.0;
  const double clamped = z < 0.0f ? 0.0 : (z > 1.0f ? 1.0 : static_cast<double>(z));
  return static_cast<uint32_t>(clamped * max + 0.5);
}

}  // namespace d3d8compat
