#include "texgen/texture_table.h"

#include <cstring>

#include "archive/archive.h"
#include "platform/graphics.h"
#include "texgen/texture_layer.h"

TextureTable g_textureTable;

namespace {

// Halves all four bytes at once: (v >> 1) with each byte's top bit cleared.
uint32_t halve(uint32_t v) { return (v >> 1) & 0x7F7F7F7Fu; }

void copyRows(const uint8_t* source, int rowBytes, int rows, const D3DLOCKED_RECT& locked) {
  uint8_t* target = static_cast<uint8_t*>(locked.pBits);
  for (int y = 0; y < rows; ++y) std::memcpy(target + y * locked.Pitch, source + y * rowBytes, rowBytes);
}

void fillMipChain(IDirect3DTexture8* texture, const uint8_t* pixels) {
  // Two scratch images, kept for the whole start-up instead of allocated per texture.
  static TextureLayer source;
  static TextureLayer target;
  std::memcpy(source.pixels, pixels, kLayerBytes);
  int size = 256;
  const DWORD levels = texture->GetLevelCount();
  for (DWORD level = 1; level < levels; ++level) {
    downsampleLevel(source.pixels, size, target.pixels);
    size = size / 2;
    D3DLOCKED_RECT locked{};
    if (SUCCEEDED(texture->LockRect(level, &locked, nullptr, 0))) {
      copyRows(reinterpret_cast<const uint8_t*>(target.pixels), 4 * size, size, locked);
      texture->UnlockRect(level);
    }
    std::memcpy(source.pixels, target.pixels, sizeof(uint32_t) * size * size);
  }
}

}  // namespace

void downsampleLevel(const uint32_t* source, int size, uint32_t* target) {
  const int half = size / 2;
  for (int j = 0; j < half; ++j) {
    for (int i = 0; i < half; ++i) {
      const uint32_t p00 = source[(2 * j) * size + 2 * i];
      const uint32_t p10 = source[(2 * j) * size + 2 * i + 1];
      const uint32_t p01 = source[(2 * j + 1) * size + 2 * i];
      const uint32_t p11 = source[(2 * j + 1) * size + 2 * i + 1];
      target[j * half + i] = halve(halve(p00) + halve(p10)) + halve(halve(p01) + halve(p11));
    }
  }
}

IDirect3DTexture8* createTextureFromLayer(const uint8_t* pixels) {
  IDirect3DTexture8* texture = nullptr;
  if (g_device == nullptr ||
      FAILED(g_device->CreateTexture(256, 256, 0, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture))) {
    return nullptr;
  }
  if (pixels == nullptr) return texture;
  D3DLOCKED_RECT locked{};
  if (FAILED(texture->LockRect(0, &locked, nullptr, 0))) return texture;
  copyRows(pixels, 1024, 256, locked);
  texture->UnlockRect(0);
  fillMipChain(texture, pixels);
  return texture;
}

void buildTextureTable() {
  g_textureTable.count = 0;
  for (int32_t i = 0; i < archiveEntryCount() && g_textureTable.count < kMaxTextures; ++i) {
    const ArchiveEntry* record = archiveEntryAt(i);
    if (record->type != kEntryTexture) continue;
    TextureTableEntry& entry = g_textureTable.entries[g_textureTable.count];
    entry.key = record->key;
    const ArchiveEntry* found = findEntry(record->key);
    entry.texture = createTextureFromLayer(found != nullptr ? found->data : nullptr);
    g_textureTable.count = g_textureTable.count + 1;
  }
}

IDirect3DTexture8* findTexture(FourCC key) {
  for (int32_t i = 0; i < g_textureTable.count; ++i) {
    if (g_textureTable.entries[i].key == key) return g_textureTable.entries[i].texture;
  }
  return nullptr;
}

void releaseTextureTable() {
  for (int32_t i = 0; i < g_textureTable.count; ++i) {
    if (g_textureTable.entries[i].texture != nullptr) g_textureTable.entries[i].texture->Release();
    g_textureTable.entries[i].texture = nullptr;
  }
  g_textureTable.count = 0;
}
