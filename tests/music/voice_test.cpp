// Synthesis tables, oscillators, envelopes and the resonant filter against hand-worked values.
#include <gtest/gtest.h>

#include "music/mono_synth.h"
#include "music/synth_tables.h"
#include "music/thread_rand.h"
#include "music/voice_parts.h"

namespace {

class Tables : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { buildSynthTables(); }
};

TEST_F(Tables, PitchTableHitsConcertPitchAndLowC) {
  // 440 Hz * 2^32 / 44100 = 42852281.4; note 36 is 440 * 2^(-33/12) = 65.406 Hz -> 6370029.7.
  EXPECT_EQ(PitchTable[69], 42852281);
  EXPECT_EQ(PitchTable[36], 6370029);
  EXPECT_EQ(PitchTable[81], 85704562);  // an octave up: 880 Hz -> 85704562.8
}

TEST_F(Tables, SineTableIsOnePeriodOfAmplitude0x3FFFF) {
  EXPECT_EQ(SineTable[0], 0);
  EXPECT_EQ(SineTable[16384], 262143);
  EXPECT_EQ(SineTable[32768], 0);
  EXPECT_EQ(SineTable[49152], -262143);
  EXPECT_EQ(SineTable[21845], 227026);  // sin(120 degrees) * 262143, truncated
}

TEST_F(Tables, FineTuneBlendsTowardsTheNextSemitoneAndClampsAtTheTop) {
  EXPECT_EQ(noteIncrement(69, 0), 42852281u);
  // f = 63: nothing of this note, 63 sixty-thirds of the next one.
  EXPECT_EQ(noteIncrement(69, 255), static_cast<uint32_t>(63 * (PitchTable[70] / 63)));
  // f = 32: (a / 63) * 31 + 32 * (b / 63).
  EXPECT_EQ(noteIncrement(69, 128),
            static_cast<uint32_t>((PitchTable[69] / 63) * 31 + 32 * (PitchTable[70] / 63)));
  // Note 255 fine-tuned reads entry 255 twice instead of entry 256.
  EXPECT_EQ(noteIncrement(255, 255), static_cast<uint32_t>(63 * (PitchTable[255] / 63)));
  EXPECT_EQ(noteIncrement(-5, 0), static_cast<uint32_t>(PitchTable[0]));
}

TEST_F(Tables, WaveformsAtKnownPhases) {
  Oscillator osc;
  SampleBlock b;
  osc.increment = 0x08000000;  // 32 samples cover a whole period
  osc.waveform = kWaveSaw;
  osc.render(b);
  EXPECT_EQ(b.s[0], -32768);
  EXPECT_EQ(b.s[16], 0);
  EXPECT_EQ(b.s[31], 30720);  // (0xF8000000 >> 16) - 32768
  EXPECT_EQ(osc.phase, 0u);   // wrapped exactly once

  osc.waveform = kWaveSquare;
  osc.render(b);
  EXPECT_EQ(b.s[0], -32767);
  EXPECT_EQ(b.s[16], 32767);

  osc.waveform = kWaveTriangle;
  osc.render(b);
  EXPECT_EQ(b.s[0], -32768);
  EXPECT_EQ(b.s[8], 0);       // phase 2^30: u = 32768, u - 32768
  EXPECT_EQ(b.s[16], 32768);  // phase 2^31: (131072 - 65536) - 32768
  EXPECT_EQ(b.s[24], 0);

  osc.waveform = kWaveSine;
  osc.render(b);
  EXPECT_EQ(b.s[0], 262143 >> 3);  // the sine table read a quarter period on: a cosine
  EXPECT_EQ(b.s[16], -(262143 >> 3) - 1);

  osc.waveform = kWaveNone;
  const uint32_t phase = osc.phase + 1;
  osc.phase = phase;
  osc.render(b);
  EXPECT_EQ(b.s[5], 0);
  EXPECT_EQ(osc.phase, phase);  // not advanced
}

TEST_F(Tables, NoiseDrawsTheThreadGeneratorWithoutMovingThePhase) {
  seedThreadRand(1);
  Oscillator osc;
  osc.waveform = kWaveNoise;
  osc.increment = 1000;
  SampleBlock b;
  osc.render(b);
  EXPECT_EQ(b.s[0], 41);  // the first value of the recurrence from state 1
  EXPECT_EQ(osc.phase, 0u);
  seedThreadRand(1);
  threadRand();
  EXPECT_EQ(b.s[1], threadRand());
}

TEST_F(Tables, PulseWidthFollowsTheSineTableAndMovesBy60PerBlock) {
  Oscillator osc;
  osc.waveform = kWavePulse;
  osc.pulseWidthPhase = 16384;  // width (262143 & ~3) << 12 = 0x3FFFC000: most of the cycle low
  osc.phase = 0x3FFFB000;
  osc.increment = 0x1000;
  SampleBlock b;
  osc.render(b);
  EXPECT_EQ(b.s[0], -32767);
  EXPECT_EQ(b.s[1], 32767);  // 0x3FFFC000 is no longer below the width
  EXPECT_EQ(osc.pulseWidthPhase, 16384 + 60);
}

