// Offline runs that end early: a stop signal after a few frames, a file size limit, and command lines
// that must be refused before anything is written. Whatever is left on disk must be complete.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>

#include "scratch_path.h"
#include "capture_files.h"

namespace fs = std::filesystem;

namespace {

const std::string kProgram = BRANNIK_BINARY;

fs::path freshPath(const std::string& name) {
  const fs::path path = scratchPath("brannik_faults_" + name);
  std::error_code ignored;
  fs::remove_all(path, ignored);
  return path;
}

// The data size a WAV header claims, and whether it agrees with the file and whole sample frames.
struct Wav {
  uint32_t dataBytes = 0;
  bool consistent = false;
};
Wav readWav(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  Wav w;
  if (bytes.size() < 44 || bytes.compare(0, 4, "RIFF") != 0 || bytes.compare(8, 4, "WAVE") != 0) return w;
  std::memcpy(&w.dataBytes, bytes.data() + 40, 4);
  uint32_t riff = 0;
  std::memcpy(&riff, bytes.data() + 4, 4);
  w.consistent = w.dataBytes == bytes.size() - 44 && riff == bytes.size() - 8 && w.dataBytes % 4 == 0;
  return w;
}

int countFrames(const fs::path& dir) {
  int frames = 0;
  while (fs::exists(framePath(dir.string(), frames))) ++frames;
  return frames;
}

// Starts `command` in the background, waits for `file` to appear, sends `signal`, and returns the exit code.
int signalAfter(const std::string& command, const fs::path& file, const char* signal, std::string* output) {
  const std::string script = command + " & pid=$!; for i in $(seq 600); do [ -e " + file.string() +
                             " ] && break; sleep 0.1; done; kill -" + signal + " $pid; wait $pid";
  return runCommand("bash -c '" + script + "'", output);
}

TEST(CaptureFaults, AStopSignalEndsACaptureAfterAFrameWithEveryFileComplete) {
  const fs::path dir = freshPath("sigint");
  std::string output;
  const int code = signalAfter(kProgram + " --capture " + dir.string() + " --fps 10", dir / "frame_000012.png",
                               "INT", &output);
  EXPECT_EQ(code, 130) << output;
  EXPECT_NE(output.find("interrupted"), std::string::npos) << output;
  const int frames = countFrames(dir);
  EXPECT_GE(frames, 13);
  EXPECT_LT(frames, 200) << "it went on after the signal";
  for (int i = 0; i < frames; ++i) {
    Frame f;
    EXPECT_TRUE(readFrame(framePath(dir.string(), i), &f)) << "frame " << i;
  }
  // 4410 stereo 16-bit sample frames of sound per picture frame at 10 frames a second.
  const Wav wav = readWav(dir / "soundtrack.wav");
  EXPECT_TRUE(wav.consistent);
  EXPECT_EQ(wav.dataBytes, static_cast<uint32_t>(frames) * 4410u * 4u);
  fs::remove_all(dir);
}

TEST(CaptureFaults, SigtermEndsTheSoundtrackWithAValidShorterFile) {
  const fs::path wavPath = freshPath("sigterm.wav");
  std::string output;
  const int code = signalAfter(kProgram + " --soundtrack " + wavPath.string(), wavPath, "TERM", &output);
  const Wav wav = readWav(wavPath);
  if (code == 0) GTEST_SKIP() << "the soundtrack finished before the signal arrived";
  EXPECT_EQ(code, 143) << output;
  EXPECT_TRUE(wav.consistent);
  fs::remove(wavPath);
}

TEST(CaptureFaults, AFileSizeLimitStopsWithThePathAndTheReasonAndValidFiles) {
  const fs::path dir = freshPath("limit");
  std::string output;
  // 1000 KiB per file: the soundtrack passes it after about six seconds.
  const int code = runCommand("bash -c 'ulimit -f 1000; " + kProgram + " --capture " + dir.string() +
                                  " --fps 10 --duration 10'",
                              &output);
  EXPECT_EQ(code, 1) << output;
  EXPECT_NE(output.find((dir / "soundtrack.wav").string() + ": File too large"), std::string::npos) << output;
  const Wav wav = readWav(dir / "soundtrack.wav");
  EXPECT_TRUE(wav.consistent);
  EXPECT_GT(wav.dataBytes, 0u);
  const int frames = countFrames(dir);
  for (int i = 0; i < frames; ++i) {
    Frame f;
    EXPECT_TRUE(readFrame(framePath(dir.string(), i), &f)) << "frame " << i;
  }
  fs::remove_all(dir);
}

TEST(CaptureFaults, BadCommandLinesSayWhatIsWrongOnOneLineAndWriteNothing) {
  const fs::path dir = freshPath("badline");
  const std::string d = dir.string();
  const struct {
    std::string args;
    const char* says;
  } cases[] = {
      {"--capture " + d + " --fps 0", "--fps"},        {"--capture " + d + " --fps 1001", "--fps"},
      {"--capture " + d + " --fps abc", "--fps"},      {"--capture " + d + " --duration -1", "--duration"},
      {"--capture " + d + " --duration nan", "--duration"}, {"--capture", "--capture"},
      {"--capture " + d + " --frobnicate", "--frobnicate"}, {"--soundtrack " + d + ".wav --trace", "--trace"},
  };
  for (const auto& c : cases) {
    std::string output;
    EXPECT_EQ(runCommand(kProgram + " " + c.args, &output), 2) << c.args;
    EXPECT_EQ(std::count(output.begin(), output.end(), '\n'), 1) << c.args << ": " << output;
    EXPECT_NE(output.find(c.says), std::string::npos) << c.args << ": " << output;
    EXPECT_FALSE(fs::exists(dir)) << c.args;
    EXPECT_FALSE(fs::exists(d + ".wav")) << c.args;
  }
}

}  // namespace
