// brannik-assets on good and bad input: the archive it builds from assets/, and the exit code 1 with a
// message naming the file (and line) for a wrong picture or a malformed texture program.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include <sys/wait.h>
#include <unistd.h>

#include "archive/archive.h"
#include "brannik-assets/blob_io.h"
#include "brannik-assets/png_files.h"

namespace {

namespace fs = std::filesystem;

struct ToolRun {
  int exitCode;
  std::string output;
};

ToolRun runTool(const std::string& arguments) {
  const std::string command = std::string(BRANNIK_ASSETS_TOOL) + " " + arguments + " 2>&1";
  std::FILE* pipe = popen(command.c_str(), "r");
  ToolRun run{-1, ""};
  if (pipe == nullptr) return run;
  char buffer[512];
  while (std::fgets(buffer, sizeof buffer, pipe) != nullptr) run.output += buffer;
  const int status = pclose(pipe);
  run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return run;
}

class ToolTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("brannik_tool_test_" + std::to_string(::getpid()));
    fs::create_directories(dir_);
  }
  void TearDown() override {
    fs::remove_all(dir_);
    releaseArchive();
  }
  // A copy of assets/ that a test may spoil.
  std::string copyAssets() {
    const fs::path assets = dir_ / "assets";
    fs::create_directories(assets);
    for (const char* name : {"textures.txt", "picture.png", "song.txt", "drums.txt"}) {
      fs::copy_file(fs::path(BRANNIK_SOURCE_DIR) / "assets" / name, assets / name);
    }
    return assets.string();
  }
  fs::path dir_;
};

}  // namespace

TEST_F(ToolTest, BuildWritesTheThirteenEntriesInOrder) {
  const std::string out = (dir_ / "a.bin").string();
  const ToolRun run = runTool("build " + out + " " + BRANNIK_SOURCE_DIR "/assets");
  ASSERT_EQ(run.exitCode, 0) << run.output;
  std::vector<uint8_t> blob;
  std::string error;
  ASSERT_TRUE(assets::readFile(out, &blob, &error)) << error;
  loadArchive(blob.data(), blob.size());
  const char* keys[] = {"SONG", "DRUM", "RULL", "FLAR", "ROUN", "ROSA", "ERMO",
                        "AUMT", "WATE", "KLIB", "KLI2", "DEZT", "AUMP"};
  const char types[] = "RRRTTTTTTTTTP";
  ASSERT_EQ(archiveEntryCount(), 13);
  for (int i = 0; i < 13; ++i) {
    EXPECT_EQ(fourCCText(archiveEntryAt(i)->key), keys[i]);
    EXPECT_EQ(archiveEntryAt(i)->type, types[i]) << keys[i];
  }
  const ArchiveEntry* picture = findEntry(makeFourCC('A', 'U', 'M', 'P'));
  ASSERT_NE(picture, nullptr);
  EXPECT_EQ(picture->pictureSize, 0x00800080u);
  EXPECT_EQ(picture->dataSize, 128 * 128 * 4);
  const ToolRun list = runTool("list " + out);
  EXPECT_EQ(list.exitCode, 0);
  EXPECT_NE(list.output.find("AUMP  P"), std::string::npos) << list.output;
}

TEST_F(ToolTest, MalformedProgramLineNamesFileAndLine) {
  const std::string assets = copyAssets();
  std::ofstream(assets + "/textures.txt") << "texture ABCD\nFill 7 = 0 - - 1 2 3\n";
  const ToolRun run = runTool("build " + (dir_ / "a.bin").string() + " " + assets);
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_NE(run.output.find(assets + "/textures.txt:2:"), std::string::npos) << run.output;
}

TEST_F(ToolTest, PictureOfTheWrongSizeOrUnreadableIsRefused) {
  const std::string small = (dir_ / "small.png").string();
  std::vector<uint32_t> pixels(64 * 64, 0xFF336699u);
  std::string error;
  ASSERT_TRUE(assets::writePngRgba(small, pixels.data(), 64, 64, &error)) << error;
  ToolRun run = runTool("picture " + small + " " + (dir_ / "p.bin").string());
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_NE(run.output.find(small + ": the picture must be 128 x 128 pixels, this one is 64 x 64"), std::string::npos)
      << run.output;
  std::ofstream(dir_ / "junk.png") << "not a png";
  run = runTool("picture " + (dir_ / "junk.png").string() + " " + (dir_ / "p.bin").string());
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_NE(run.output.find("junk.png: not a readable PNG"), std::string::npos) << run.output;
  run = runTool("list " + (dir_ / "missing.bin").string());
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_NE(run.output.find("missing.bin: cannot open"), std::string::npos) << run.output;
}

TEST_F(ToolTest, TexturesWritesTheNineLayersAndPictures) {
  const ToolRun run = runTool("textures " + dir_.string() + " " + BRANNIK_SOURCE_DIR "/assets");
  ASSERT_EQ(run.exitCode, 0) << run.output;
  for (const char* key : {"FLAR", "ROUN", "ROSA", "ERMO", "AUMT", "WATE", "KLIB", "KLI2", "DEZT"}) {
    EXPECT_EQ(fs::file_size(dir_ / (std::string(key) + ".bgra")), 262144u) << key;
    EXPECT_TRUE(fs::exists(dir_ / (std::string(key) + ".png"))) << key;
  }
  std::vector<uint8_t> dezt;
  std::string error;
  ASSERT_TRUE(assets::readFile((dir_ / "DEZT.bgra").string(), &dezt, &error));
  for (size_t i = 0; i < dezt.size(); i += 4) ASSERT_EQ(dezt[i + 3], 0xFF) << i;
  EXPECT_TRUE(fs::exists(dir_ / "WATE_alpha.png"));
}
