// Runs the built program as a user would: the command line, a short capture twice, no display, and
// the live mode under a virtual X server quit with Escape.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>

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
  const fs::path dir = fs::temp_directory_path() / ("brannik_e2e_" + name);
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
  EXPECT_NE(bad.output.find("usage: brannik"), std::string::npos);
  EXPECT_EQ(runShell(program() + " --capture d --fps zero").exitCode, 2);
}

TEST(Capture, WritesFramesAndSoundtrackIdenticallyTwice) {
  const fs::path a = freshDir("capture_a");
  const fs::path b = freshDir("capture_b");
  ASSERT_EQ(runShell("timeout 120 " + program() + " --capture " + a.string() + " --fps 10 --duration 3").exitCode, 0);
  ASSERT_EQ(runShell("timeout 120 " + program() + " --capture " + b.string() + " --fps 10 --duration 3").exitCode, 0);

  for (int i = 0; i < 30; ++i) {
    char name[32];
    std::snprintf(name, sizeof(name), "frame_%06d.png", i);
    ASSERT_TRUE(fs::exists(a / name)) << name;
    EXPECT_EQ(readFile(a / name), readFile(b / name)) << name;
  }
  EXPECT_FALSE(fs::exists(a / "frame_000030.png"));
  // Three seconds of 44100 Hz stereo 16-bit after the 44-byte header.
  EXPECT_EQ(fs::file_size(a / "soundtrack.wav"), 44u + 3u * 176400u);
  EXPECT_EQ(readFile(a / "soundtrack.wav"), readFile(b / "soundtrack.wav"));
  fs::remove_all(a);
  fs::remove_all(b);
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

TEST(LiveMode, EscapeUnderAVirtualDisplayEndsWithExitCode0) {
  if (runShell("command -v Xvfb && command -v xdotool").exitCode != 0) {
    GTEST_SKIP() << "Xvfb or xdotool is not installed";
  }
  const std::string display = ":" + std::to_string(90 + (getpid() % 50));
  const Result start = runShell("Xvfb " + display + " -screen 0 800x600x24 -nolisten tcp >/dev/null 2>&1 & echo $!");
  const std::string xvfbPid = start.output.substr(0, start.output.find('\n'));
  // Wait for the server to take connections.
  bool up = false;
  for (int i = 0; i < 50 && !up; ++i) {
    up = runShell("DISPLAY=" + display + " xdotool getmouselocation").exitCode == 0;
    if (!up) std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  ASSERT_TRUE(up) << "Xvfb did not start";

  const fs::path log = fs::temp_directory_path() / "brannik_e2e_live.log";
  const std::string env = "DISPLAY=" + display + " SDL_AUDIODRIVER=dummy ";
  const Result launched =
      runShell(env + "sh -c '" + program() + " >" + log.string() + " 2>&1; echo $? >" + log.string() +
               ".code' >/dev/null 2>&1 & echo started");
  ASSERT_EQ(launched.exitCode, 0);
  // Give it time to come up and run its loop, then press Escape until it ends (or give up).
  bool ended = false;
  for (int i = 0; i < 40 && !ended; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(250));
    if (i >= 4) runShell(env + "xdotool key Escape");
    ended = fs::exists(log.string() + ".code") && fs::file_size(log.string() + ".code") > 0;
  }
  if (!ended) runShell("pkill -f '^" + program() + "$'");
  runShell("kill " + xvfbPid);
  ASSERT_TRUE(ended) << readFile(log);
  EXPECT_EQ(readFile(log.string() + ".code"), "0\n") << readFile(log);
  fs::remove(log);
  fs::remove(log.string() + ".code");
}

}  // namespace
