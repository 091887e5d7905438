// The sequencer: loads the SONG entry into up to eight tracks (one per device: order list and
// parameter automation), and once per 32-sample block decides whether a row is due (with swing) or
// the row's sub-tick, switching patterns at order boundaries and applying automation as it goes.
// Song data outside the format's limits is ignored item by item (see load); it never reads past the
// entry. It renders nothing itself; the master mixer calls onBlock.
#pragma once

#include <atomic>
#include <cstdint>
#include <vector>

class SynthDevice;

constexpr int32_t kMaxTracks = 8;
constexpr int32_t kOrderEntries = 999;
constexpr int32_t kSongOrderEntries = 996;
constexpr int32_t kSequenceHeaderBytes = 4 + kSongOrderEntries;
constexpr int32_t kLastPosition = kOrderEntries * 256;  // 255744 ticks: automation stops here
constexpr int32_t kMaxPattern = 31;

struct AutomationEvent {
  int32_t time;  // ticks of 1/16 row
  uint8_t index;
  uint8_t value;
};

struct SequencerTrack {
  int8_t orders[kOrderEntries];  // -1 stops the device
  std::vector<AutomationEvent> events;
  size_t cursor = 0;  // next event due; events.size() when none is left
  SynthDevice* device = nullptr;
};

class Sequencer {
 public:
  Sequencer();

  // Forgets the tracks and the song; back to the constructed state.
  void clear();
  void addTrack(SynthDevice* device);
  // Parses a SONG entry; returns the bytes consumed. Blocks that do not fit are skipped together with
  // everything after them; automation events for a parameter the device does not have are dropped,
  // and order entries from 32 to 254 read as 0xFF (stop).
  int32_t load(const uint8_t* song, int32_t size);
  void seek(int32_t position);
  // bpm 0 (or below) means 120; the row is kept at 32 samples or more.
  void setTempo(int32_t bpm);
  void onBlock();

  int32_t rowSamples() const { return RowSamples.load(std::memory_order_relaxed); }
  int32_t trackCount() const { return trackCount_; }
  // Orders until every track's order list is 0xFF for good: the song's length in orders.
  int32_t songOrders() const;
  SequencerTrack& track(int32_t i) { return tracks_[i]; }

  // Samples per row, a multiple of 32; read by the clock on the main thread without the stream lock.
  std::atomic<int32_t> RowSamples{5504};
  int32_t BlocksPerRow = 172;
  int32_t rowsPerPattern = 16;
  int32_t position = 0;  // ticks; 16 per row
  int32_t tempo = 120;
  int32_t blockCounter = 0;
  int32_t swingPhase = 0;
  // Whether the last load read every device block and sequence block.
  bool loadedWhole = false;

 private:
  void applyAutomation(SequencerTrack& track, int32_t at);
  // Reads one track's sequence block; -1 if it does not fit.
  int32_t loadSequence(SequencerTrack& track, const uint8_t* bytes, int32_t size);

  SequencerTrack tracks_[kMaxTracks];
  int32_t trackCount_ = 0;
};
