// The synth voice: row steps, sub-tick repeats, pattern control and the per-block render.
#include "music/mono_synth.h"

#include <algorithm>
#include <cstring>

#include "music/synth_tables.h"
#include "music/thread_rand.h"

std::atomic<uint8_t> synth_coin{0};

uint32_t noteIncrement(int32_t k, int32_t fine) {
  k = std::clamp(k, 0, 255);
  const int32_t next = std::min(k + 1, 255);
  if (fine == 0) return static_cast<uint32_t>(PitchTable[k]);
  const int32_t f = fine / 4;  // 0 to 63
  return static_cast<uint32_t>((PitchTable[k] / 63) * (63 - f) + f * (PitchTable[next] / 63));
}

MonoSynth::MonoSynth(int32_t voice) : PatternChannel(kSynthParams), voice_(voice) {}

int32_t MonoSynth::patternLength(int32_t pattern) const {
  const int32_t length = musicReadLe32(bank_ + pattern * kSynthPatternBytes + 96);
  return (length < 1 || length > kSynthSteps) ? kSynthSteps : length;
}

const SynthStep* MonoSynth::stepAt(int32_t pattern, int32_t row) const {
  return reinterpret_cast<const SynthStep*>(bank_ + pattern * kSynthPatternBytes + row * 6);
}

void MonoSynth::onTick(int32_t kind) {
  if (kind == kTickRewind) {
    row_ = 0;
  } else if (kind == kTickRow) {
    rowStep();
  } else if (kind == kTickSub) {
    subTickRepeat();
  }
}

void MonoSynth::stop() {
  row_ = 0;
  current_ = -1;
  queued_ = -1;
  lastStep_ = nullptr;
  ampEnv.decayRate = 220;
  ampEnv.rate = -220;
}

void MonoSynth::reset() {
  SynthDevice::reset();
  current_ = 0;
}

int32_t MonoSynth::load(const uint8_t* bytes, int32_t size) {
  if (size < kSynthBankBytes) return -1;
  const int32_t block = loadParamBlock(bytes + kSynthBankBytes, size - kSynthBankBytes);
  if (block < 0) return -1;
  std::memcpy(bank_, bytes, kSynthBankBytes);
  // Transpose and the two semitone offsets are stored biased by 128.
  params_[kSynthTranspose] -= 128;
  params_[kSynthSemis1] -= 128;
  params_[kSynthSemis2] -= 128;
  return kSynthBankBytes + block;
}

void MonoSynth::filterTrigger(bool withAccent) {
  const int32_t amount = params_[kSynthEnvAmount];
  const int32_t peak = amount * amount * 16 + (withAccent ? params_[kSynthAccent] * 4096 : 0);
  const int32_t decay = params_[kSynthDecay];
  filterEnv.trigger(peak, decay * decay);
}

void MonoSynth::setPitches(const SynthStep& step, bool slide) {
  const int32_t base = step.note + 12 * step.octave + 48 + params_[kSynthTranspose];
  const uint32_t inc1 = noteIncrement(base + params_[kSynthSemis1], params_[kSynthFine1]);
  const uint32_t inc2 = noteIncrement(base + params_[kSynthSemis2], params_[kSynthFine2]);
  if (slide) {
    osc[0].glide(inc1);
    osc[1].glide(inc2);
  } else {
    osc[0].jump(inc1);
    osc[1].jump(inc2);
  }
}

void MonoSynth::rowStep() {
  if (current_ < 0 || current_ >= kSynthPatterns) {
    lastStep_ = nullptr;
    row_ += 1;
    return;
  }
  const int32_t length = patternLength(current_);
  if (row_ >= length) row_ = 0;
  const SynthStep& s = *stepAt(current_, row_);
  accent_ = s.accent != 0;
  osc[0].waveform = params_[kSynthWave1];
  osc[1].waveform = params_[kSynthWave2];
  const int32_t attack = params_[kSynthAttack] * 30 + 16;
  ampEnv.attackTime = attack;
  filterEnv.attackTime = attack;
  const int32_t ampPeak = accent_ ? 0x128000 : 0x100000;

  if (lastStep_) {
    if (lastStep_->slide) {
      setPitches(s, true);
    } else if (s.gate) {
      ampEnv.decayRate = s.slide ? 0 : 220;
      ampEnv.trigger(ampPeak, 0);
      filterTrigger(accent_);
      setPitches(s, false);
    } else {
      ampEnv.decayRate = 220;
      ampEnv.rate = -220;
    }
  } else if (s.gate) {
    ampEnv.level = 0;
    ampEnv.decayRate = s.slide ? 0 : 220;
    ampEnv.trigger(ampPeak, 0);
    filterTrigger(accent_);
    mainFilter.band = mainFilter.low = 0;
    secondFilter.band = secondFilter.low = 0;
    setPitches(s, false);
  }

  lastStep_ = &s;
  row_ += 1;
  if (row_ >= length) row_ = 0;
  current_ = queued_;
}

void MonoSynth::subTickRepeat() {
  if (!lastStep_ || current_ < 0 || !lastStep_->repeat || !lastStep_->gate) return;
  accent_ = lastStep_->accent != 0;
  ampEnv.trigger(accent_ ? 0x128000 : 0x100000, 0);
  filterTrigger(accent_);
}

void MonoSynth::render(SampleBlock& block) {
  SampleBlock second;
  osc[0].render(block);
  osc[1].render(second);

  if (params_[kSynthRing]) {
    for (int i = 0; i < kBlockSize; ++i) block.s[i] = wrapMul32(second.s[i] >> 2, block.s[i] >> 2) >> 12;
  } else {
    const int32_t coin = threadRand() % 2;
    synth_coin.store(coin == 1, std::memory_order_relaxed);
    const int32_t gain1 = coin * params_[kSynthBalance];
    const int32_t gain2 = 255 - params_[kSynthBalance];
    for (int i = 0; i < kBlockSize; ++i) {
      block.s[i] = (wrapMul32(block.s[i], gain1) >> 8) + (wrapMul32(second.s[i], gain2) >> 8);
    }
  }

  const int32_t cutoff = filterEnv.value() + params_[kSynthCutoff] * 128 + 3200;
  mainFilter.cutoff = cutoff;
  mainFilter.damping = params_[kSynthResonance] * 256;
  if (params_[kSynthSecondFilter]) {
    secondFilter.cutoff = cutoff;
    secondFilter.damping = threadRand();
    SampleBlock copy = block;
    mainFilter.process(block, kFilterLowPass);
    secondFilter.process(copy, params_[kSynthFilterMode]);
    for (int i = 0; i < kBlockSize; ++i) block.s[i] += copy.s[i];
  } else {
    mainFilter.process(block, params_[kSynthFilterMode]);
  }

  ampEnv.apply(block);
  filterEnv.advance();
  ampEnv.advance();
}
