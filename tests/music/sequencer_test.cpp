// The sequencer: tempo and swing, rows and sub-ticks, order switching, automation, seek and loading
// (including song data outside the format's limits).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "music/sequencer.h"
#include "music/synth_device.h"

namespace {

// A device that records what the sequencer asks of it.
class Recorder final : public SynthDevice {
 public:
  explicit Recorder(int32_t params = 20) : SynthDevice(params) {}
  void onTick(int32_t kind) override { log.push_back("tick" + std::to_string(kind)); }
  void setParam(int32_t index, int32_t value) override {
    log.push_back("set" + std::to_string(index) + "=" + std::to_string(value));
    SynthDevice::setParam(index, value);
  }
  int32_t currentPattern() override { return current; }
  void startPattern(int32_t p) override {
    log.push_back("start" + std::to_string(p));
    current = p;
  }
  std::vector<std::string> log;
  int32_t current = 0;
};

// A minimal song for `devices` parameter-block-only devices: header, blocks, sequences.
struct SongBuilder {
  std::vector<uint8_t> bytes;
  explicit SongBuilder(int32_t tempo, int8_t rows) {
    bytes = {static_cast<uint8_t>(tempo & 0xFF), static_cast<uint8_t>(tempo >> 8), static_cast<uint8_t>(rows)};
  }
  void params(std::vector<uint8_t> p) {
    bytes.push_back(static_cast<uint8_t>(p.size()));
    bytes.insert(bytes.end(), p.begin(), p.end());
  }
  // Events as (row step, index step, value step).
  void sequence(std::vector<int8_t> orders, std::vector<std::array<int32_t, 3>> events, uint32_t count = ~0u) {
    const uint32_t n = count == ~0u ? static_cast<uint32_t>(events.size()) : count;
    for (int i = 0; i < 4; ++i) bytes.push_back(static_cast<uint8_t>(n >> (8 * i)));
    for (int k = 0; k < 996; ++k) bytes.push_back(k < static_cast<int>(orders.size()) ? static_cast<uint8_t>(orders[k]) : 0xFF);
    for (const auto& e : events) {
      bytes.push_back(static_cast<uint8_t>(e[0] & 0xFF));
      bytes.push_back(static_cast<uint8_t>(e[0] >> 8));
      bytes.push_back(static_cast<uint8_t>(e[1]));
      bytes.push_back(static_cast<uint8_t>(e[2]));
    }
  }
};

int countOf(const std::vector<std::string>& log, const std::string& what) {
  return static_cast<int>(std::count(log.begin(), log.end(), what));
}

TEST(SequencerTiming, SwingAlternatesLongAndShortRowsAfterAShortLeadIn) {
  Sequencer seq;
  Recorder dev;
  seq.addTrack(&dev);
  seq.setTempo(114);
  ASSERT_EQ(seq.BlocksPerRow, 181);
  std::vector<int> rowCalls;
  for (int call = 1; call <= 151 + 1 + 211 + 151 + 211; ++call) {
    const size_t before = dev.log.size();
    seq.onBlock();
    for (size_t i = before; i < dev.log.size(); ++i) {
      if (dev.log[i] == "tick16") rowCalls.push_back(call);
    }
  }
  // The first row fires on the 152nd call (the short wait of 151 blocks comes first); then the rows
  // last 211 and 151 blocks in turn, two of them 2 * 181.
  ASSERT_EQ(rowCalls.size(), 4u);
  EXPECT_EQ(rowCalls[0], 152);
  EXPECT_EQ(rowCalls[1] - rowCalls[0], 211);
  EXPECT_EQ(rowCalls[2] - rowCalls[1], 151);
  EXPECT_EQ(rowCalls[3] - rowCalls[2], 211);
  EXPECT_EQ(seq.position, 64);
}

TEST(SequencerTiming, SubTickFiresWhenTheCounterIsAnEighthOfTheRow) {
  Sequencer seq;
  Recorder dev;
  seq.addTrack(&dev);
  seq.setTempo(114);  // BlocksPerRow / 8 = 22
  for (int call = 1; call <= 23; ++call) seq.onBlock();
  ASSERT_EQ(dev.log.size(), 1u);  // the 23rd call sees the counter at 22
  EXPECT_EQ(dev.log[0], "tick32");
}

TEST(SequencerTiming, TempoZeroMeans120) {
  Sequencer seq;
  seq.setTempo(0);
  EXPECT_EQ(seq.rowSamples(), 5504);
  seq.setTempo(-7);  // out of the format: also 120
  EXPECT_EQ(seq.rowSamples(), 5504);
  seq.setTempo(32767);  // never below one block
  EXPECT_EQ(seq.rowSamples(), 32);
}

// Drives rows directly: a row is due whenever the counter has passed the threshold.
void fireRows(Sequencer& seq, int rows) {
  const int32_t target = seq.position + 16 * rows;
  while (seq.position < target) seq.onBlock();
}

TEST(SequencerOrders, SynthsRestartOnlyOnAChangeDrumsAndMasterEveryOrder) {
  SongBuilder song(114, 1);  // one row per order
  for (int d = 0; d < 5; ++d) song.params({});
  const std::vector<int8_t> synthOrders = {0, 0, 2, -1, -1, 3};
  for (int d = 0; d < 5; ++d) song.sequence(synthOrders, {});
  Sequencer seq;
  Recorder devs[5];
  for (auto& d : devs) seq.addTrack(&d);
  ASSERT_EQ(seq.load(song.bytes.data(), static_cast<int32_t>(song.bytes.size())), static_cast<int32_t>(song.bytes.size()));
  fireRows(seq, 6);
  // Synth 0 starts at 0 (already 0: no call), changes to 2, stops once, then 3.
  EXPECT_EQ(countOf(devs[0].log, "start0"), 0);
  EXPECT_EQ(countOf(devs[0].log, "start2"), 1);
  EXPECT_EQ(countOf(devs[0].log, "start-1"), 1);
  EXPECT_EQ(countOf(devs[0].log, "start3"), 1);
  // Tracks 3 and 4 get startPattern on every order.
  EXPECT_EQ(countOf(devs[3].log, "start0"), 2);
  EXPECT_EQ(countOf(devs[3].log, "start-1"), 2);
  EXPECT_EQ(countOf(devs[4].log, "tick16"), 6);
}

TEST(SequencerAutomation, EventsApplyInListOrderAtTheirRowAndSeekReplays) {
  SongBuilder song(120, 16);
  song.params({});
  // Row 0: p1 = 5 then p1 = 7 (same time, list order); row 2: p3 = 9.
  song.sequence({0}, {{0, 1, 5}, {0, 0, 2}, {2, 2, 2}});
  Sequencer seq;
  Recorder dev;
  seq.addTrack(&dev);
  seq.load(song.bytes.data(), static_cast<int32_t>(song.bytes.size()));
  seq.seek(0);
  ASSERT_EQ(dev.log.size(), 2u);
  EXPECT_EQ(dev.log[0], "set1=5");
  EXPECT_EQ(dev.log[1], "set1=7");
  EXPECT_EQ(dev.param(1), 7);
  dev.log.clear();
  fireRows(seq, 2);  // rows 0 and 1: nothing due
  EXPECT_EQ(countOf(dev.log, "set3=9"), 0);
  fireRows(seq, 1);  // row 2
  EXPECT_EQ(countOf(dev.log, "set3=9"), 1);

  dev.log.clear();
  seq.seek(32);  // rewinds the cursor and applies everything up to row 2
  EXPECT_EQ(dev.log, (std::vector<std::string>{"set1=5", "set1=7", "set3=9"}));
  dev.log.clear();
  seq.seek(-16);  // before the song: nothing applies
  EXPECT_TRUE(dev.log.empty());
}

TEST(SequencerLoad, HeaderDefaultsAndTheEmptyCountValue) {
  SongBuilder song(0, 0);
  song.params({3, 4});
  song.sequence({}, {}, 0x1000000);  // read as no events
  Sequencer seq;
  Recorder dev;
  seq.addTrack(&dev);
  EXPECT_EQ(seq.load(song.bytes.data(), static_cast<int32_t>(song.bytes.size())), static_cast<int32_t>(song.bytes.size()));
  EXPECT_EQ(seq.rowsPerPattern, 16);
  EXPECT_EQ(seq.rowSamples(), 5504);
  EXPECT_TRUE(seq.track(0).events.empty());
  EXPECT_EQ(dev.param(0), 3);
  EXPECT_EQ(dev.param(1), 4);
  EXPECT_EQ(seq.track(0).orders[996], -1);  // entries past the song's 996 stay 0xFF
}

TEST(SequencerLoad, OutOfLimitItemsAreIgnored) {
  SongBuilder song(114, 16);
  song.params({1, 2, 3, 4, 5});  // more parameters than the device's 3: the extra ones are skipped
  // Order entries 40 and -2 (0xFE) are not patterns; an event for parameter 200 is dropped.
  song.sequence({1, 40, -2, 31}, {{0, 200, 1}, {1, -199, 6}});
  Sequencer seq;
  Recorder dev(3);
  seq.addTrack(&dev);
  seq.load(song.bytes.data(), static_cast<int32_t>(song.bytes.size()));
  EXPECT_EQ(dev.param(2), 3);
  EXPECT_EQ(seq.track(0).orders[1], -1);
  EXPECT_EQ(seq.track(0).orders[2], -1);
  EXPECT_EQ(seq.track(0).orders[3], 31);
  ASSERT_EQ(seq.track(0).events.size(), 1u);
  EXPECT_EQ(seq.track(0).events[0].index, 1);  // 200 - 199 = 1, running sums kept
  EXPECT_EQ(seq.track(0).events[0].value, 7);
  EXPECT_EQ(seq.track(0).events[0].time, 16);
}

TEST(SequencerLoad, ABlockRunningPastTheEndStopsTheLoadWithoutReadingBeyond) {
  SongBuilder song(114, 16);
  song.params({9});
  song.sequence({0}, {{0, 0, 1}, {0, 0, 1}});
  Sequencer seq;
  Recorder dev;
  seq.addTrack(&dev);
  // Cut in the middle of the events: the count promises more than the entry holds.
  const std::vector<uint8_t> cut(song.bytes.begin(), song.bytes.end() - 3);
  const int32_t used = seq.load(cut.data(), static_cast<int32_t>(cut.size()));
  EXPECT_EQ(used, 5);  // header and the parameter block only
  EXPECT_EQ(dev.param(0), 9);
  EXPECT_TRUE(seq.track(0).events.empty());
  EXPECT_EQ(seq.rowSamples(), 5792);  // the tempo still comes from the header
}

TEST(SequencerTracks, ANinthTrackIsIgnored) {
  Sequencer seq;
  Recorder devs[9];
  for (auto& d : devs) seq.addTrack(&d);
  EXPECT_EQ(seq.trackCount(), 8);
  fireRows(seq, 1);
  EXPECT_TRUE(devs[8].log.empty());
  EXPECT_FALSE(devs[7].log.empty());
}

TEST(SequencerTracks, PositionsPastTheLastOrderStopEveryDevice) {
  Sequencer seq;
  Recorder dev;
  seq.addTrack(&dev);
  seq.position = 999 * 256;  // no order entry here
  fireRows(seq, 1);
  EXPECT_EQ(countOf(dev.log, "start-1"), 1);
}

}  // namespace
