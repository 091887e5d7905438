// The rhythm channel: twelve one-shot sample players fired by a bank of 32 step patterns, per-sound
// volumes, sound 3 choking sound 2, hits on the row's sub-tick, and an optional resonant low-pass on
// the sum. The samples come from drum_decode.h; this file only plays them.
// Mended: with no pattern playing (-1) the row counter no longer reads a pattern's length.
#pragma once

#include <cstdint>
#include <vector>

#include "music/synth_device.h"
#include "music/voice_parts.h"

constexpr int32_t kDrumParams = 27;
constexpr int32_t kDrumSounds = 12;
constexpr int32_t kDrumPatterns = 32;
constexpr int32_t kDrumPatternBytes = 200;
constexpr int32_t kDrumBankBytes = kDrumPatterns * kDrumPatternBytes;  // 6400
constexpr int32_t kDrumRows = 16;

enum DrumParam : int32_t {
  kDrumFilterOn = 24,
  kDrumFilterCutoff = 25,
  kDrumFilterResonance = 26,
};

// One sample player. Samples are padded with zeros to a multiple of 32; sounds play once at their
// stored rate (the loop and rate fields of the format are always one-shot and 1.0).
struct DrumSample {
  std::vector<int16_t> samples;  // empty: the sound is never heard
  int32_t position = 0;
  int32_t velocity = 0;
  bool playing = false;

  int32_t length() const { return static_cast<int32_t>(samples.size()); }
  // Sets `count` samples, padded with zeros to a multiple of 32.
  void assign(const int16_t* data, int32_t count);
  void trigger(int32_t hitVelocity);
};

class DrumMachine final : public PatternChannel {
 public:
  DrumMachine();

  void onTick(int32_t kind) override;
  // currentPattern keeps the base behaviour (0): the sequencer restarts the drums on every order.
  void stop() override;
  void reset() override;
  int32_t load(const uint8_t* bytes, int32_t size) override;
  void render(SampleBlock& block) override;

  // Decodes a DRUM entry into the sounds and completes the set (sound 3, the bass drum 11).
  void loadSamples(const uint8_t* entry, int32_t size);

  uint8_t* patternBytes(int32_t pattern) { return bank_ + pattern * kDrumPatternBytes; }
  // A stored length outside 1 to 16 plays as 16.
  int32_t patternLength(int32_t pattern) const;
  int32_t playingPattern() const { return current_; }
  DrumSample sounds[kDrumSounds];
  ResonantFilter filter;

 private:
  void rowTrigger(int32_t kind);

  uint8_t bank_[kDrumBankBytes] = {};
};
