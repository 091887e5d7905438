#include "archive/archive.h"

#include <cstring>

#include "archive/picture.h"
#include "texgen/generator.h"

namespace {

ArchiveEntry* g_entries = nullptr;
int32_t g_entryCount = 0;

uint32_t readU32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
         (static_cast<uint32_t>(p[3]) << 24);
}

void materialiseEntry(ArchiveEntry* entry) {
  if (entry->ready != 0) return;
  switch (entry->type) {
    case kEntryRaw:
    case kEntryRawM:
      entry->dataSize = entry->storedSize;
      if (entry->dataSize > 0) {
        entry->data = new uint8_t[entry->dataSize];
        std::memcpy(entry->data, entry->storedData, entry->dataSize);
      }
      break;
    case kEntryPicture:
      decodePackedPicture(entry);
      break;
    case kEntryTexture: {
      entry->dataSize = kLayerBytes;
      entry->data = new uint8_t[kLayerBytes];
      TextureGenerator& generator = textureGenerator();
      generator.run(entry->storedData, static_cast<size_t>(entry->storedSize));
      std::memcpy(entry->data, generator.layer(0).pixels, kLayerBytes);
      break;
    }
    default:
      break;  // unknown type: nothing to decode
  }
  delete[] entry->storedData;
  entry->storedData = nullptr;
  entry->storedSize = 0;
  entry->ready = 1;
}

}  // namespace

void releaseArchive() {
  for (int32_t i = 0; i < g_entryCount; ++i) {
    delete[] g_entries[i].storedData;
    delete[] g_entries[i].data;
  }
  delete[] g_entries;
  g_entries = nullptr;
  g_entryCount = 0;
}

void loadArchive(const uint8_t* blob, size_t size) {
  releaseArchive();
  if (blob == nullptr || size < 1) return;
  const int32_t count = blob[0];
  g_entries = new ArchiveEntry[count > 0 ? count : 1];
  size_t p = 1;
  for (int32_t i = 0; i < count; ++i) {
    // Entry header: key (4), type (1), payload length (4); then the payload.
    if (size - p < 9) break;
    const uint32_t length = readU32(blob + p + 5);
    if (size - p - 9 < length || length > 0x7FFFFFFFu) break;
    ArchiveEntry& entry = g_entries[i];
    std::memset(&entry, 0, sizeof entry);
    entry.key = readU32(blob + p);
    entry.type = blob[p + 4];
    entry.storedSize = static_cast<int32_t>(length);
    if (length > 0) {
      entry.storedData = new uint8_t[length];
      std::memcpy(entry.storedData, blob + p + 9, length);
    }
    p += 9 + static_cast<size_t>(length);
    g_entryCount = i + 1;
  }
}

ArchiveEntry* findEntry(FourCC key) {
  if (g_entryCount <= 0) return nullptr;
  for (int32_t i = 0; i < g_entryCount; ++i) {
    if (g_entries[i].key != key) continue;
    materialiseEntry(&g_entries[i]);
    return &g_entries[i];
  }
  return nullptr;
}

int32_t archiveEntryCount() { return g_entryCount; }

ArchiveEntry* archiveEntryAt(int32_t index) {
  if (index < 0 || index >= g_entryCount) return nullptr;
  return &g_entries[index];
}
