// The whole presentation captured once at 10 frames per second with its frame trace: it runs to the
// end by itself, every scene shows what it must in a frame from its middle, and one frame per scene
// (plus the opening card) matches the checked-in golden checksums. BRANNIK_WRITE_GOLDEN=1 rewrites them
// instead (`make golden`). A capture started at a later order (--from) shows the same frames and plays the
// same sound as the whole capture at the same song positions, also at one frame per second.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>

#include "scratch_path.h"
#include "capture_files.h"
#include "music/stream_ring.h"

namespace fs = std::filesystem;

namespace {

const std::string kGoldenFile = std::string(BRANNIK_SOURCE_DIR) + "/tests/end_to_end/golden_frames.txt";

// The whole presentation captured once: its files, its trace, and the frames of each scene.
struct WholeCapture {
  std::string dir;
  std::string output;
  int exitCode = -1;
  std::vector<TraceLine> trace;

  void run() {
    dir = scratchPath("brannik_e2e_whole").string();
    std::error_code ignored;
    fs::remove_all(dir, ignored);
    const std::string limit = std::to_string(900 * BRANNIK_TIME_SCALE);
    exitCode = runCommand("timeout " + limit + " " + std::string(BRANNIK_BINARY) + " --capture " + dir +
                              " --fps 10 --trace " + dir + ".csv",
                          &output);
    trace = readTrace(dir + ".csv");
  }
  ~WholeCapture() {
    std::error_code ignored;
    fs::remove_all(dir, ignored);
    fs::remove(dir + ".csv", ignored);
  }

  // The capture frame in the middle of the first run of `scene` (the drawn frames of its first run).
  int middleFrame(int scene) const {
    std::vector<int> frames;
    for (const TraceLine& t : trace) {
      if (t.scene == scene) {
        frames.push_back(t.frame);
      } else if (!frames.empty()) {
        break;
      }
    }
    return frames.empty() ? -1 : frames[frames.size() / 2];
  }
  int firstFrame(int scene) const {
    for (const TraceLine& t : trace) {
      if (t.scene == scene) return t.frame;
    }
    return -1;
  }
  Frame frame(int index) const {
    Frame f;
    EXPECT_TRUE(readFrame(framePath(dir, index), &f)) << "frame " << index;
    return f;
  }
};

struct Census {
  double lit = 0;                                   // share of pixels with red or blue in them
  double reddish = 0, bluish = 0, magenta = 0;      // share where red, blue or both clearly lead
  double warm = 0, cool = 0;                        // red well above blue, or blue well above red
};

Census census(const Frame& f) {
  Census c;
  for (uint32_t p : f.pixels) {
    const int r = (p >> 16) & 0xFF, b = p & 0xFF;
    if (r + b > 24) c.lit += 1;
    if (r > 60 && r > b + 40) c.reddish += 1;
    if (b > 60 && b > r + 40) c.bluish += 1;
    if (r > 200 && b > 200) c.magenta += 1;
    if (r > 40 && r > b + 40) c.warm += 1;
    if (b > 40 && b > r + 40) c.cool += 1;
  }
  const double n = static_cast<double>(f.pixels.size());
  c.lit /= n;
  c.reddish /= n;
  c.bluish /= n;
  c.magenta /= n;
  c.warm /= n;
  c.cool /= n;
  return c;
}

void checkRunsToTheEndThroughEveryScene(const WholeCapture& w) {
  ASSERT_FALSE(w.trace.empty());
  EXPECT_EQ(w.trace.back().order, 91);  // order 92 ends it without a drawn frame
  std::vector<int> scenes;
  for (const TraceLine& t : w.trace) {
    if (scenes.empty() || scenes.back() != t.scene) scenes.push_back(t.scene);
  }
  // scroller, box, zoom, tunnel, banners, helix, zoom, banners, box, ending
  EXPECT_EQ(scenes, (std::vector<int>{4, 3, 6, 1, 9, 5, 6, 9, 3, 12}));
  // The trace's frames are the capture's files, and the last one was written.
  EXPECT_TRUE(fs::exists(framePath(w.dir, w.trace.back().frame)));
}

void checkEachSceneShowsWhatItMust(const WholeCapture& w) {
  const Census opening = census(w.frame(0));
  EXPECT_GT(opening.lit, 0.003);  // the card's white letters and magenta outline
  EXPECT_LT(opening.lit, 0.2);    // on black

  const Census scroller = census(w.frame(w.middleFrame(4)));
  EXPECT_GT(scroller.lit, 0.5) << "the warped backdrop fills the screen";
  EXPECT_GT(scroller.magenta, 0.05) << "the backdrop and the caption are magenta";

  const Census box = census(w.frame(w.middleFrame(3)));
  EXPECT_GT(box.lit, 0.1);

  const Census zoom = census(w.frame(w.middleFrame(6)));
  EXPECT_GT(zoom.lit, 0.1);

  // The tunnel's solid view (row bit 2 clear): the warm and the cool light both show.
  int solid = -1;
  for (const TraceLine& t : w.trace) {
    if (t.scene == 1 && (t.row & 4) == 0 && (t.row & 15) >= 8) {
      solid = t.frame;
      break;
    }
  }
  ASSERT_GE(solid, 0);
  const Census tunnel = census(w.frame(solid));
  EXPECT_GT(tunnel.lit, 0.2);
  EXPECT_GT(tunnel.warm, 0.02);
  EXPECT_GT(tunnel.cool, 0.02);

  const Census banners = census(w.frame(w.middleFrame(9)));
  EXPECT_GT(banners.reddish, 0.01) << "the red line";
  EXPECT_GT(banners.bluish, 0.01) << "the blue line";
  EXPECT_GT(banners.magenta, 0.01) << "the magenta line";

  const Census helix = census(w.frame(w.middleFrame(5)));
  EXPECT_GT(helix.lit, 0.1);

  // The ending's first frame: its picture is opaque black (its texture program stamps a picture the
  // archive does not hold), so only the white caption with its magenta outline shows.
  const Census ending = census(w.frame(w.firstFrame(12)));
  EXPECT_GT(ending.magenta, 0.002);
  EXPECT_LT(ending.lit, 0.05);
}

// One frame per scene and the opening card, by checksum of the pixels.
void checkGoldenFrames(const WholeCapture& w) {
  const int scenes[] = {4, 3, 6, 1, 9, 5, 12};
  std::map<int, uint32_t> now;
  now[0] = frameCrc(w.frame(0));
  for (int scene : scenes) {
    const int index = w.middleFrame(scene);
    ASSERT_GE(index, 0);
    now[index] = frameCrc(w.frame(index));
  }

  if (std::getenv("BRANNIK_WRITE_GOLDEN") != nullptr) {
    std::ofstream out(kGoldenFile);
    out << "# frame crc32 (pixels, RGB) of a --fps 10 capture; regenerate with `make golden`\n";
    for (const auto& [index, crc] : now) {
      char line[32];
      std::snprintf(line, sizeof(line), "%d %08x\n", index, crc);
      out << line;
    }
    std::printf("golden frames written to %s\n", kGoldenFile.c_str());
    return;
  }

  std::ifstream in(kGoldenFile);
  ASSERT_TRUE(in.good()) << kGoldenFile << " is missing: run `make golden`";
  std::string line;
  int checked = 0;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    int index = 0;
    unsigned crc = 0;
    ASSERT_EQ(std::sscanf(line.c_str(), "%d %x", &index, &crc), 2) << line;
    ASSERT_TRUE(now.count(index)) << "golden frame " << index << " is no longer a scene's middle frame";
    EXPECT_EQ(now[index], crc) << "frame " << index << " changed";
    ++checked;
  }
  EXPECT_EQ(checked, 8);
}

