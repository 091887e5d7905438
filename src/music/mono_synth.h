// One monophonic step-sequenced synth voice: two oscillators, amplitude and filter envelopes, a
// resonant filter with an optional second one in parallel, glide between tied steps and a repeat on
// the row's sub-tick. It plays a bank of 32 patterns of up to 16 steps, one step per row.
// Mended: a fine-tuned top note reads the last pitch-table entry instead of one past it.
#pragma once

#include <atomic>
#include <cstdint>

#include "music/synth_device.h"
#include "music/voice_parts.h"

constexpr int32_t kSynthParams = 20;
constexpr int32_t kSynthPatterns = 32;
constexpr int32_t kSynthPatternBytes = 104;
constexpr int32_t kSynthBankBytes = kSynthPatterns * kSynthPatternBytes;  // 3328
constexpr int32_t kSynthSteps = 16;

// Parameter indices.
enum SynthParam : int32_t {
  kSynthTranspose = 0,
  kSynthCutoff = 1,
  kSynthResonance = 2,
  kSynthEnvAmount = 3,
  kSynthAttack = 4,
  kSynthDecay = 5,
  kSynthAccent = 6,
  kSynthWave1 = 7,
  kSynthSemis1 = 8,
  kSynthFine1 = 9,
  kSynthWave2 = 11,
  kSynthSemis2 = 12,
  kSynthFine2 = 13,
  kSynthBalance = 15,
  kSynthRing = 17,
  kSynthFilterMode = 18,
  kSynthSecondFilter = 19,
};

// One step as stored in the song: note 0 to 11, octave (signed), then gate, accent, slide, repeat.
struct SynthStep {
  int8_t note;
  int8_t octave;
  uint8_t gate;
  uint8_t accent;
  uint8_t slide;
  uint8_t repeat;
};
static_assert(sizeof(SynthStep) == 6);

// True when the last balance mix of any voice let oscillator 1 through; read by the gamma effect.
extern std::atomic<uint8_t> synth_coin;

// The phase increment of note `k` fine-tuned by `fine` (0 to 255) towards the next semitone.
uint32_t noteIncrement(int32_t k, int32_t fine);

class MonoSynth final : public PatternChannel {
 public:
  explicit MonoSynth(int32_t voice);

  void onTick(int32_t kind) override;
  int32_t currentPattern() override { return current_; }
  void stop() override;
  void reset() override;
  int32_t load(const uint8_t* bytes, int32_t size) override;
  void render(SampleBlock& block) override;

  // For tests and tools: the pattern bank as stored, the voice's parts.
  uint8_t* patternBytes(int32_t pattern) { return bank_ + pattern * kSynthPatternBytes; }
  // A stored length outside 1 to 16 plays as 16.
  int32_t patternLength(int32_t pattern) const;
  int32_t voice() const { return voice_; }
  Oscillator osc[2];
  Envelope ampEnv;
  Envelope filterEnv;
  ResonantFilter mainFilter;
  ResonantFilter secondFilter;

 private:
  void rowStep();
  void subTickRepeat();
  // Peak and divisor of the filter envelope for a step with or without accent.
  void filterTrigger(bool withAccent);
  void setPitches(const SynthStep& step, bool slide);
  const SynthStep* stepAt(int32_t pattern, int32_t row) const;

  int32_t voice_;
  bool accent_ = false;
  uint8_t bank_[kSynthBankBytes] = {};
  const SynthStep* lastStep_ = nullptr;
};
