// Replays, through the fuzzed readers, the inputs that fuzzing once broke them with
// (tests/fuzz/regressions/TARGET/), and checks that the readers accept the shipped assets: a reader
// mended too eagerly would refuse good data.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "archive/archive.h"
#include "archive/embedded_archive.h"
#include "targets.h"

namespace {

namespace fs = std::filesystem;

const fs::path kRegressions = fs::path(BRANNIK_SOURCE_DIR) / "tests/fuzz/regressions";

std::vector<uint8_t> readBytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

const fuzz::Target* targetNamed(const std::string& name) {
  for (const fuzz::Target& t : fuzz::kTargets) {
    if (name == t.name) return &t;
  }
  return nullptr;
}

TEST(FuzzReplay, RegressionInputsReadWithoutFault) {
  // Sanitizer builds turn any fault here into a failure; the ordinary build still catches crashes.
  int replayed = 0;
  for (const fs::directory_entry& dir : fs::directory_iterator(kRegressions)) {
    if (!dir.is_directory()) continue;
    const fuzz::Target* target = targetNamed(dir.path().filename().string());
    ASSERT_NE(target, nullptr) << "no fuzz target named " << dir.path().filename() << ": its inputs are never replayed";
    for (const fs::directory_entry& file : fs::directory_iterator(dir.path())) {
      const std::vector<uint8_t> bytes = readBytes(file.path());
      SCOPED_TRACE(file.path().string());
      target->run(bytes.data(), bytes.size());
      ++replayed;
    }
  }
  std::printf("replayed %d regression inputs\n", replayed);
}

TEST(FuzzReplay, ShippedAssetsAreAccepted) {
  EXPECT_TRUE(fuzz::archive(g_archiveBlob, g_archiveBlobSize));

  // Each binary entry through its own reader.
  struct Payload {
    std::string key;
    int32_t type;
    std::vector<uint8_t> bytes;
  };
  std::vector<Payload> payloads;
  loadArchive(g_archiveBlob, g_archiveBlobSize);
  for (int32_t i = 0; i < archiveEntryCount(); ++i) {
    const ArchiveEntry* e = archiveEntryAt(i);
    payloads.push_back({fourCCText(e->key), e->type, std::vector<uint8_t>(e->storedData, e->storedData + e->storedSize)});
  }
  releaseArchive();
  int checked = 0;
  for (const Payload& p : payloads) {
    SCOPED_TRACE(p.key);
    fuzz::TargetFunction run = p.type == kEntryPicture ? fuzz::picture
                               : p.type == kEntryTexture ? fuzz::textureProgram
                               : p.key == "SONG"         ? fuzz::song
                               : p.key == "DRUM"         ? fuzz::drums
                                                         : nullptr;
    if (run == nullptr) continue;
    EXPECT_TRUE(run(p.bytes.data(), p.bytes.size()));
    ++checked;
  }
  EXPECT_EQ(checked, 12);  // song, drums, nine texture programs, one picture

  const struct {
    const char* file;
    fuzz::TargetFunction run;
  } texts[] = {{"song.txt", fuzz::songText},
               {"drums.txt", fuzz::drumRecipes},
               {"textures.txt", fuzz::textureText},
               {"picture.png", fuzz::pngPicture}};
  for (const auto& t : texts) {
    const std::vector<uint8_t> bytes = readBytes(fs::path(BRANNIK_SOURCE_DIR) / "assets" / t.file);
    ASSERT_FALSE(bytes.empty()) << t.file;
    EXPECT_TRUE(t.run(bytes.data(), bytes.size())) << t.file;
  }
}

}  // namespace
