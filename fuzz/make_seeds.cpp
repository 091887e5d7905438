// Writes the fuzzers' seed corpora from the shipped assets: the whole archive, each of its binary
// entries under its reader's name, and the three text files. Usage: make_seeds ASSETS_DIR OUT_DIR.
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "archive/fourcc.h"
#include "brannik-assets/assemble.h"
#include "brannik-assets/blob_io.h"

namespace {

bool write(const std::filesystem::path& dir, const std::string& name, const std::vector<uint8_t>& bytes) {
  std::error_code ec;
  std::filesystem::create_directories(dir, ec);
  std::string error;
  if (!assets::writeFile((dir / name).string(), bytes.data(), bytes.size(), &error)) {
    std::fprintf(stderr, "make_seeds: %s\n", error.c_str());
    return false;
  }
  return true;
}

std::string keyName(FourCC key) {
  std::string name;
  for (int i = 0; i < 4; ++i) {
    const char c = static_cast<char>(key >> (8 * i));
    name += (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ? c : '_';
  }
  return name;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: make_seeds ASSETS_DIR OUT_DIR\n");
    return 2;
  }
  const std::string assetsDir = argv[1];
  const std::filesystem::path out = argv[2];
  std::vector<assets::BlobEntry> entries;
  std::string error;
  if (!assets::assembleArchive(assetsDir, &entries, &error)) {
    std::fprintf(stderr, "make_seeds: %s\n", error.c_str());
    return 1;
  }
  bool ok = write(out / "archive", "shipped.bin", assets::writeArchiveBlob(entries));
  for (const assets::BlobEntry& e : entries) {
    const char* reader = e.type == 'P' ? "picture" : e.type == 'T' ? "texture_program" : nullptr;
    if (e.key == makeFourCC('S', 'O', 'N', 'G')) reader = "song";
    if (e.key == makeFourCC('D', 'R', 'U', 'M')) reader = "drums";
    if (reader != nullptr) ok = write(out / reader, keyName(e.key) + ".bin", e.payload) && ok;
  }
  const struct {
    const char* file;
    const char* reader;
  } texts[] = {{"song.txt", "song_text"},
               {"drums.txt", "drum_recipes"},
               {"textures.txt", "texture_text"},
               {"picture.png", "png_picture"}};
  for (const auto& t : texts) {
    std::vector<uint8_t> bytes;
    if (!assets::readFile(assetsDir + "/" + t.file, &bytes, &error)) {
      std::fprintf(stderr, "make_seeds: %s\n", error.c_str());
      return 1;
    }
    ok = write(out / t.reader, t.file, bytes) && ok;
  }
  return ok ? 0 : 1;
}
