// SONG and DRUM entries from assets/song.txt and assets/drums.txt.
#include "brannik-assets/music_entries.h"

#include <cstdio>

#include "music/drum_encode.h"
#include "music/song_text.h"

namespace music_files {

bool readWholeFile(const std::string& path, std::string* text, std::string* error) {
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) {
    *error = path + ": cannot open";
    return false;
  }
  text->clear();
  char buffer[65536];
  size_t n = 0;
  while ((n = std::fread(buffer, 1, sizeof(buffer), f)) > 0) text->append(buffer, n);
  const bool ok = !std::ferror(f);
  std::fclose(f);
  if (!ok) *error = path + ": read error";
  return ok;
}

bool writeWholeFile(const std::string& path, const std::vector<uint8_t>& bytes, std::string* error) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) {
    *error = path + ": cannot create";
    return false;
  }
  const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  if (std::fclose(f) != 0 || !ok) {
    *error = path + ": write error";
    return false;
  }
  return true;
}

}  // namespace music_files

using music_files::readWholeFile;

namespace assets {

bool buildSongEntry(const std::string& assetsDir, std::vector<uint8_t>* out, std::string* error) {
  const std::string path = assetsDir + "/song.txt";
  std::string text;
  if (!readWholeFile(path, &text, error)) return false;
  return compileSongText(text, path, out, error);
}

bool buildDrumEntry(const std::string& assetsDir, std::vector<uint8_t>* out, std::string* error) {
  const std::string path = assetsDir + "/drums.txt";
  std::string text;
  if (!readWholeFile(path, &text, error)) return false;
  std::vector<DrumRecipe> recipes;
  if (!parseDrumRecipes(text, path, &recipes, error)) return false;
  *out = encodeDrumEntry(recipes);
  return true;
}

}  // namespace assets