TEST_F(Tables, GlideTakesSixtyFourBlocksThenLandsOnTheTarget) {
  Oscillator osc;
  osc.waveform = kWaveNone;
  osc.jump(1000000);
  osc.glide(1000000 + 6400);
  EXPECT_TRUE(osc.glideActive);
  EXPECT_EQ(osc.glideStep, 100);  // 6400 >> 6
  SampleBlock b;
  for (int i = 0; i < 64; ++i) osc.render(b);
  EXPECT_EQ(osc.increment, 1006400u);
  osc.render(b);  // not above the target yet: one more step
  EXPECT_EQ(osc.increment, 1006500u);
  osc.render(b);  // above it: lands and stops
  EXPECT_EQ(osc.increment, 1006400u);
  EXPECT_FALSE(osc.glideActive);

  osc.glide(1006400);  // the same pitch ends the glide at once
  EXPECT_FALSE(osc.glideActive);
  osc.glide(1006400 - 130);  // downward: (-130) >> 6 = -3 (arithmetic shift)
  EXPECT_EQ(osc.glideStep, -3);
  osc.jump(5);
  EXPECT_FALSE(osc.glideActive);
  EXPECT_EQ(osc.glideStep, 0);
}

TEST(Envelope, TriggerAttackAndDecayStages) {
  Envelope env;  // level 0, attack time 100
  env.trigger(0x100000, 4);
  EXPECT_EQ(env.decayRate, 0x40000);
  EXPECT_EQ(env.rate, 0x100000 / 100);  // 10485 per sample
  EXPECT_EQ(env.stage, kEnvAttack);
  env.advance();
  EXPECT_EQ(env.level, 10485 * 32);
  for (int i = 0; i < 3; ++i) env.advance();  // 4 * 335520 passes 0x100000
  EXPECT_EQ(env.stage, kEnvDecay);
  EXPECT_EQ(env.level, 0x100000);
  EXPECT_EQ(env.rate, -0x40000);
  env.advance();  // 1048576 - 32 * 262144 falls below 0 and stops there
  EXPECT_EQ(env.level, 0);

  // Re-triggering within 1000 of the peak jumps straight to the decay stage.
  env.level = 0x100000 - 999;
  env.trigger(0x100000, 0);
  EXPECT_EQ(env.level, 0x100000);
  EXPECT_EQ(env.stage, kEnvDecay);
  EXPECT_EQ(env.rate, -0x40000);

  // A rate that divides to 0 is made 1.
  env.level = 0;
  env.attackTime = 2000000;
  env.trigger(1000, 0);
  EXPECT_EQ(env.rate, 1);
}

TEST(Envelope, AppliedPerSampleWithinZeroAndPeak) {
  Envelope env;
  env.level = 0x80000;  // one half
  env.peak = 0x80001;
  env.rate = 1 << 12;
  SampleBlock b;
  for (int i = 0; i < kBlockSize; ++i) b.s[i] = 1000;
  env.apply(b);
  EXPECT_EQ(b.s[0], (128 * 1000) >> 8);  // (0x80000 >> 12) * 1000 >> 8
  EXPECT_EQ(b.s[1], (128 * 1000) >> 8);  // clamped at the peak: 0x80001 >> 12 is still 128
  EXPECT_EQ(env.level, 0x80000);         // apply leaves the level to advance
  EXPECT_EQ(env.value(), 0x8000);
}

TEST_F(Tables, FilterStepFromTheCutoffFormula) {
  ResonantFilter f;
  f.cutoff = 32768;   // (32768 * 10922) >> 16 = 5461
  f.damping = 0x8000;  // d = 128: the band halves after each sample
  SampleBlock b{};
  b.s[0] = 1000;
  f.process(b, kFilterLowPass);
  EXPECT_EQ(f.cutoff, 5461);
  // k = (0x20000 - (SineTable[21845] >> 1)) >> 4 = (131072 - 113513) >> 4 = 1097.
  const int32_t band0 = (1000 * 1097) >> 12;  // 267
  EXPECT_EQ(b.s[0], band0);
  const int32_t band1 = ((band0 * 128) >> 8) + (((0 - band0) * 1097) >> 12);
  EXPECT_EQ(b.s[1], band0 + band1);

  ResonantFilter high;
  high.cutoff = 100;  // clamped up to 2559
  SampleBlock h{};
  h.s[0] = 1000;
  high.process(h, kFilterHighPass);
  EXPECT_EQ(high.cutoff, (2559 * 10922) >> 16);
  const int32_t k = (0x20000 - (SineTable[(426 + 16384) & 0xFFFF] >> 1)) >> 4;
  EXPECT_EQ(h.s[0], 1000 - ((1000 * k) >> 12));  // x - low after the first sample

  ResonantFilter off;
  off.cutoff = 40000;
  SampleBlock o;
  for (int i = 0; i < kBlockSize; ++i) o.s[i] = 1234;
  off.process(o, 2);
  EXPECT_EQ(o.s[0], 1234);
  EXPECT_EQ(o.s[31], 1234);
  EXPECT_NE(off.low, 0);  // the states still run
}

}  // namespace
