// TextureLayer: one 256 x 256 image of 0xAARRGGBB pixels (bytes blue, green, red, alpha in memory),
// row-major, top row first: the Direct3D A8R8G8B8 layout, so a layer uploads without conversion.
// Coordinates wrap modulo 256 wherever an operation looks at a neighbour, so every image tiles.
#pragma once

#include <cstdint>

constexpr int kLayerSide = 256;
constexpr int kLayerPixels = 65536;
constexpr int kLayerBytes = 262144;

struct TextureLayer {
  uint32_t pixels[kLayerPixels];
};

// Pixel index of (x, y), both wrapped modulo 256.
constexpr int layerIndex(int x, int y) { return ((y & 255) << 8) | (x & 255); }
