// The parts a synth voice is made of: the oscillator (seven waveforms, glide), the attack/decay
// envelope and the resonant two-integrator filter. Integer fixed point on 32-sample blocks; the
// tables come from synth_tables.h. The drum machine reuses the filter. No voice logic here.
#pragma once

#include <cstdint>

#include "music/synth_device.h"

enum Waveform : int32_t {
  kWaveNone = 0,
  kWaveSaw = 1,
  kWaveSquare = 2,
  kWaveTriangle = 3,
  kWaveSine = 4,
  kWavePulse = 5,
  kWaveNoise = 6,
};

struct Oscillator {
  uint32_t phase = 0;  // upper 16 bits index the waveforms
  uint32_t increment = 0;
  uint32_t glideTarget = 0;
  bool glideActive = false;
  int32_t glideStep = 0;
  int32_t waveform = kWaveNone;
  int32_t pulseWidthPhase = 0;  // low 16 bits index SineTable

  // Sets the increment at once and ends any glide.
  void jump(uint32_t target);
  // Slides to `target` in steps of (target - increment) >> 6, one step per block: 64 blocks.
  void glide(uint32_t target);
  // Renders 32 samples, then moves the glide one step.
  void render(SampleBlock& out);
};

constexpr int32_t kEnvAttack = 0;
constexpr int32_t kEnvDecay = 1;

struct Envelope {
  int32_t rate = 0;       // change per sample
  int32_t decayRate = 0;  // magnitude of the rate in the decay stage
  int32_t level = 0;      // 0x100000 is unity for the amplitude envelope
  int32_t attackTime = 100;
  int32_t stage = kEnvAttack;
  int32_t peak = 0x100000;

  // Starts a new attack towards `peakLevel`; divisor 0 keeps the decay rate.
  void trigger(int32_t peakLevel, int32_t divisor);
  // Moves the level by 32 samples' worth; there is no sustain stage.
  void advance();
  // Multiplies the block by the level, moving it per sample within [0, peak].
  void apply(SampleBlock& block) const;
  // The filter envelope's contribution to the cutoff: the level at the block's first sample.
  int32_t value() const { return level >> 4; }
};

constexpr int32_t kFilterLowPass = 0;
constexpr int32_t kFilterHighPass = 1;

struct ResonantFilter {
  int32_t band = 0;
  int32_t low = 0;
  int32_t cutoff = 0;
  int32_t damping = 0;

  // Mode 0 low-pass, 1 high-pass, anything else leaves the samples as they are (the states still run).
  void process(SampleBlock& block, int32_t mode);
};