// A capture from order 41, the helix, against the whole capture. The helix draws every frame afresh (no
// feedback or state carried over from the frame before), so once the smoothed time, which starts a
// second ahead at the start position, has converged onto the whole run's (a quarter of the gap a frame;
// the trace shows the same time), the pictures must agree. They are compared in red and blue on frames
// without a gamma pulse: green is the gamma ramp's noise, drawn afresh each frame from the main thread's
// generator, whose position depends on how many frames were drawn before (and so do red and blue during
// a pulse while the synthesiser's coin is up). The sound must agree byte for byte after the lead-in.
void checkALaterStartShowsTheSameFrames(const WholeCapture& w) {
  const std::string dir = scratchPath("brannik_e2e_from41").string();
  std::error_code ignored;
  fs::remove_all(dir, ignored);
  std::string output;
  ASSERT_EQ(runCommand(std::string(BRANNIK_BINARY) + " --capture " + dir + " --fps 10 --from 41 --duration 8 --trace " +
                           dir + ".csv",
                       &output),
            0)
      << output;
  const std::vector<TraceLine> later = readTrace(dir + ".csv");
  ASSERT_FALSE(later.empty());
  EXPECT_EQ(later.front().order, 41);
  std::map<double, const TraceLine*> wholeAtBeats;
  for (const TraceLine& t : w.trace) wholeAtBeats[t.beats] = &t;

  int offset = -1;  // whole frame - later frame: the same for every frame, the grid is kept
  bool converged = false;
  int compared = 0;
  for (const TraceLine& t : later) {
    const auto found = wholeAtBeats.find(t.beats);
    ASSERT_NE(found, wholeAtBeats.end()) << "frame " << t.frame << " is at no position of the whole capture";
    const TraceLine& whole = *found->second;
    if (offset < 0) offset = whole.frame - t.frame;
    EXPECT_EQ(whole.frame - t.frame, offset) << "frame " << t.frame;
    EXPECT_EQ(whole.scene, 5);
    EXPECT_EQ(t.scene, 5);
    converged = converged || t.time == whole.time;
    if (!converged) continue;
    EXPECT_EQ(t.time, whole.time) << "frame " << t.frame;
    EXPECT_EQ(t.gamma, whole.gamma) << "frame " << t.frame;
    if (t.gamma != 0.0) continue;
    Frame a, b;
    ASSERT_TRUE(readFrame(framePath(dir, t.frame), &a));
    ASSERT_TRUE(readFrame(framePath(w.dir, whole.frame), &b));
    size_t differ = 0;
    for (size_t i = 0; i < a.pixels.size(); ++i) differ += ((a.pixels[i] ^ b.pixels[i]) & 0xFF00FF) != 0;
    EXPECT_EQ(differ, 0u) << "frame " << t.frame << " against " << whole.frame;
    ++compared;
  }
  EXPECT_GE(compared, 25);  // of the 80 frames, 10 are the lead-in and about 35 converge

  // The sound: frame k of this capture is frame k + offset of the whole one, 4410 audio frames each.
  const std::string laterWav = readFileBytes(dir + "/soundtrack.wav");
  const std::string wholeWav = readFileBytes(w.dir + "/soundtrack.wav");
  const size_t header = 44;
  const size_t at = header + static_cast<size_t>(offset) * 4410 * 4;
  ASSERT_EQ(laterWav.size(), header + 80u * 4410 * 4);
  ASSERT_GE(wholeWav.size(), at + laterWav.size() - header);
  const size_t leadIn = kStreamRingSize;
  EXPECT_TRUE(laterWav.compare(header + leadIn, std::string::npos, wholeWav, at + leadIn, laterWav.size() - header - leadIn) == 0);
  fs::remove_all(dir, ignored);
  fs::remove(dir + ".csv", ignored);
}

