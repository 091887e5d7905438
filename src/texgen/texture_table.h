// The texture table: every texture program of the archive run once at start-up and uploaded as a
// 256 x 256 A8R8G8B8 managed texture with its full mip chain, found afterwards by its FourCC. The table
// owns the textures; callers bind them and never release them. Main thread only.
#pragma once

#include <cstdint>

#include "archive/fourcc.h"
#include "compat/d3d8/d3d8.h"

constexpr int kMaxTextures = 256;

struct TextureTableEntry {
  IDirect3DTexture8* texture;  // null if its creation failed
  uint32_t key;
};

struct TextureTable {
  TextureTableEntry entries[kMaxTextures];
  int32_t count;
};

extern TextureTable g_textureTable;

// Runs every 'T' entry of the archive, in archive order, and creates its texture on g_device.
void buildTextureTable();
// The first texture made under `key`, or null.
IDirect3DTexture8* findTexture(FourCC key);
// Releases every texture once; the table is empty afterwards.
void releaseTextureTable();

// Creates one texture from a 256 x 256 layer (262144 bytes) and fills its mip chain; null on failure.
IDirect3DTexture8* createTextureFromLayer(const uint8_t* pixels);

// One mip step: the size x size image `source` halved into `target` ((size/2) x (size/2), rows packed).
// Each output channel is the 2 x 2 average with every halving truncated.
void downsampleLevel(const uint32_t* source, int size, uint32_t* target);
