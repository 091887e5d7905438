// Runs the built program as a user would: the command line, a short capture twice, no display, and
// the live mode under a virtual X server quit with Escape.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>

#include "scratch_path.h"
#include "virtual_display.h"

namespace fs = std::filesystem;

namespace {

struct Result {
  int exitCode;
  std::string output;  // standard output and standard error together
};

Result runShell(const std::string& command) {
  Result r{-1, ""};
  std::FILE* pipe = popen((command + " 2>&1").c_str(), "r");
  if (pipe == nullptr) return r;
  char buffer[4096];
  size_t n;
  while ((n = std::fread(buffer, 1, sizeof(buffer), pipe)) > 0) r.output.append(buffer, n);
  const int status = pclose(pipe);
  r.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return r;
}

std::string program() { return BRANNIK_BINARY; }

std::string readFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

fs::path freshDir(const std::string& name) {
  const fs::path dir = scratchPath("brannik_e2e_" + name);
  fs::remove_all(dir);
  return dir;
}

TEST(CommandLine, HelpVersionAndBadOptions) {
  const Result help = runShell(program() + " --help");
  EXPECT_EQ(help.exitCode, 0);
  EXPECT_NE(help.output.find("--capture"), std::string::npos);
  const Result version = runShell(program() + " --version");
  EXPECT_EQ(version.exitCode, 0);
  EXPECT_EQ(version.output.rfind("brannik ", 0), 0u);
  const Result bad = runShell(program() + " --frobnicate");
  EXPECT_EQ(bad.exitCode, 2);
  EXPECT_NE(bad.output.find("brannik --help"), std::string::npos);
  EXPECT_EQ(runShell(program() + " --capture d --fps zero").exitCode, 2);
}

// The first 20 seconds: the opening card, the whole scroller with its flashes, the box's first orders.
TEST(Capture, WritesFramesAndSoundtrackIdenticallyTwice) {
  const fs::path a = freshDir("capture_a");
  const fs::path b = freshDir("capture_b");
  for (const fs::path& dir : {a, b}) {
    const std::string limit = std::to_string(300 * BRANNIK_TIME_SCALE);
    ASSERT_EQ(runShell("timeout " + limit + " " + program() + " --capture " + dir.string() +
                       " --fps 10 --duration 20 --trace " + dir.string() + ".csv")
                  .exitCode,
              0);
  }
  // The traces agree in every column but the last (the machine's render time).
  auto withoutRenderTimes = [](const std::string& text) {
    std::string out;
    size_t start = 0;
    while (start < text.size()) {
      const size_t end = text.find('\n', start);
      const std::string line = text.substr(start, end - start);
      out += line.substr(0, line.rfind(',')) + "\n";
      if (end == std::string::npos) break;
      start = end + 1;
    }
    return out;
  };
  const std::string traceA = readFile(a.string() + ".csv");
  EXPECT_GT(std::count(traceA.begin(), traceA.end(), '\n'), 150);
  EXPECT_EQ(withoutRenderTimes(traceA), withoutRenderTimes(readFile(b.string() + ".csv")));

  for (int i = 0; i < 200; ++i) {
    char name[32];
    std::snprintf(name, sizeof(name), "frame_%06d.png", i);
    ASSERT_TRUE(fs::exists(a / name)) << name;
    EXPECT_EQ(readFile(a / name), readFile(b / name)) << name;
  }
  EXPECT_FALSE(fs::exists(a / "frame_000200.png"));
  // Twenty seconds of 44100 Hz stereo 16-bit after the 44-byte header.
  EXPECT_EQ(fs::file_size(a / "soundtrack.wav"), 44u + 20u * 176400u);
  EXPECT_EQ(readFile(a / "soundtrack.wav"), readFile(b / "soundtrack.wav"));
  for (const fs::path& dir : {a, b}) {
    fs::remove_all(dir);
    fs::remove(dir.string() + ".csv");
  }
}

// A video (where ffmpeg is installed): every frame reaches the file, in the order rendered, with the
// soundtrack beside it; the frames go through the encoder's writer thread and its short queue.
TEST(Capture, AVideoHoldsEveryFrameAndTheSoundtrack) {
  if (runShell("command -v ffprobe").exitCode != 0) GTEST_SKIP() << "ffmpeg is not installed";
  const fs::path video = fs::path(freshDir("capture_video").string() + ".mp4");
  fs::remove(video);
  const std::string limit = std::to_string(300 * BRANNIK_TIME_SCALE);
  const Result r = runShell("timeout " + limit + " " + program() + " --capture " + video.string() +
                            " --fps 30 --duration 3 --scale 2");
  ASSERT_EQ(r.exitCode, 0) << r.output;
  const Result frames = runShell("ffprobe -v error -count_frames -select_streams v:0 -show_entries "
                                 "stream=nb_read_frames,width,height -of csv=p=0 " + video.string());
  EXPECT_EQ(frames.output, "1280,960,90\n");
  const Result audio = runShell("ffprobe -v error -select_streams a:0 -show_entries stream=sample_rate,channels "
                                "-of csv=p=0 " + video.string());
  EXPECT_EQ(audio.output, "44100,2\n");
  fs::remove(video);
}

TEST(Capture, UnwritableTargetFailsWithAMessage) {
  const Result r = runShell(program() + " --capture /proc/brannik-no-such-dir --duration 1");
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.output.find("brannik: "), std::string::npos);
}

