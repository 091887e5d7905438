// The master mixer: pans, wave folder, delay sizing, reverb construction, the bus arithmetic and the
// output clamp, and the start-up order of the rand draws.
#include <gtest/gtest.h>

#include <vector>

#include "music/drum_encode.h"
#include "music/engine.h"
#include "music/master_mixer.h"
#include "music/sequencer.h"
#include "music/thread_rand.h"

namespace {

// A channel that renders a constant.
class Constant final : public SynthChannel {
 public:
  explicit Constant(int32_t v) : SynthChannel(1), value(v) {}
  void render(SampleBlock& b) override {
    for (int i = 0; i < kBlockSize; ++i) b.s[i] = value;
  }
  int32_t value;
};

// The recurrence, written out here: state * 214013 + 2531011, result bits 16 to 30.
uint32_t stateAfter(int draws) {
  uint32_t s = 1;
  for (int i = 0; i < draws; ++i) s = s * 214013u + 2531011u;
  return s;
}

TEST(MixerPan, GainsAtTheEdgesAndCentre) {
  EXPECT_EQ(panGains(128).left, 255);
  EXPECT_EQ(panGains(128).right, 255);
  EXPECT_EQ(panGains(0).left, 255);
  EXPECT_EQ(panGains(0).right, -1);
  EXPECT_EQ(panGains(255).left, 1);
  EXPECT_EQ(panGains(255).right, 255);
}

TEST(MixerFolder, DepthZeroIsAHardClipThenHalved) {
  SampleBlock b{};
  b.s[0] = 20000;
  b.s[1] = -20000;
  b.s[2] = 100;
  distort(b, 255, 0);
  EXPECT_EQ(b.s[0], 16384);   // c = (40000 * 765) >> 8 = 119531: clipped to 32768, halved
  EXPECT_EQ(b.s[1], -16384);
  EXPECT_EQ(b.s[2], 298);     // (200 * 765) >> 8 = 597, halved
}

TEST(MixerFolder, DepthFoldsBackFromTheEdge) {
  SampleBlock b{};
  b.s[0] = 20000;
  distort(b, 0, 128);  // c = (40000 * 255) >> 8 = 39843; 32768 - ((7075 * 128) >> 8) = 29231
  EXPECT_EQ(b.s[0], 29231 >> 1);
}

TEST(MixerReverb, ConstructionGainsAndTwelveDraws) {
  seedThreadRand(1);
  MasterMixer mixer;
  Sequencer seq;
  mixer.build(&seq);
  // trunc(exp(-L ln2 / x) * k * 16384): A has k = (32768 - 16400) / 16400, B has k = 1.
  EXPECT_EQ(mixer.reverbA.gain(0), 13447);
  EXPECT_EQ(mixer.reverbA.gain(5), 12454);
  EXPECT_EQ(mixer.reverbB.gain(0), 13539);
  EXPECT_EQ(mixer.reverbB.gain(5), 12385);
  EXPECT_EQ(kReverbRandDraws, 12);
  EXPECT_EQ(threadRandState(), stateAfter(12));
}

TEST(MixerDelay, SizedInRowsOfTheTempoAndNeverEmpty) {
  Sequencer seq;
  seq.setTempo(114);
  MasterMixer mixer;
  mixer.build(&seq);
  std::vector<int16_t> out(64 * 2);
  mixer.render(out.data(), 32);  // parameter 34 = 0 on the first render: 1000 blocks, not none
  EXPECT_EQ(mixer.delay.count(), 1000);
  mixer.setParam(kMasterDelayRows, 4);
  mixer.render(out.data(), 32);
  EXPECT_EQ(mixer.delay.count(), 724);  // 4 * 5792 / 32
}

TEST(MixerDelay, EchoesAfterItsLengthWithFeedback) {
  BlockDelay d;
  d.resize(2);
  d.feedback = 128;
  SampleBlock x{};
  x.s[0] = 1000;
  d.process(x);  // returns the empty slot, stores 1000
  EXPECT_EQ(x.s[0], 0);
  SampleBlock silence{};
  d.process(silence);
  EXPECT_EQ(silence.s[0], 0);
  SampleBlock y{};
  d.process(y);  // two blocks later: the echo, stored back at half
  EXPECT_EQ(y.s[0], 1000);
  SampleBlock z{};
  d.process(z);
  d.process(z);
  EXPECT_EQ(z.s[0], 500);
}

class Bus : public ::testing::Test {
 protected:
  void SetUp() override {
    seq.setTempo(114);
    mixer.build(&seq);
    mixer.addChannel(&channel);
    mixer.setParam(kMasterVolume, 255);
    mixer.setParam(kMasterPan, 128);
    mixer.setParam(kMasterDelayRows, 1);
  }
  Sequencer seq;
  MasterMixer mixer;
  Constant channel{1000};
};

TEST_F(Bus, OneChannelThroughVolumeAndTheOutputScaling) {
  std::vector<int16_t> out(64, 7);
  mixer.render(out.data(), 32);
  // (1000 * ((255 * 255) >> 8)) >> 8 = 992 on each bus; (992 * 255) >> 10 = 247.
  EXPECT_EQ(out[0], 247);
  EXPECT_EQ(out[1], 247);
  EXPECT_EQ(out[63], 247);
  EXPECT_EQ(seq.blockCounter, 1);  // one sequencer step per block
}

TEST_F(Bus, PanZeroInvertsTheRightSideAndVolumeZeroMutes) {
  mixer.setParam(kMasterPan, 0);
  std::vector<int16_t> out(64);
  mixer.render(out.data(), 32);
  EXPECT_EQ(out[0], 247);
  EXPECT_EQ(out[1], ((1000 * ((255 * -1) >> 8) >> 8) * 255) >> 10);  // gain -1: -4 then -1
  mixer.setParam(kMasterVolume, 0);
  mixer.setParam(kMasterDelaySend, 255);
  mixer.render(out.data(), 32);
  EXPECT_EQ(out[0], 0);
  EXPECT_EQ(out[1], 0);
}

TEST_F(Bus, ShortRequestsRenderNothingAndBigBusesClamp) {
  std::vector<int16_t> out(64, 7);
  mixer.render(out.data(), 31);
  EXPECT_EQ(out[0], 7);
  EXPECT_EQ(seq.blockCounter, 0);
  channel.value = 200000;  // bus 198437 -> 49416 before the clamp
  mixer.render(out.data(), 32);
  EXPECT_EQ(out[0], 32767);
  channel.value = -200000;
  mixer.render(out.data(), 32);
  EXPECT_EQ(out[0], -32768);
}

TEST_F(Bus, ReverbLevelZeroSkipsTheReverbs) {
  mixer.setParam(kMasterReverbSend, 255);
  std::vector<int16_t> out(64);
  mixer.render(out.data(), 32);
  EXPECT_EQ(out[0], 247);  // level 0: no send, no return
  mixer.setParam(kMasterReverbLevel, 255);
  for (int i = 0; i < 60; ++i) mixer.render(out.data(), 32);  // past the shortest comb (1670)
  EXPECT_GT(out[0], 247);
}

TEST(StartUp, ReverbDrawsComeBeforeTheDrumDitherWhateverTheThreadDidBefore) {
  // One type-1 record of one byte: it draws the 13th value of a fresh sequence.
  const uint32_t state = stateAfter(13);
  const int32_t r = static_cast<int32_t>((state >> 16) & 0x7FFF) & 0xFF;
  const int32_t wanted = 7 | 14 << 4;  // levels 0 and ~1: samples -8191, 8191 at scale 0.25
  std::vector<uint8_t> drums = {1, 0, 0, 0, 9, 0, 0, 9, 1, 0, 0, 0, 0, 0, 0x80, 0x3E,
                                static_cast<uint8_t>(wanted - r)};
  std::vector<uint8_t> song = {114, 0, 16};
  seedThreadRand(987654321);  // whatever the thread drew before
  threadRand();
  EXPECT_FALSE(music_buildFrom(song.data(), static_cast<int32_t>(song.size()), drums.data(),
                               static_cast<int32_t>(drums.size())));  // the song is cut short
  ASSERT_NE(music_drums(), nullptr);
  const DrumSample& sound = music_drums()->sounds[9];
  ASSERT_EQ(sound.length(), 32);
  EXPECT_EQ(sound.samples[0], -8191);
  EXPECT_EQ(sound.samples[1], 8191);
  EXPECT_EQ(threadRandState(), state);
}

TEST(StartUp, EncodedDrumsDecodeToTheirRecipeInTheEngine) {
  DrumRecipe recipe;
  recipe.sound = 10;
  recipe.type = 1;
  recipe.samples = 1024;
  DrumLayer tone;
  tone.amplitude = 0.8f;
  tone.decay = 0.02f;
  tone.frequency = 300;
  recipe.layers.push_back(tone);
  const std::vector<uint8_t> drums = encodeDrumEntry({recipe});
  const std::vector<float> source = synthesiseDrum(recipe);
  const std::vector<uint8_t> song = {114, 0, 16};
  music_buildFrom(song.data(), 3, drums.data(), static_cast<int32_t>(drums.size()));
  const DrumSample& sound = music_drums()->sounds[10];
  ASSERT_EQ(sound.length(), 1024);
  // The 4-bit quantisation is coarse, but the decoded sound must follow the recipe closely.
  double signal = 0, error = 0;
  for (int i = 0; i < 1024; ++i) {
    const double want = source[static_cast<size_t>(i)] * 32766.0;
    signal += want * want;
    error += (sound.samples[static_cast<size_t>(i)] - want) * (sound.samples[static_cast<size_t>(i)] - want);
  }
  EXPECT_LT(error, signal * 0.1);  // better than 10 dB signal to error
}

}  // namespace
