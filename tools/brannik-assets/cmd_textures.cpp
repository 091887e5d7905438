// textures DIR [ASSETS_DIR]: runs the nine texture programs and writes KEY.bgra (layer 0, 262144 bytes)
// and KEY.png for each (KEY_alpha.png too where the texture is not opaque), the decoded picture as
// AUMP.png, and the time of each program and of the whole start-up texture table build.
#include <chrono>
#include <ctime>
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

// Wall time and this thread's processor time, in milliseconds: on a shared machine the second says
// what the work itself costs.
struct Stopwatch {
  std::chrono::steady_clock::time_point wall = std::chrono::steady_clock::now();
  double cpu = threadCpuMilliseconds();

  static double threadCpuMilliseconds() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
  }
  double wallMs() const {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - wall).count();
  }
  double cpuMs() const { return threadCpuMilliseconds() - cpu; }
};

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
  const Stopwatch watch;
  buildTextureTable();
  std::printf("texture table (programs, upload and mip chains): %.1f ms (%.1f ms processor), %d textures\n",
              watch.wallMs(), watch.cpuMs(), g_textureTable.count);
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
  double total = 0.0, totalCpu = 0.0;
  for (int32_t i = 0; i < archiveEntryCount(); ++i) {
    if (archiveEntryAt(i)->type != kEntryTexture) continue;
    const Stopwatch watch;
    const ArchiveEntry* entry = findEntry(archiveEntryAt(i)->key);
    const double ms = watch.wallMs(), cpuMs = watch.cpuMs();
    total += ms;
    totalCpu += cpuMs;
    const uint32_t* pixels = reinterpret_cast<const uint32_t*>(entry->data);
    std::printf("%s  %6.2f ms (%6.2f ms processor)  first pixels %08X %08X %08X %08X\n", fourCCText(entry->key).c_str(),
                ms, cpuMs, pixels[0], pixels[1], pixels[2], pixels[3]);
    if (!writeTexture(dir, *entry, &error)) {
      std::fprintf(stderr, "brannik-assets textures: %s\n", error.c_str());
      return 1;
    }
  }
  std::printf("all programs: %.1f ms (%.1f ms processor)\n", total, totalCpu);
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
