// The drum machine's triggers and render, and the drum sample decoding against hand-worked records.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <vector>

#include "music/drum_decode.h"
#include "music/drum_machine.h"
#include "music/synth_tables.h"
#include "music/thread_rand.h"

namespace {

void put32(std::vector<uint8_t>* out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out->push_back(static_cast<uint8_t>(v >> (8 * i)));
}

void putRecord(std::vector<uint8_t>* out, int32_t sound, int32_t type, float scale, std::vector<uint8_t> payload) {
  put32(out, static_cast<uint32_t>(sound) << 24 | static_cast<uint32_t>(payload.size() + 8));
  put32(out, static_cast<uint32_t>(type));
  uint32_t bits = 0;
  std::memcpy(&bits, &scale, 4);
  put32(out, bits);
  out->insert(out->end(), payload.begin(), payload.end());
}

std::vector<uint8_t> entry(std::vector<std::vector<uint8_t>> records) {
  std::vector<uint8_t> out;
  put32(&out, static_cast<uint32_t>(records.size()));
  for (const auto& r : records) out.insert(out.end(), r.begin(), r.end());
  return out;
}

TEST(DrumDecode, TypeZeroCompandedBytesThroughTheInverseHaar) {
  // c = 0.01 * p|p| / 127: 0.32252 and 0.08063; the pair becomes (c0 - c1, c0 + c1), times 32766.
  std::vector<uint8_t> rec;
  putRecord(&rec, 5, 0, 0.01f, {64, 32});
  const std::vector<uint8_t> e = entry({rec});
  DrumSample sounds[kDrumSounds];
  decodeDrumEntry(e.data(), static_cast<int32_t>(e.size()), sounds);
  ASSERT_EQ(sounds[5].length(), 32);  // 2 samples padded to a block
  EXPECT_EQ(sounds[5].samples[0], 7925);
  EXPECT_EQ(sounds[5].samples[1], 13209);
  EXPECT_EQ(sounds[5].samples[2], 0);
}

TEST(DrumDecode, TypeOneUndoesTheDitherOfTheThreadGenerator) {
  // From state 1 the first draw is 41. Byte -66 + 41 = -25: low nibble 7 (level 0), high 14 (level ~1).
  std::vector<uint8_t> rec;
  putRecord(&rec, 9, 1, 0.25f, {static_cast<uint8_t>(-66)});
  const std::vector<uint8_t> e = entry({rec});
  DrumSample sounds[kDrumSounds];
  seedThreadRand(1);
  decodeDrumEntry(e.data(), static_cast<int32_t>(e.size()), sounds);
  ASSERT_EQ(sounds[9].length(), 32);
  EXPECT_EQ(sounds[9].samples[0], -8191);  // (0 - 0.25) * 32766, truncated
  EXPECT_EQ(sounds[9].samples[1], 8191);
  EXPECT_EQ(threadRandState(), 1u * 214013u + 2531011u);  // exactly one draw for one byte
}

TEST(DrumDecode, LongerTransformCarriesTheUpperEntries) {
  // n = 4, type 0: c = (a, b, d0, d1) -> (a - b, a + b, d0, d1) -> (a-b-d0, a-b+d0, a+b-d1, a+b+d1).
  float c[4] = {1, 2, 3, 4};
  float scratch[4];
  inverseHaar(c, scratch, 4);
  EXPECT_EQ(c[0], -4.0f);
  EXPECT_EQ(c[1], 2.0f);
  EXPECT_EQ(c[2], -1.0f);
  EXPECT_EQ(c[3], 7.0f);
}

TEST(DrumDecode, UnknownTypesAndOddCountsLeaveTheSoundSilent) {
  std::vector<uint8_t> badType, oddCount, good;
  putRecord(&badType, 0, 2, 1.0f, {1, 2});
  putRecord(&oddCount, 1, 0, 1.0f, {1, 2, 3});
  putRecord(&good, 4, 0, 0.01f, {64, 32});
  const std::vector<uint8_t> e = entry({badType, oddCount, good});
  DrumSample sounds[kDrumSounds];
  decodeDrumEntry(e.data(), static_cast<int32_t>(e.size()), sounds);
  EXPECT_TRUE(sounds[0].samples.empty());
  EXPECT_TRUE(sounds[1].samples.empty());
  EXPECT_EQ(sounds[4].samples[0], 7925);  // later records still decode
}

TEST(DrumDecode, ARecordRunningPastTheEntryIsNotRead) {
  std::vector<uint8_t> rec;
  putRecord(&rec, 6, 0, 0.01f, {64, 32});
  std::vector<uint8_t> e = entry({rec});
  e.pop_back();
  DrumSample sounds[kDrumSounds];
  decodeDrumEntry(e.data(), static_cast<int32_t>(e.size()), sounds);
  EXPECT_TRUE(sounds[6].samples.empty());
  EXPECT_EQ(sounds[11].length(), 12000);  // the bass drum is made all the same
}

TEST(DrumDecode, SoundThreeIsTheStartOfSoundTwoFadingOut) {
  DrumSample sounds[kDrumSounds];
  const std::vector<int16_t> two(96, 1000);
  sounds[2].assign(two.data(), 96);
  decodeDrumEntry(nullptr, 0, sounds);
  ASSERT_EQ(sounds[3].length(), 32);  // 96 / 3
  EXPECT_EQ(sounds[3].samples[0], (1000 * ((255 * 255) >> 8)) >> 8);  // 992
  EXPECT_EQ(sounds[3].samples[1], (1000 * ((247 * 247) >> 8)) >> 8);  // 255 - 256 / 32
  EXPECT_EQ(sounds[3].samples[31], (1000 * ((7 * 7) >> 8)) >> 8);    // 255 - 248
}

TEST(DrumDecode, BassDrumFirstSamples) {
  // s1 = 0.039, sin(0.039)^0.66 * 32767 = 3850; then s grows by 0.039 * ((12000 - i) / 12000)^7.
  DrumSample kick;
  synthesiseBassDrum(kick);
  ASSERT_EQ(kick.length(), 12000);
  EXPECT_EQ(kick.samples[0], 3850);
  EXPECT_EQ(kick.samples[1], 6078);
  EXPECT_EQ(kick.samples[2], 7934);
  EXPECT_EQ(kick.samples[3], 9579);
  EXPECT_LE(std::abs(kick.samples[11999]), 2);  // the linear fade: at most 32767 / 12000 left
}

class Machine : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { buildSynthTables(); }  // the filter reads the sine table
  void SetUp() override {
    std::vector<uint8_t> block(kDrumBankBytes, 0);
    block[0 * 12 + 2] = 2;  // row 0: sound 2 full, sound 9 soft
    block[0 * 12 + 9] = 1;
    block[1 * 12 + 3] = 2;  // row 1: sound 3 (chokes 2), sound 7 on the row and the sub-tick before
    block[1 * 12 + 7] = 4;
    block[192] = 2;  // two rows
    block.push_back(0);  // no parameters
    put32(&block, 0);    // no skipped bytes
    ASSERT_EQ(drums.load(block.data(), static_cast<int32_t>(block.size())), kDrumBankBytes + 1 + 4);
    const std::vector<int16_t> ones(64, 1000);
    for (int i : {2, 3, 7, 9}) drums.sounds[i].assign(ones.data(), 64);
    drums.startPattern(0);
  }
  DrumMachine drums;
};

