// The synth voice's row steps: triggers, slides, holds, releases, repeats and pattern control.
#include <gtest/gtest.h>

#include <cstring>

#include "music/mono_synth.h"
#include "music/synth_tables.h"
#include "music/thread_rand.h"

namespace {

class Voice : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { buildSynthTables(); }

  // A bank with pattern 0 set from `steps` (note, octave, gate, accent, slide, repeat) and length.
  void loadPattern(std::vector<SynthStep> steps, int32_t length, std::vector<uint8_t> params) {
    std::vector<uint8_t> block(kSynthBankBytes, 0);
    if (!steps.empty()) std::memcpy(block.data(), steps.data(), steps.size() * sizeof(SynthStep));
    block[96] = static_cast<uint8_t>(length);
    block.push_back(static_cast<uint8_t>(params.size()));
    block.insert(block.end(), params.begin(), params.end());
    ASSERT_EQ(synth.load(block.data(), static_cast<int32_t>(block.size())),
              kSynthBankBytes + 1 + static_cast<int32_t>(params.size()));
    synth.startPattern(0);
  }

  // Stored parameters: transpose, osc semitones biased by 128; waveforms saw.
  static std::vector<uint8_t> plainParams() {
    std::vector<uint8_t> p(20, 0);
    p[0] = 128;
    p[8] = 128;
    p[12] = 128;
    p[3] = 10;  // filter envelope peak 10 * 10 * 16 = 1600
    p[5] = 4;   // decay divisor 16
    p[6] = 2;   // accent adds 8192
    p[7] = 1;
    p[11] = 1;
    return p;
  }

  MonoSynth synth{0};
};

TEST_F(Voice, LoadRemovesTheBiasOfTransposeAndSemitones) {
  std::vector<uint8_t> p = plainParams();
  p[0] = 116;
  p[12] = 135;
  loadPattern({}, 16, p);
  EXPECT_EQ(synth.param(kSynthTranspose), -12);
  EXPECT_EQ(synth.param(kSynthSemis1), 0);
  EXPECT_EQ(synth.param(kSynthSemis2), 7);
}

TEST_F(Voice, FirstGatedStepTriggersBothEnvelopesAndJumpsThePitch) {
  // Octave -1, note 0, no offsets: note 36.
  loadPattern({{0, -1, 1, 0, 0, 0}}, 16, plainParams());
  synth.ampEnv.level = 5000;
  synth.mainFilter.low = 77;
  synth.onTick(kTickRow);
  EXPECT_EQ(synth.osc[0].increment, static_cast<uint32_t>(PitchTable[36]));
  EXPECT_EQ(synth.osc[1].increment, static_cast<uint32_t>(PitchTable[36]));
  EXPECT_EQ(synth.osc[0].waveform, kWaveSaw);
  EXPECT_EQ(synth.ampEnv.attackTime, 16);  // parameter 4 = 0: 0 * 30 + 16
  EXPECT_EQ(synth.ampEnv.peak, 0x100000);
  EXPECT_EQ(synth.ampEnv.rate, 0x100000 / 16);  // from level 0: the level was cleared
  EXPECT_EQ(synth.ampEnv.decayRate, 220);
  EXPECT_EQ(synth.filterEnv.peak, 1600);
  EXPECT_EQ(synth.filterEnv.decayRate, 100);
  EXPECT_EQ(synth.mainFilter.low, 0);
  EXPECT_EQ(synth.rowIndex(), 1);
}

TEST_F(Voice, AccentRaisesBothPeaks) {
  loadPattern({{9, 0, 1, 1, 0, 0}}, 16, plainParams());
  synth.onTick(kTickRow);
  EXPECT_EQ(synth.ampEnv.peak, 0x128000);
  EXPECT_EQ(synth.filterEnv.peak, 1600 + 2 * 4096);
  EXPECT_EQ(synth.osc[0].increment, static_cast<uint32_t>(PitchTable[57]));
}

