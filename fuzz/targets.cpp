// The fuzzed readers (targets.h). Each copies what it needs so that the sanitizers see any read past
// the input's end, and leaves no process state behind that would make one input depend on another.
#include "targets.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "archive/archive.h"
#include "brannik-assets/picture_pack.h"
#include "archive/picture.h"
#include "music/drum_decode.h"
#include "music/drum_encode.h"
#include "music/drum_machine.h"
#include "music/engine.h"
#include "music/song_format.h"
#include "music/song_text.h"
#include "texgen/generator.h"
#include "texgen/program_text.h"

namespace fuzz {
namespace {

std::string asText(const uint8_t* data, size_t size) { return std::string(reinterpret_cast<const char*>(data), size); }

int32_t clampedSize(size_t size) { return static_cast<int32_t>(std::min<size_t>(size, 0x7FFFFFFF)); }

// Rows the song target plays, and the most samples it renders however slow the tempo.
constexpr int32_t kSongRows = 200;
constexpr int32_t kSongMaxFrames = 1 << 15;

// The drum recipes target synthesises only sets whose sounds are short enough to keep inputs fast.
constexpr int64_t kRecipeMaxSamples = 1 << 16;

}  // namespace

bool archive(const uint8_t* data, size_t size) {
  loadArchive(data, size);
  // Materialise every entry as the program would ask for it: by key, first entry with that key wins.
  const int32_t count = archiveEntryCount();
  for (int32_t i = 0; i < count; ++i) findEntry(archiveEntryAt(i)->key);
  releaseArchive();
  return count > 0;
}

bool picture(const uint8_t* data, size_t size) {
  ArchiveEntry entry{};
  entry.type = kEntryPicture;
  entry.storedSize = clampedSize(size);
  entry.storedData = new uint8_t[size > 0 ? size : 1];
  if (size > 0) std::memcpy(entry.storedData, data, size);
  decodePackedPicture(&entry);
  const bool decoded = entry.data != nullptr;
  delete[] entry.storedData;
  delete[] entry.data;
  return decoded;
}

bool textureProgram(const uint8_t* data, size_t size) {
  std::vector<uint8_t> program(data, data + size);
  textureGenerator().run(program.data(), program.size());
  return size > 0;
}

bool song(const uint8_t* data, size_t size) {
  std::vector<uint8_t> bytes(data, data + size);
  // The asset tool's reading (song-text), then the program's: load, sequence and synthesise.
  Song parsed;
  std::string error;
  if (readSong(bytes.data(), bytes.size(), &parsed, &error)) songToText(parsed);
  const bool whole = music_buildFrom(bytes.data(), clampedSize(size), nullptr, 0);
  const int32_t frames = std::min<int64_t>(int64_t{kSongRows} * g_sequencer.rowSamples(), kSongMaxFrames);
  int16_t block[64];
  for (int32_t done = 0; done < frames; done += 32) g_masterMixer.render(block, 32);
  return whole;
}

bool drums(const uint8_t* data, size_t size) {
  std::vector<uint8_t> bytes(data, data + size);
  DrumSample sounds[12];
  decodeDrumEntry(bytes.data(), clampedSize(size), sounds);
  bool any = false;
  for (int i = 0; i < 11; ++i) any = any || sounds[i].length() > 0;
  return any;
}

bool songText(const uint8_t* data, size_t size) {
  std::vector<uint8_t> entry;
  std::string error;
  if (!compileSongText(asText(data, size), "fuzz.txt", &entry, &error)) return false;
  // What compiles must read back as the song it came from.
  Song song;
  return readSong(entry.data(), entry.size(), &song, &error);
}

bool drumRecipes(const uint8_t* data, size_t size) {
  std::vector<DrumRecipe> recipes;
  std::string error;
  if (!parseDrumRecipes(asText(data, size), "fuzz.txt", &recipes, &error)) return false;
  int64_t samples = 0;
  for (const DrumRecipe& r : recipes) samples += r.samples;
  if (samples <= kRecipeMaxSamples) {
    const std::vector<uint8_t> entry = encodeDrumEntry(recipes);
    DrumSample sounds[12];
    decodeDrumEntry(entry.data(), static_cast<int32_t>(entry.size()), sounds);
  }
  return true;
}

bool textureText(const uint8_t* data, size_t size) {
  std::vector<CompiledTexture> textures;
  std::string error;
  return compileTexturePrograms(asText(data, size), "fuzz.txt", &textures, &error);
}

bool pngPicture(const uint8_t* data, size_t size) {
  // The picture command reads a file: hand it one (per process, so parallel fuzzers do not collide).
  static const std::string path = "/tmp/brannik_fuzz_" + std::to_string(getpid()) + ".png";
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return false;
  const bool written = std::fwrite(data, 1, size, file) == size;
  std::fclose(file);
  if (!written) return false;
  std::vector<uint8_t> payload;
  std::string report;
  std::string error;
  const bool packed = assets::packPictureFile(path, &payload, &report, &error);
  std::remove(path.c_str());
  return packed;
}

}  // namespace fuzz
