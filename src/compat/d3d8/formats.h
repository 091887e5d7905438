// Pixel formats the software device stores, and conversions between them and 0xAARRGGBB words.
// Colour: A8R8G8B8, X8R8G8B8, R5G6B5, A4R4G4B4 (little-endian words, least significant channel first
// in memory). Depth: D24S8 (depth in bits 31..8, stencil in 7..0) and D16, kept as unsigned integers.
// Narrowing rounds by the UNORM rule; widening is exact (c * 255 / (2^n - 1), rounded).
#pragma once

#include <cstring>

#include "compat/d3d8/d3d8_types.h"

namespace d3d8compat {

// Bytes per pixel of a format the device can store; 0 for any other format.
UINT bytesPerPixel(D3DFORMAT format);
bool isColorFormat(D3DFORMAT format);         // usable for textures
bool isRenderTargetFormat(D3DFORMAT format);  // usable for back buffers and render targets
bool isDepthFormat(D3DFORMAT format);
bool hasStencil(D3DFORMAT format);

// 0xAARRGGBB -> the stored value of a colour format. Formats without alpha store no alpha
// (X8R8G8B8 stores 0xFF in its unused byte).
uint32_t packColor(D3DFORMAT format, D3DCOLOR color);
// Stored value of a colour format -> 0xAARRGGBB; formats without alpha read as alpha 0xFF.
D3DCOLOR unpackColor(D3DFORMAT format, uint32_t stored);

// Depth in 0..1 (clamped) as the integer of the format's width: round(z * (2^n - 1)).
uint32_t quantizeDepth(D3DFORMAT format, float z);

// Raw 16- or 32-bit access to one pixel of a stored surface.
inline uint32_t loadPixel(const BYTE* p, UINT bytes) {
  if (bytes == 2) {
    uint16_t v;
    std::memcpy(&v, p, 2);
    return v;
  }
  uint32_t v;
  std::memcpy(&v, p, 4);
  return v;
}
inline void storePixel(BYTE* p, UINT bytes, uint32_t value) {
  if (bytes == 2) {
    const uint16_t v = static_cast<uint16_t>(value);
    std::memcpy(p, &v, 2);
  } else {
    std::memcpy(p, &value, 4);
  }
}

}  // namespace d3d8compat