TEST_F(Voice, AStepAfterASlideGlidesWithoutRetriggering) {
  // Step 0: gated with slide (holds: decay rate 0). Step 1: gated, a fifth up: glides, no trigger.
  // Step 2: no gate after a step without slide: release.
  loadPattern({{0, 0, 1, 0, 1, 0}, {7, 0, 1, 0, 0, 0}, {0, 0, 0, 0, 0, 0}}, 3, plainParams());
  synth.onTick(kTickRow);
  EXPECT_EQ(synth.ampEnv.decayRate, 0);
  synth.ampEnv.level = 123456;
  synth.ampEnv.rate = 0;
  synth.onTick(kTickRow);
  EXPECT_EQ(synth.ampEnv.level, 123456);  // not triggered
  EXPECT_EQ(synth.ampEnv.rate, 0);
  EXPECT_TRUE(synth.osc[0].glideActive);
  EXPECT_EQ(synth.osc[0].glideTarget, static_cast<uint32_t>(PitchTable[55]));
  EXPECT_EQ(synth.osc[0].glideStep, (PitchTable[55] - PitchTable[48]) >> 6);
  synth.onTick(kTickRow);
  EXPECT_EQ(synth.ampEnv.rate, -220);
  EXPECT_EQ(synth.ampEnv.decayRate, 220);
  EXPECT_EQ(synth.rowIndex(), 0);  // length 3 wraps
}

TEST_F(Voice, RepeatRetriggersOnTheSubTickOnlyWithGate) {
  loadPattern({{0, 0, 1, 1, 0, 1}, {0, 0, 0, 0, 0, 1}}, 2, plainParams());
  synth.onTick(kTickRow);
  synth.ampEnv.level = 0x128000 - 500;  // within 1000 of the accent peak: a re-trigger jumps to decay
  synth.onTick(kTickSub);
  EXPECT_EQ(synth.ampEnv.stage, kEnvDecay);
  EXPECT_EQ(synth.ampEnv.level, 0x128000);
  EXPECT_EQ(synth.filterEnv.peak, 1600 + 2 * 4096);
  synth.onTick(kTickRow);  // step 1 has repeat but no gate
  synth.ampEnv.level = 42;
  synth.onTick(kTickSub);
  EXPECT_EQ(synth.ampEnv.level, 42);
}

TEST_F(Voice, StopForgetsThePatternAndReleases) {
  loadPattern({{0, 0, 1, 0, 0, 0}}, 16, plainParams());
  synth.onTick(kTickRow);
  synth.startPattern(-1);
  EXPECT_EQ(synth.currentPattern(), -1);
  EXPECT_EQ(synth.ampEnv.rate, -220);
  synth.onTick(kTickRow);  // no pattern: only the row counter moves
  EXPECT_EQ(synth.rowIndex(), 1);
  synth.reset();
  EXPECT_EQ(synth.currentPattern(), 0);
  EXPECT_EQ(synth.param(kSynthWave1), 0);
}

TEST_F(Voice, RenderMixesByTheCoinAndRingModulates) {
  loadPattern({{0, 0, 1, 0, 0, 0}}, 16, plainParams());
  synth.setParam(kSynthFilterMode, 2);  // unfiltered
  synth.setParam(kSynthBalance, 255);
  synth.osc[0].waveform = kWaveSquare;
  synth.osc[1].waveform = kWaveSquare;
  synth.osc[0].phase = synth.osc[1].phase = 0x80000000u;  // both +32767
  synth.osc[0].increment = synth.osc[1].increment = 0;
  synth.ampEnv.level = 0x100000;  // unity, holding
  synth.ampEnv.peak = 0x100000;
  synth.ampEnv.rate = 0;
  seedThreadRand(1);  // first draw 41: odd, so oscillator 1 passes
  SampleBlock b;
  synth.render(b);
  EXPECT_EQ(synth_coin.load(), 1);
  // (32767 * 255) >> 8 + (32767 * 0) >> 8, then (256 * s) >> 8 for unity.
  EXPECT_EQ(b.s[0], (32767 * 255) >> 8);

  synth.setParam(kSynthRing, 1);
  synth.render(b);
  EXPECT_EQ(b.s[0], ((32767 >> 2) * (32767 >> 2)) >> 12);
}

}  // namespace
