// Drum machine: pattern rows and sub-ticks fire the sample players, which are summed per block.
#include "music/drum_machine.h"

#include <algorithm>
#include <cstring>

#include "music/drum_decode.h"

void DrumSample::assign(const int16_t* data, int32_t count) {
  samples.assign(static_cast<size_t>((count + 31) & ~31), 0);
  std::copy(data, data + count, samples.begin());
  position = 0;
  playing = false;
}

void DrumSample::trigger(int32_t hitVelocity) {
  position = 0;
  velocity = hitVelocity;
  playing = true;
}

DrumMachine::DrumMachine() : PatternChannel(kDrumParams) { reset(); }

int32_t DrumMachine::patternLength(int32_t pattern) const {
  const int32_t length = musicReadLe32(bank_ + pattern * kDrumPatternBytes + 192);
  return (length < 1 || length > kDrumRows) ? kDrumRows : length;
}

void DrumMachine::onTick(int32_t kind) {
  if (kind == kTickRewind) {
    row_ = 0;
  } else if (kind == kTickRow || kind == kTickSub) {
    rowTrigger(kind);
  }
}

void DrumMachine::rowTrigger(int32_t kind) {
  const int32_t b = current_;
  if (b >= 0 && b < kDrumPatterns) {
    if (row_ >= patternLength(b)) row_ = 0;
    const uint8_t* row = bank_ + b * kDrumPatternBytes + row_ * kDrumSounds;
    for (int32_t i = 0; i < kDrumSounds; ++i) {
      const int32_t c = row[i];
      if (c != 0 && (kind == kTickRow || c == 4)) {
        sounds[i].trigger(c == 1 ? 100 : 255);
        if (i == 3) sounds[2].playing = false;  // sound 3 chokes sound 2
      }
    }
    if (kind == kTickRow) row_ += 1;
    if (row_ >= patternLength(b)) row_ = 0;
  } else if (kind == kTickRow) {
    row_ += 1;
  }
  current_ = queued_;
}

void DrumMachine::stop() {
  current_ = -1;
  queued_ = -1;
  row_ = 0;
}

void DrumMachine::reset() {
  SynthDevice::reset();
  std::memset(bank_, 0, sizeof(bank_));
  for (int32_t p = 0; p < kDrumPatterns; ++p) {
    uint8_t* length = bank_ + p * kDrumPatternBytes + 192;
    length[0] = kDrumRows;
  }
  for (int32_t i = 0; i < kDrumSounds; ++i) params_[static_cast<size_t>(i)] = 200;
  current_ = 0;
  queued_ = 0;
}

int32_t DrumMachine::load(const uint8_t* bytes, int32_t size) {
  if (size < kDrumBankBytes) return -1;
  const int32_t block = loadParamBlock(bytes + kDrumBankBytes, size - kDrumBankBytes);
  if (block < 0) return -1;
  std::memcpy(bank_, bytes, kDrumBankBytes);
  const int32_t at = kDrumBankBytes + block;
  if (size - at < 4) return -1;
  const int32_t skipped = musicReadLe32(bytes + at);
  if (skipped < 0 || skipped > size - at - 4) return -1;
  return at + 4 + skipped;
}

void DrumMachine::render(SampleBlock& block) {
  std::fill(block.s, block.s + kBlockSize, 0);
  for (int32_t i = 0; i < kDrumSounds; ++i) {
    DrumSample& sound = sounds[i];
    if (sound.samples.empty() || !sound.playing) continue;
    const int32_t gain = (params_[static_cast<size_t>(i)] * sound.velocity) >> 8;
    const int16_t* at = sound.samples.data() + sound.position;
    for (int j = 0; j < kBlockSize; ++j) block.s[j] += (gain * at[j]) >> 8;
    sound.position += kBlockSize;
    if (sound.position >= sound.length()) sound.playing = false;
  }
  if (params_[kDrumFilterOn]) {
    filter.cutoff = params_[kDrumFilterCutoff] * 256;
    filter.damping = params_[kDrumFilterResonance] * 256;
    filter.process(block, kFilterLowPass);
  }
}

void DrumMachine::loadSamples(const uint8_t* entry, int32_t size) { decodeDrumEntry(entry, size, sounds); }
