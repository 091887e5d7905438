// The music's command-line ends: --soundtrack's render length, and the asset tool's song and drum
// commands (exit codes, messages naming file and line, the round trip through files).
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "host/soundtrack.h"
#include "music/engine.h"
#include "music/song_text.h"

namespace {

namespace fs = std::filesystem;

// The tool lands beside the program in the build folder.
std::string toolPath() { return (fs::path(BRANNIK_BINARY).parent_path() / "brannik-assets").string(); }

struct ToolRun {
  int code;
  std::string output;  // standard output and error together
};

ToolRun runTool(const std::string& args) {
  const std::string command = toolPath() + " " + args + " 2>&1";
  std::FILE* pipe = popen(command.c_str(), "r");
  ToolRun run{-1, ""};
  if (!pipe) return run;
  char buffer[4096];
  size_t n = 0;
  while ((n = std::fread(buffer, 1, sizeof(buffer), pipe)) > 0) run.output.append(buffer, n);
  const int status = pclose(pipe);
  run.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return run;
}

fs::path scratchDir(const char* name) {
  const fs::path dir = fs::temp_directory_path() / (std::string("brannik_music_") + name);
  fs::remove_all(dir);
  fs::create_directories(dir);
  return dir;
}

void writeText(const fs::path& path, const std::string& text) { std::ofstream(path) << text; }

std::string readAll(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

TEST(Soundtrack, RendersUpToTheFirstRowAfterTheLastOrder) {
  // Two orders of one row: rows fire on blocks 152, 363 (211 later) and 514 (151 later); the third
  // is the first row after the song, and the block that fires it is the last one written.
  std::vector<uint8_t> song;
  std::string error;
  ASSERT_TRUE(compileSongText("tempo 114\nrows 1\nsynth 0\norders 0 0\n", "t.txt", &song, &error)) << error;
  ASSERT_TRUE(music_buildFrom(song.data(), static_cast<int32_t>(song.size()), nullptr, 0));
  const fs::path dir = scratchDir("soundtrack");
  int64_t frames = 0;
  ASSERT_TRUE(host::renderSoundtrack((dir / "s.wav").string(), &frames, &error)) << error;
  EXPECT_EQ(frames, 514 * 32);
  EXPECT_EQ(fs::file_size(dir / "s.wav"), 44u + 514u * 32u * 4u);
  EXPECT_FALSE(host::renderSoundtrack((dir / "missing" / "s.wav").string(), &frames, &error));
  EXPECT_NE(error.find("cannot create"), std::string::npos);
}

TEST(AssetTool, SongCommandsRoundTripThroughFiles) {
  const fs::path dir = scratchDir("song");
  writeText(dir / "in.txt", "tempo 100\nrows 8\nsynth 2\npattern 1\n  E1 xa\norders 1 - 1\nset 0.3 4 9\n");
  ToolRun r = runTool("song " + (dir / "in.txt").string() + " " + (dir / "a.bin").string());
  ASSERT_EQ(r.code, 0) << r.output;
  r = runTool("song-text " + (dir / "a.bin").string());
  ASSERT_EQ(r.code, 0) << r.output;
  EXPECT_NE(r.output.find("set 0.3 4 9"), std::string::npos) << r.output;
  writeText(dir / "back.txt", r.output);
  r = runTool("song " + (dir / "back.txt").string() + " " + (dir / "b.bin").string());
  ASSERT_EQ(r.code, 0) << r.output;
  EXPECT_EQ(readAll(dir / "a.bin"), readAll(dir / "b.bin"));
}

TEST(AssetTool, SongErrorsNameFileAndLineAndExitOne) {
  const fs::path dir = scratchDir("bad");
  writeText(dir / "bad.txt", "tempo 114\n\nsynth 0\nset 0.0 25 1\n");
  ToolRun r = runTool("song " + (dir / "bad.txt").string() + " " + (dir / "out.bin").string());
  EXPECT_EQ(r.code, 1);
  EXPECT_NE(r.output.find("bad.txt:4: parameter index '25'"), std::string::npos) << r.output;
  EXPECT_FALSE(fs::exists(dir / "out.bin"));
  writeText(dir / "junk.bin", "xyz");
  r = runTool("song-text " + (dir / "junk.bin").string());
  EXPECT_EQ(r.code, 1);
  EXPECT_NE(r.output.find("junk.bin: offset 3"), std::string::npos) << r.output;
  EXPECT_EQ(runTool("song onlyone").code, 2);
}

TEST(AssetTool, DrumsEncodeAndDecodeToWavFiles) {
  const fs::path dir = scratchDir("drums");
  writeText(dir / "d.txt", "sound 9 type 1 samples 1024 snare\n  noise 0.5 decay 0.02\nsound 4 type 0 samples 512\n"
                           "  tone 0.5 freq 200 decay 0.01\n");
  ToolRun r = runTool("drums " + (dir / "d.bin").string() + " " + (dir / "d.txt").string());
  ASSERT_EQ(r.code, 0) << r.output;
  // Count, then per record 12 bytes of header: 512 payload bytes for type 1, 512 for type 0.
  EXPECT_EQ(fs::file_size(dir / "d.bin"), 4u + 12u + 512u + 12u + 512u);
  r = runTool("drums-wav " + (dir / "d.bin").string() + " " + dir.string());
  ASSERT_EQ(r.code, 0) << r.output;
  EXPECT_EQ(fs::file_size(dir / "drum_09.wav"), 44u + 1024u * 4u);
  EXPECT_EQ(fs::file_size(dir / "drum_04.wav"), 44u + 512u * 4u);
  EXPECT_EQ(fs::file_size(dir / "drum_11.wav"), 44u + 12000u * 4u);  // the bass drum (12000 = 375 blocks)
  writeText(dir / "bad.txt", "sound 9 type 1 samples 1024\n  hiss 0.5 decay 0.02\n");
  r = runTool("drums " + (dir / "x.bin").string() + " " + (dir / "bad.txt").string());
  EXPECT_EQ(r.code, 1);
  EXPECT_NE(r.output.find("bad.txt:2: unknown layer 'hiss'"), std::string::npos) << r.output;
}

}  // namespace