TEST_F(Machine, ResetVolumesAndTriggerVelocities) {
  EXPECT_EQ(drums.param(0), 200);
  EXPECT_EQ(drums.param(11), 200);
  drums.onTick(kTickRow);
  EXPECT_TRUE(drums.sounds[2].playing);
  EXPECT_EQ(drums.sounds[2].velocity, 255);
  EXPECT_EQ(drums.sounds[9].velocity, 100);
  EXPECT_FALSE(drums.sounds[7].playing);
  EXPECT_EQ(drums.rowIndex(), 1);
}

TEST_F(Machine, CommandFourHitsOnTheSubTickBeforeItsRowAndSoundThreeChokesTwo) {
  drums.onTick(kTickRow);
  drums.onTick(kTickSub);  // reads row 1 already: only the 4 fires
  EXPECT_TRUE(drums.sounds[7].playing);
  EXPECT_FALSE(drums.sounds[3].playing);
  EXPECT_TRUE(drums.sounds[2].playing);
  drums.sounds[7].position = 32;
  drums.onTick(kTickRow);  // row 1: 3 and 7 again; 3 stops 2
  EXPECT_EQ(drums.sounds[7].position, 0);
  EXPECT_TRUE(drums.sounds[3].playing);
  EXPECT_FALSE(drums.sounds[2].playing);
  EXPECT_EQ(drums.rowIndex(), 0);  // two rows: wrapped
}

TEST_F(Machine, RenderScalesByVolumeAndVelocityAndStopsAtTheEnd) {
  drums.onTick(kTickRow);  // sounds 2 (255) and 9 (100)
  SampleBlock b;
  drums.render(b);
  // ((200 * 255) >> 8) * 1000 >> 8 = 777, plus ((200 * 100) >> 8) * 1000 >> 8 = 304.
  EXPECT_EQ(b.s[0], 777 + 304);
  drums.render(b);
  EXPECT_FALSE(drums.sounds[2].playing);  // 64 samples: two blocks
  drums.render(b);
  EXPECT_EQ(b.s[0], 0);
}

TEST_F(Machine, StoppedMachineCountsRowsWithoutAPattern) {
  drums.startPattern(-1);
  EXPECT_EQ(drums.playingPattern(), -1);
  drums.onTick(kTickRow);
  drums.onTick(kTickRow);
  EXPECT_FALSE(drums.sounds[2].playing);
  EXPECT_EQ(drums.rowIndex(), 2);
}

TEST_F(Machine, OptionalLowPassOnTheSum) {
  drums.setParam(kDrumFilterOn, 1);
  drums.setParam(kDrumFilterCutoff, 10);  // 2560 after the clamp's floor of 2559
  drums.onTick(kTickRow);
  SampleBlock b;
  drums.render(b);
  EXPECT_EQ(drums.filter.cutoff, (2560 * 10922) >> 16);
  EXPECT_LT(b.s[0], 777 + 304);  // the first sample of a step through a low-pass is smaller
  EXPECT_GT(b.s[0], 0);
}

}  // namespace
