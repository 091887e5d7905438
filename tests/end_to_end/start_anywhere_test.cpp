// Starting anywhere: a soundtrack stretch is the whole soundtrack's, sample for sample; bad orders are
// one line and exit 2; in the live mode under a virtual display the scene keys move the run (seen in
// its frame trace). The capture taken from a later order is compared with the whole capture in
// presentation_test.cpp, which has one.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>

#include "scratch_path.h"
#include "archive/archive.h"
#include "archive/embedded_archive.h"
#include "capture_files.h"
#include "music/engine.h"
#include "virtual_display.h"

namespace fs = std::filesystem;

namespace {

std::string program() { return BRANNIK_BINARY; }

constexpr size_t kWavHeader = 44;

TEST(StartAnywhere, ASoundtrackStretchIsTheWholeSoundtracksSampleForSample) {
  const fs::path whole = scratchPath("brannik_e2e_whole_soundtrack.wav");
  const fs::path part = scratchPath("brannik_e2e_41_49.wav");
  ASSERT_EQ(runCommand(program() + " --soundtrack " + whole.string()), 0);
  ASSERT_EQ(runCommand(program() + " --soundtrack " + part.string() + " --from 41 --to 49"), 0);
  const std::string a = readFileBytes(whole.string());
  const std::string b = readFileBytes(part.string());
  fs::remove(whole);
  fs::remove(part);

  // Where the orders fall, from the row length: the whole soundtrack is the song's orders of 16 rows
  // after a lead of less than a row (the blocks before the sequencer's first row).
  loadArchive(g_archiveBlob, g_archiveBlobSize);
  music_build();
  const size_t orderFrames = static_cast<size_t>(g_sequencer.rowSamples()) * 16;
  const size_t wholeFrames = (a.size() - kWavHeader) / 4;
  const size_t songFrames = orderFrames * static_cast<size_t>(g_sequencer.songOrders());
  ASSERT_GE(wholeFrames, songFrames);
  const size_t lead = wholeFrames - songFrames;
  ASSERT_LT(lead, orderFrames / 16);

  ASSERT_EQ(b.size(), kWavHeader + 4 * 8 * orderFrames);
  EXPECT_EQ(b.substr(0, 4), "RIFF");
  const size_t offset = kWavHeader + 4 * (lead + 41 * orderFrames);
  // Compared in whole orders, so a failure names the order.
  for (size_t k = 0; k < 8; ++k) {
    const size_t at = 4 * k * orderFrames;
    EXPECT_TRUE(b.compare(kWavHeader + at, 4 * orderFrames, a, offset + at, 4 * orderFrames) == 0)
        << "order " << 41 + k << " differs";
  }
}

TEST(StartAnywhere, BadOrdersExitWith2AndOneLine) {
  const fs::path out = scratchPath("brannik_e2e_bad_order.wav");
  fs::remove(out);
  for (const char* args : {"--from 92", "--from -1", "--to 0", "--to 93", "--from 41 --to 41", "--from 50 --to 49",
                           "--from", "--to x"}) {
    std::string output;
    EXPECT_EQ(runCommand(program() + " --soundtrack " + out.string() + " " + args, &output), 2) << args;
    EXPECT_EQ(output.rfind("brannik: ", 0), 0u) << output;
    EXPECT_EQ(output.find('\n'), output.size() - 1) << "one line: " << output;
    EXPECT_NE(output.find("(brannik --help lists the options)"), std::string::npos) << output;
    EXPECT_FALSE(fs::exists(out)) << args;
  }
}

// Waits up to `seconds` for a trace line (after the first `from` lines) that `match` accepts; its
// index, or -1.
template <typename Match>
int waitForTraceLine(const std::string& path, size_t from, double seconds, Match match) {
  const auto until = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
  while (std::chrono::steady_clock::now() < until) {
    const std::vector<TraceLine> trace = readTrace(path);
    for (size_t i = from; i < trace.size(); ++i) {
      if (match(trace[i])) return static_cast<int>(i);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  return -1;
}

TEST(LiveMode, RightArrowSkipsTheScrollerToTheBoxAndHomeGoesBackToOrder0) {
  if (!virtualDisplayToolsInstalled()) GTEST_SKIP() << "Xvfb, xdotool or xwd is not installed";
  VirtualDisplay x;
  ASSERT_TRUE(x.start()) << "Xvfb did not start";
  const std::string base = scratchPath("brannik_e2e_keys").string();
  for (const char* suffix : {".csv", ".log", ".code", ".pid"}) fs::remove(base + suffix);
  ASSERT_EQ(x.run("sh -c '" + program() + " --trace " + base + ".csv >" + base + ".log 2>&1 & echo $! >" + base +
                  ".pid; wait $!; echo $? >" + base + ".code' >/dev/null 2>&1 &"),
            0);

  const std::string trace = base + ".csv";
  const int wait = BRANNIK_TIME_SCALE;  // slower builds get longer to reach each point
  const int scroller = waitForTraceLine(trace, 0, 60 * wait, [](const TraceLine& t) { return t.scene == 4; });
  ASSERT_GE(scroller, 0) << "the scroller never showed: " << readFileBytes(base + ".log");
  x.run("xdotool key Right");
  const int box = waitForTraceLine(trace, 0, 30 * wait, [](const TraceLine& t) { return t.scene == 3; });
  ASSERT_GE(box, 1) << "the box never showed";
  x.run("xdotool key Home");
  const int home =
      waitForTraceLine(trace, static_cast<size_t>(box), 30 * wait, [](const TraceLine& t) { return t.order == 0; });

  bool ended = false;
  for (int i = 0; i < 40 * wait && !ended; ++i) {
    x.run("xdotool key Escape");
    std::this_thread::sleep_for(std::chrono::milliseconds(250));
    ended = fs::exists(base + ".code") && fs::file_size(base + ".code") > 0;
  }
  if (!ended) runCommand("kill $(cat " + base + ".pid)");
  ASSERT_TRUE(ended) << readFileBytes(base + ".log");
  EXPECT_EQ(readFileBytes(base + ".code"), "0\n") << readFileBytes(base + ".log");

  const std::vector<TraceLine> lines = readTrace(trace);
  // The box came by the key: straight from the scroller's first orders (it plays through order 7
  // otherwise), at its first row.
  EXPECT_EQ(lines[box - 1].scene, 4);
  EXPECT_LT(lines[box - 1].order, 6);
  EXPECT_EQ(lines[box].order, 8);
  EXPECT_LE(lines[box].row, 8 * 16 + 2);
  // Home: back to the start of the song, the time with it.
  ASSERT_GT(home, box) << "Home never went back to order 0";
  EXPECT_EQ(lines[home].scene, 4);
  EXPECT_LE(lines[home].row, 2);
  EXPECT_LT(lines[home].time, 1.0);
  for (const char* suffix : {".csv", ".log", ".code", ".pid"}) fs::remove(base + suffix);
}

}  // namespace