TEST(LiveMode, WithoutADisplayReportsTheCardErrorAndExits255) {
  const Result r = runShell("env -u DISPLAY -u WAYLAND_DISPLAY -u SDL_VIDEODRIVER SDL_AUDIODRIVER=dummy timeout 60 " +
                            program());
  EXPECT_EQ(r.exitCode, 255);
  EXPECT_NE(r.output.find("ERROR: get a new 3D card"), std::string::npos);
}

// Share of a screenshot's pixels (an X window dump of the root window, 24-bit) that are not black;
// -1 when the dump cannot be read.
double litShareOfScreenshot(const std::string& display) {
  const fs::path dump = scratchPath("brannik_e2e_shot.xwd");
  if (runShell("DISPLAY=" + display + " xwd -root -silent -out " + dump.string()).exitCode != 0) return -1;
  const std::string data = readFile(dump);
  fs::remove(dump);
  auto field = [&](int i) {
    const auto* p = reinterpret_cast<const unsigned char*>(data.data()) + 4 * i;
    return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | p[3];
  };
  if (data.size() < 100) return -1;
  const uint32_t headerSize = field(0), width = field(4), height = field(5), bitsPerPixel = field(11);
  const uint32_t bytesPerLine = field(12), colors = field(19);
  const size_t start = headerSize + 12u * colors;
  if (bitsPerPixel != 32 || data.size() < start + static_cast<size_t>(bytesPerLine) * height) return -1;
  size_t lit = 0;
  for (uint32_t y = 0; y < height; ++y) {
    for (uint32_t x = 0; x < width; ++x) {
      uint32_t word;
      std::memcpy(&word, data.data() + start + static_cast<size_t>(y) * bytesPerLine + 4 * x, 4);
      const int r = (word >> 16) & 0xFF, g = (word >> 8) & 0xFF, b = word & 0xFF;
      if (r + g + b > 24) ++lit;
    }
  }
  return static_cast<double>(lit) / (static_cast<double>(width) * height);
}

TEST(LiveMode, EscapeUnderAVirtualDisplayEndsWithExitCode0) {
  if (!virtualDisplayToolsInstalled()) GTEST_SKIP() << "Xvfb, xdotool or xwd is not installed";
  VirtualDisplay x;
  ASSERT_TRUE(x.start()) << "Xvfb did not start";
  const std::string display = x.display();

  const fs::path log = scratchPath("brannik_e2e_live.log");
  const std::string env = x.env();
  const Result launched =
      runShell(env + "sh -c '" + program() + " >" + log.string() + " 2>&1; echo $? >" + log.string() +
               ".code' >/dev/null 2>&1 & echo started");
  ASSERT_EQ(launched.exitCode, 0);
  // Watch the screen for a few seconds: the opening card (a little white and magenta on black), then
  // the scroller's backdrop over the whole picture. Then press Escape until it ends (or give up).
  bool sawCard = false;
  bool sawScroller = false;
  for (int i = 0; i < 60 && !sawScroller; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    const double lit = litShareOfScreenshot(display);
    if (lit > 0.001 && lit < 0.2) sawCard = true;
    if (lit > 0.3) sawScroller = true;
  }
  EXPECT_TRUE(sawCard) << "the opening card never showed";
  EXPECT_TRUE(sawScroller) << "the scroller never showed";
  bool ended = false;
  for (int i = 0; i < 40 * BRANNIK_TIME_SCALE && !ended; ++i) {
    runShell(env + "xdotool key Escape");
    std::this_thread::sleep_for(std::chrono::milliseconds(250));
    ended = fs::exists(log.string() + ".code") && fs::file_size(log.string() + ".code") > 0;
  }
  if (!ended) runShell("pkill -f '^" + program() + "$'");
  ASSERT_TRUE(ended) << readFile(log);
  EXPECT_EQ(readFile(log.string() + ".code"), "0\n") << readFile(log);
  fs::remove(log);
  fs::remove(log.string() + ".code");
}

}  // namespace
