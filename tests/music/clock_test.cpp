#include <gtest/gtest.h>

#include "archive/archive.h"
#include "archive/embedded_archive.h"
#include "music/engine.h"
#include "music/stream_ring.h"

namespace {

TEST(MusicTempo, RowSamplesRoundDownToWholeBlocks) {
  Sequencer sequencer;
  EXPECT_EQ(sequencer.RowSamples.load(), 5504);  // constructed at 120 bpm
  sequencer.setTempo(114);                        // 2646000 / 456 = 5802
  EXPECT_EQ(sequencer.RowSamples.load(), 5792);
  EXPECT_EQ(sequencer.BlocksPerRow, 181);
  sequencer.setTempo(0);  // means 120: 5512 -> 5504
  EXPECT_EQ(sequencer.RowSamples.load(), 5504);
  EXPECT_EQ(sequencer.BlocksPerRow, 172);
  sequencer.setTempo(255);  // 2594 -> 2592
  EXPECT_EQ(sequencer.RowSamples.load(), 2592);
}

TEST(MusicTempo, BuildSetsTheSongTempo) {
  loadArchive(g_archiveBlob, g_archiveBlobSize);
  music_build();
  EXPECT_EQ(g_sequencer.RowSamples.load(), 5792);
}

constexpr int32_t kRow114 = 5792;

TEST(MusicClock, SongPositionsAtTheirFirstSteps) {
  EXPECT_EQ(musicRowAt(3000 + 23168, kRow114), 1);
  EXPECT_EQ(musicRowAt(3000 + 23167, kRow114), 0);
  EXPECT_FLOAT_EQ(musicBeatsAt(3000 + 92672, kRow114), 1.0f);
  EXPECT_EQ(musicOrderAt(3000 + 370688, kRow114), 1);
  EXPECT_EQ(musicOrderAt(3000 + 370687, kRow114), 0);
}

TEST(MusicClock, DivisionsTruncateTowardZero) {
  EXPECT_EQ(musicRowAt(2999, kRow114), 0);
  EXPECT_EQ(musicOrderAt(2999, kRow114), 0);
  const float beats = musicBeatsAt(2999, kRow114);
  EXPECT_LT(beats, 0.0f);
  EXPECT_GT(beats, -0.0001f);
  // At the start of the stream: -179384 / 23168 = -7.74 truncates to -7, not -8.
  EXPECT_EQ(musicRowAt(-176384, kRow114), -7);
  EXPECT_EQ(musicOrderAt(-176384, kRow114), 0);
}

TEST(MusicClock, SecondsIgnoreTheOffset) {
  EXPECT_FLOAT_EQ(musicSecondsAt(176400), 1.0f);
  EXPECT_FLOAT_EQ(musicSecondsAt(-176384), -176384 * 5.668934e-6f);
  EXPECT_EQ(musicSecondsAt(0), 0.0f);
}

TEST(StreamRing, FreeSpaceRoundsDownToWholeSteps) {
  EXPECT_EQ(streamFreeBytes(1000, 1000), 0);
  EXPECT_EQ(streamFreeBytes(1200, 1000), 128);
  EXPECT_EQ(streamFreeBytes(1255, 1000), 128);
  EXPECT_EQ(streamFreeBytes(1256, 1000), 256);
  // Round the end of the ring: 176384 - 176000 + 100 = 484.
  EXPECT_EQ(streamFreeBytes(100, 176000), 384);
  // Play just behind write: nearly a whole ring free.
  EXPECT_EQ(streamFreeBytes(996, 1000), (kStreamRingSize - 4) & ~127);
}

TEST(StreamRing, RefillOnlyFromTwoSteps) {
  EXPECT_FALSE(streamRefillDue(0));
  EXPECT_FALSE(streamRefillDue(128));
  EXPECT_TRUE(streamRefillDue(256));
  EXPECT_FALSE(streamRefillDue(streamFreeBytes(1255, 1000)));
}

TEST(StreamRing, PlayedBytesStartOneRingBelowZero) {
  EXPECT_EQ(streamPlayedBytes(0, 0, -kStreamRingSize), -176384);
  // After a refill of 2816 bytes at play 2940: 124 still ahead, 2816 written.
  EXPECT_EQ(streamPlayedBytes(2940, 2816, -kStreamRingSize + 2816), 2940 - 176384);
  // Across the end of the ring.
  EXPECT_EQ(streamPlayedBytes(100, 176000, 5000), 484 + 5000);
}

}  // namespace