// At one frame per second a frame's audio (44100 frames) is more than the stream's ring holds ahead of
// the play cursor. The capture must still end with the song and record the same sound as the whole
// capture: its frames lie on the whole capture's grid (every tenth frame there).
void checkOneFramePerSecondEndsWithTheSong(const WholeCapture& w) {
  const std::string dir = scratchPath("brannik_e2e_fps1").string();
  std::error_code ignored;
  fs::remove_all(dir, ignored);
  std::string output;
  const std::string limit = std::to_string(120 * BRANNIK_TIME_SCALE);
  ASSERT_EQ(runCommand("timeout " + limit + " " + std::string(BRANNIK_BINARY) + " --capture " + dir +
                           " --fps 1 --from 88 --trace " + dir + ".csv",
                       &output),
            0)
      << output;
  const std::vector<TraceLine> slow = readTrace(dir + ".csv");
  ASSERT_FALSE(slow.empty());
  EXPECT_EQ(slow.back().scene, w.trace.back().scene);
  int offset = -1;  // whole frame - 10 x slow frame
  for (const TraceLine& t : slow) {
    const auto found = std::find_if(w.trace.begin(), w.trace.end(), [&](const TraceLine& x) { return x.beats == t.beats; });
    ASSERT_NE(found, w.trace.end()) << "frame " << t.frame << " is at no position of the whole capture";
    if (offset < 0) offset = found->frame - 10 * t.frame;
    EXPECT_EQ(found->frame - 10 * t.frame, offset) << "frame " << t.frame;
  }
  const std::string slowWav = readFileBytes(dir + "/soundtrack.wav");
  const std::string wholeWav = readFileBytes(w.dir + "/soundtrack.wav");
  const size_t header = 44;
  const size_t frames = std::distance(fs::directory_iterator(dir), fs::directory_iterator()) - 1;
  ASSERT_EQ(slowWav.size(), header + frames * 44100 * 4);
  ASSERT_GE(offset, 0);
  // The whole capture ends at the first frame past the song; this one up to a second later.
  const size_t at = header + static_cast<size_t>(offset) * 4410 * 4;
  ASSERT_GT(wholeWav.size(), at + kStreamRingSize);
  const size_t length = std::min(slowWav.size() - header, wholeWav.size() - at);
  EXPECT_TRUE(slowWav.compare(header + kStreamRingSize, length - kStreamRingSize, wholeWav, at + kStreamRingSize,
                              length - kStreamRingSize) == 0);
  fs::remove_all(dir, ignored);
  fs::remove(dir + ".csv", ignored);
}

// One test (ctest runs every test in a process of its own, and each would capture it all again).
TEST(WholePresentation, RunsToTheEndShowsEverySceneKeepsItsGoldenFramesAndStartsAnywhere) {
  WholeCapture w;
  w.run();
  ASSERT_EQ(w.exitCode, 0) << w.output;
  {
    SCOPED_TRACE("runs to the end");
    checkRunsToTheEndThroughEveryScene(w);
  }
  {
    SCOPED_TRACE("each scene");
    checkEachSceneShowsWhatItMust(w);
  }
  {
    SCOPED_TRACE("golden frames");
    checkGoldenFrames(w);
  }
  {
    SCOPED_TRACE("a later start");
    checkALaterStartShowsTheSameFrames(w);
  }
  SCOPED_TRACE("one frame per second");
  checkOneFramePerSecondEndsWithTheSong(w);
}

}  // namespace
