// Sequencer: song loading, tempo and swing, rows and sub-ticks, order switching, automation and seek.
#include "music/sequencer.h"

#include <algorithm>
#include <cstring>

#include "music/synth_device.h"

Sequencer::Sequencer() { clear(); }

void Sequencer::clear() {
  for (SequencerTrack& t : tracks_) {
    std::memset(t.orders, 0xFF, sizeof(t.orders));
    t.events.clear();
    t.cursor = 0;
    t.device = nullptr;
  }
  trackCount_ = 0;
  rowsPerPattern = 16;
  position = 0;
  blockCounter = 0;
  swingPhase = 0;
  setTempo(120);
}

void Sequencer::addTrack(SynthDevice* device) {
  if (trackCount_ >= kMaxTracks) return;
  tracks_[trackCount_++].device = device;
}

int32_t Sequencer::load(const uint8_t* song, int32_t size) {
  loadedWhole = false;
  if (size < 3) return 0;
  const int32_t headerTempo = musicReadLe16(song);
  const int32_t rows = static_cast<int8_t>(song[2]);
  rowsPerPattern = rows >= 1 ? rows : 16;  // 0 means 16; a negative count is out of the format
  position = 0;

  int32_t at = 3;
  bool fits = true;
  for (int32_t i = 0; i < trackCount_ && fits; ++i) {
    const int32_t used = tracks_[i].device->load(song + at, size - at);
    if (used < 0) {
      fits = false;
    } else {
      at += used;
    }
  }
  for (int32_t i = 0; i < trackCount_ && fits; ++i) {
    const int32_t used = loadSequence(tracks_[i], song + at, size - at);
    if (used < 0) {
      fits = false;
    } else {
      at += used;
    }
  }
  setTempo(headerTempo);
  loadedWhole = fits;
  return at;
}

int32_t Sequencer::loadSequence(SequencerTrack& track, const uint8_t* bytes, int32_t size) {
  if (size < kSequenceHeaderBytes) return -1;
  uint32_t count = static_cast<uint32_t>(musicReadLe32(bytes));
  if (count == 0x1000000) count = 0;
  if (count > static_cast<uint32_t>((size - kSequenceHeaderBytes) / 4)) return -1;

  for (int32_t k = 0; k < kSongOrderEntries; ++k) {
    const int8_t entry = static_cast<int8_t>(bytes[4 + k]);
    track.orders[k] = (entry >= 0 && entry <= kMaxPattern) ? entry : -1;
  }

  track.events.clear();
  track.events.reserve(count);
  const int32_t paramCount = track.device->paramCount();
  int64_t rows = 0;
  uint8_t index = 0;
  uint8_t value = 0;
  const uint8_t* e = bytes + kSequenceHeaderBytes;
  for (uint32_t i = 0; i < count; ++i, e += 4) {
    rows += static_cast<uint16_t>(e[0] | e[1] << 8);
    index = static_cast<uint8_t>(index + e[2]);
    value = static_cast<uint8_t>(value + e[3]);
    if (index >= paramCount) continue;  // a parameter the device does not have
    const int64_t ticks = std::min<int64_t>(rows * 16, INT32_MAX);
    track.events.push_back({static_cast<int32_t>(ticks), index, value});
  }
  track.cursor = 0;
  return kSequenceHeaderBytes + static_cast<int32_t>(count) * 4;
}

int32_t Sequencer::songOrders() const {
  int32_t orders = 0;
  for (int32_t i = 0; i < trackCount_; ++i) {
    for (int32_t k = kOrderEntries - 1; k >= orders; --k) {
      if (tracks_[i].orders[k] != -1) {
        orders = k + 1;
        break;
      }
    }
  }
  return orders;
}

void Sequencer::setTempo(int32_t bpm) {
  if (bpm <= 0) bpm = 120;
  tempo = bpm;
  // 44100 * 60 samples per minute, 4 rows per beat, rounded down to whole 32-sample blocks.
  const int32_t samples = std::max((2646000 / (bpm * 4)) & ~31, 32);
  RowSamples.store(samples, std::memory_order_relaxed);
  BlocksPerRow = samples / 32;
}

void Sequencer::applyAutomation(SequencerTrack& track, int32_t at) {
  if (at < 0 || at >= kLastPosition) return;
  while (track.cursor < track.events.size() && track.events[track.cursor].time <= at) {
    const AutomationEvent& e = track.events[track.cursor];
    track.device->setParam(e.index, e.value);
    track.cursor += 1;
  }
}

void Sequencer::seek(int32_t to) {
  position = to;
  for (int32_t i = 0; i < trackCount_; ++i) {
    tracks_[i].cursor = 0;
    applyAutomation(tracks_[i], position);
  }
}

void Sequencer::onBlock() {
  const int32_t d = swingPhase == 0 ? 88 : -88;
  const int32_t offset = (d * (BlocksPerRow - 1)) / 512;
  const int32_t threshold = BlocksPerRow - offset;
  if (blockCounter >= threshold) {
    const int32_t ticksPerOrder = rowsPerPattern * 16;
    for (int32_t i = 0; i < trackCount_; ++i) {
      SequencerTrack& t = tracks_[i];
      applyAutomation(t, position);
      if (position % ticksPerOrder == 0) {
        const int32_t order = position / ticksPerOrder;
        const int32_t e = order < kOrderEntries ? t.orders[order] : -1;
        if (e != t.device->currentPattern() || i >= 3) t.device->startPattern(e);
      }
      t.device->onTick(16);
    }
    position += 16;
    swingPhase ^= 1;
    blockCounter = 0;
  } else if (blockCounter == BlocksPerRow / 8) {
    for (int32_t i = 0; i < trackCount_; ++i) tracks_[i].device->onTick(32);
  }
  blockCounter += 1;
}
