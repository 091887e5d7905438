// textures DIR [ASSETS_DIR]: runs the nine texture programs and writes KEY.bgra (layer 0, 262144 bytes)
// and KEY.png for each (KEY_alpha.png too where the texture is not opaque), the decoded picture as
// AUMP.png, and the time of each program and of the whole start-up texture table build.
#include <chrono>
#include <cstdio>

#include "archive/archive.h"
#include "brannik-assets/assemble.h"
#include "brannik-assets/command.h"
#include "brannik-assets/png_files.h"
#include "compat/win32/headless.h"
#include "platform/graphics.h"
#include "texgen/generator.h"
#include "texgen/texture_table.h"

namespace assets {
namespace {

using Clock = std::chrono::steady_clock;

double millisecondsSince(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

bool writeTexture(const std::string& dir, const ArchiveEntry& entry, std::string* error) {
  const std::string base = dir + "/" + fourCCText(entry.key);
  const uint32_t* pixels = reinterpret_cast<const uint32_t*>(entry.data);
  if (!writeFile(base + ".bgra", entry.data, static_cast<size_t>(entry.dataSize), error)) return false;
  if (!writePngRgba(base + ".png", pixels, 256, 256, error)) return false;
  bool opaque = true;
  for (int i = 0; i < kLayerPixels; ++i) opaque = opaque && (pixels[i] >> 24) == 0xFF;
  if (opaque) return true;
  std::vector<uint32_t> alpha(kLayerPixels);
  for (int i = 0; i < kLayerPixels; ++i) alpha[i] = 0xFF000000u | ((pixels[i] >> 24) * 0x010101u);
  return writePngRgba(base + "_alpha.png", alpha.data(), 256, 256, error);
}

// The table as the presentation builds it: every program run, uploaded and mip-mapped on a device.
void timeTextureTable(const std::vector<uint8_t>& blob) {
  loadArchive(blob.data(), blob.size());
  win32compat::setHeadless(true);
  if (initGraphics("brannik-assets", 640, 480, 0, 32) == 0) {
    std::printf("texture table: no device could be created, not timed\n");
    return;
  }
  const Clock::time_point start = Clock::now();
  buildTextureTable();
  const double ms = millisecondsSince(start);
  std::printf("texture table (9 programs, upload and mip chains): %.1f ms, %d textures\n", ms, g_textureTable.count);
  releaseTextureTable();
  shutdownGraphics();
}

int runTextures(int argc, char** argv) {
  if (argc != 2 && argc != 3) {
    std::fprintf(stderr, "usage: brannik-assets textures DIR [ASSETS_DIR]\n");
    return 2;
  }
  const std::string dir = argv[1];
  std::vector<BlobEntry> entries;
  std::string error;
  if (!assembleArchive(argc == 3 ? argv[2] : "assets", &entries, &error)) {
    std::fprintf(stderr, "brannik-assets textures: %s\n", error.c_str());
    return 1;
  }
  const std::vector<uint8_t> blob = writeArchiveBlob(entries);
  buildCosineTable();
  loadArchive(blob.data(), blob.size());
  double total = 0.0;
  for (int32_t i = 0; i < archiveEntryCount(); ++i) {
    if (archiveEntryAt(i)->type != kEntryTexture) continue;
    const Clock::time_point start = Clock::now();
    const ArchiveEntry* entry = findEntry(archiveEntryAt(i)->key);
    const double ms = millisecondsSince(start);
    total += ms;
    const uint32_t* pixels = reinterpret_cast<const uint32_t*>(entry->data);
    std::printf("%s  %7.2f ms  first pixels %08X %08X %08X %08X\n", fourCCText(entry->key).c_str(), ms, pixels[0],
                pixels[1], pixels[2], pixels[3]);
    if (!writeTexture(dir, *entry, &error)) {
      std::fprintf(stderr, "brannik-assets textures: %s\n", error.c_str());
      return 1;
    }
  }
  std::printf("all programs: %.1f ms\n", total);
  const ArchiveEntry* picture = findEntry(makeFourCC('A', 'U', 'M', 'P'));
  if (picture != nullptr && picture->data != nullptr &&
      !writePngRgba(dir + "/AUMP.png", reinterpret_cast<const uint32_t*>(picture->data), picture->pictureSize & 0xFFFF,
                    picture->pictureSize >> 16, &error)) {
    std::fprintf(stderr, "brannik-assets textures: %s\n", error.c_str());
    return 1;
  }
  timeTextureTable(blob);
  releaseArchive();
  return 0;
}

const RegisterCommand registered({"textures", "DIR [ASSETS_DIR]",
                                  "run the nine texture programs; write KEY.bgra and KEY.png for each", runTextures});

}  // namespace
}  // namespace assets
