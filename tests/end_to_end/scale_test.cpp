// --scale from the command line: a capture at --scale 2 writes 1280 x 960 frames of the same song
// positions as at --scale 1 (the director's tests compare the pictures themselves); a bad scale is one
// line and exit 2, with nothing written.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "capture_files.h"
#include "scratch_path.h"

namespace fs = std::filesystem;

namespace {

// A capture of 2.5 s at --fps 10 from order 41 (the helix) at `scale`: its trace and last frame.
struct ShortCapture {
  std::string output;
  int exitCode = -1;
  std::vector<TraceLine> trace;
  Frame last;

  explicit ShortCapture(int scale) {
    const std::string dir = scratchPath("brannik_e2e_scale" + std::to_string(scale)).string();
    std::error_code ignored;
    fs::remove_all(dir, ignored);
    const std::string limit = std::to_string(120 * BRANNIK_TIME_SCALE);
    exitCode = runCommand("timeout " + limit + " " + std::string(BRANNIK_BINARY) + " --capture " + dir +
                              " --fps 10 --duration 2.5 --from 41 --scale " + std::to_string(scale) + " --trace " +
                              dir + ".csv",
                          &output);
    trace = readTrace(dir + ".csv");
    if (!trace.empty()) readFrame(framePath(dir, trace.back().frame), &last);
    fs::remove_all(dir, ignored);
    fs::remove(dir + ".csv", ignored);
  }
};

TEST(Scale, ACaptureAtScale2IsTwiceAsWideAndHighAtTheSameSongPositions) {
  const ShortCapture small(1);
  const ShortCapture large(2);
  ASSERT_EQ(small.exitCode, 0) << small.output;
  ASSERT_EQ(large.exitCode, 0) << large.output;
  EXPECT_EQ(small.last.width, 640);
  EXPECT_EQ(small.last.height, 480);
  EXPECT_EQ(large.last.width, 1280);
  EXPECT_EQ(large.last.height, 960);
  ASSERT_EQ(large.trace.size(), small.trace.size());
  ASSERT_GE(small.trace.size(), 5u);
  for (size_t i = 0; i < small.trace.size(); ++i) {
    EXPECT_EQ(large.trace[i].frame, small.trace[i].frame);
    EXPECT_EQ(large.trace[i].beats, small.trace[i].beats);
    EXPECT_EQ(large.trace[i].scene, 5);
  }
}

TEST(Scale, BadScalesExitWith2AndOneLine) {
  const fs::path dir = scratchPath("brannik_e2e_bad_scale");
  std::error_code ignored;
  fs::remove_all(dir, ignored);
  for (const char* n : {"0", "5", "two"}) {
    std::string output;
    EXPECT_EQ(runCommand(std::string(BRANNIK_BINARY) + " --capture " + dir.string() + " --scale " + n, &output), 2)
        << n;
    EXPECT_EQ(output, std::string("brannik: --scale takes a whole number from 1 to 4, not '") + n +
                          "' (brannik --help lists the options)\n");
    EXPECT_FALSE(fs::exists(dir)) << n;
  }
}

}  // namespace
