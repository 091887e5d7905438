// Random sources and noise: RandomBlocks, Plasma, Cells, ValueNoise and Rays against draws of the shared
// generator (seeded as the interpreter seeds it) and their stated edge cases.
#include <set>

#include "engine3d/random.h"
#include "texgen_fixture.h"

namespace {

// The low bytes of the first n draws after seeding with `seed`.
std::vector<uint32_t> draws(uint32_t seed, int n) {
  seedRandom(seed);
  std::vector<uint32_t> out;
  for (int i = 0; i < n; ++i) out.push_back(nextRandom() & 0xFF);
  return out;
}

Image runSeeded(Operation op, const OpInputs& in, uint32_t before = 0x12345678u) {
  seedRandom(static_cast<uint32_t>(in.p0));
  return runOp(op, in, before);
}

}  // namespace

TEST_F(TexgenTest, RandomBlocksOneBlockIsTheFirstDraw) {
  const Image black = uniformImage(0xFF000000u);
  EXPECT_EQ(runSeeded(randomBlocks, operands(black, 0, 8, 8)), uniformImage(0xF6F6F6F6u));  // seed 0: 0x6F9707F6
}

TEST_F(TexgenTest, RandomBlocksDrawsOncePerBlockRowByRow) {
  const Image black = uniformImage(0xFF000000u);
  const Image work = runSeeded(randomBlocks, operands(black, 7, 7, 6));  // 128 wide, 64 high: 2 across, 4 down
  const std::vector<uint32_t> g = draws(7, 8);
  for (int i = 0; i < 4; ++i) {
    for (int j = 0; j < 2; ++j) {
      EXPECT_EQ(work[(i * 64) * 256 + j * 128], g[i * 2 + j] * 0x01010101u);
      EXPECT_EQ(work[(i * 64 + 63) * 256 + j * 128 + 127], g[i * 2 + j] * 0x01010101u);
    }
  }
  const Image noise = runSeeded(randomBlocks, operands(black, 3, 0, 0));
  const std::vector<uint32_t> n = draws(3, 257);
  EXPECT_EQ(noise[0], n[0] * 0x01010101u);
  EXPECT_EQ(noise[1], n[1] * 0x01010101u);
  EXPECT_EQ(noise[256], n[256] * 0x01010101u);
}

TEST_F(TexgenTest, RandomBlocksTooLargeDrawNothing) {
  const Image black = uniformImage(0xFF000000u);
  EXPECT_EQ(runSeeded(randomBlocks, operands(black, 0, 9, 0), 0xABCDEF01u), uniformImage(0xABCDEF01u));
  EXPECT_EQ(runSeeded(randomBlocks, operands(black, 0, 0, 31), 0xABCDEF01u), uniformImage(0xABCDEF01u));
}

TEST_F(TexgenTest, PlasmaWithoutRoughnessIsFlatAtTheFirstDraw) {
  // Seed 19: state = 19 * 22695477 + 1 = 431214064, >> 16 = 6579, low byte 179.
  const Image black = uniformImage(0xFF000000u);
  EXPECT_EQ(runOp(plasma, operands(black, 19, 0)), uniformImage(179u * 0x01010101u));
  EXPECT_EQ(runOp(plasma, operands(black, 0, 0)), uniformImage(0u));  // state 1: 1 >> 16 = 0
}

TEST_F(TexgenTest, PlasmaIsDeterministicGreyAndVaried) {
  const Image black = uniformImage(0xFF000000u);
  const Image first = runOp(plasma, operands(black, 51, 56));
  EXPECT_EQ(runOp(plasma, operands(black, 51, 56)), first);
  std::set<uint32_t> levels;
  for (uint32_t p : first) {
    EXPECT_EQ(p, (p & 0xFF) * 0x01010101u);
    levels.insert(p);
  }
  EXPECT_GT(levels.size(), 64u);
}

TEST_F(TexgenTest, CellsKindOneGivesFlatRegions) {
  const Image black = uniformImage(0xFF000000u);
  const Image work = runSeeded(cells, operands(black, 5, 4, 0, 1));
  std::set<uint32_t> values(work.begin(), work.end());
  EXPECT_EQ(values, (std::set<uint32_t>{0u, 11u * 0x01010101u, 22u * 0x01010101u, 33u * 0x01010101u}));
}

TEST_F(TexgenTest, CellsDistanceKindsAtKnownOffsets) {
  const Image black = uniformImage(0xFF000000u);
  const std::vector<uint32_t> point = draws(9, 2);
  // The single point's nearest pixel is at (px - 128, py - 128): distance 0 there.
  const int x = static_cast<int>((point[0] - 128) & 255);
  const int y = static_cast<int>((point[1] - 128) & 255);
  const Image kind0 = runSeeded(cells, operands(black, 9, 1, 32, 0));
  EXPECT_EQ(kind0[layerIndex(x, y)], 0u);
  EXPECT_EQ(kind0[layerIndex(x + 4, y)], 8u * 0x01010101u);  // trunc(sqrt(16) * 32) >> 4
  const Image kind2 = runSeeded(cells, operands(black, 9, 1, 16, 2));
  EXPECT_EQ(kind2[layerIndex(x + 3, y + 4)], 1u * 0x01010101u);  // (25 * 16) >> 8
  // Kind 3 with one point: the second distance stays 0x0FFFFFFF and the product needs 64 bits;
  // trunc(sqrt(1 * 0x0FFFFFFF) * 1 * (1/255)) = 64.
  const Image kind3 = runSeeded(cells, operands(black, 9, 1, 1, 3));
  EXPECT_EQ(kind3[layerIndex(x + 1, y)], 64u * 0x01010101u);
  EXPECT_EQ(kind3[layerIndex(x, y)], 0u);
}

TEST_F(TexgenTest, ValueNoiseWithUnitSpacingIsWhiteNoise) {
  const Image black = uniformImage(0xFF000000u);
  const Image work = runSeeded(valueNoise, operands(black, 4, 0, 0));
  const std::vector<uint32_t> g = draws(4, kLayerPixels);
  for (int i = 0; i < kLayerPixels; ++i) ASSERT_EQ(work[i], g[i] * 0x01010101u) << i;
}

TEST_F(TexgenTest, ValueNoiseKeepsTheLatticeAndInterpolatesBetween) {
  const Image black = uniformImage(0xFF000000u);
  const Image work = runSeeded(valueNoise, operands(black, 2, 5, 5));  // 8 x 8 lattice points, 32 apart
  const std::vector<uint32_t> g = draws(2, 64);
  EXPECT_EQ(work[layerIndex(0, 0)], g[0] * 0x01010101u);
  EXPECT_EQ(work[layerIndex(32, 0)], g[1] * 0x01010101u);
  EXPECT_EQ(work[layerIndex(0, 32)], g[8] * 0x01010101u);
  // Halfway along the first row: t = 0.5 exactly, so the cubic is (P0 + P1) / 2 + (P0 + P1 - P-1 - P2) / 16.
  const int pm1 = static_cast<int>(g[7]), p0 = static_cast<int>(g[0]), p1 = static_cast<int>(g[1]),
            p2 = static_cast<int>(g[2]);
  const float e = (p1 - pm1) * 0.5f, f = (p2 - p0) * 0.5f, gg = 2.0f * (p1 - p0);
  const float expected = (((e + f - gg) * 0.5f + (1.5f * gg - 2 * e - f)) * 0.5f + e) * 0.5f + p0;
  const int value = std::max(0, std::min(255, static_cast<int>(expected)));
  EXPECT_EQ(work[layerIndex(16, 0)], static_cast<uint32_t>(value) * 0x01010101u);
}

TEST_F(TexgenTest, RaysStartAtTheCentreOnTransparentBlack) {
  const Image black = uniformImage(0xFF000000u);
  EXPECT_EQ(runSeeded(rays, operands(black, 0, 0)), uniformImage(0u));
  const Image one = runSeeded(rays, operands(black, 1, 1));
  EXPECT_EQ(one[layerIndex(128, 128)], 0x00FFFFFFu);
  int lit = 0;
  for (uint32_t p : one) {
    EXPECT_TRUE(p == 0u || p == 0x00FFFFFFu);
    lit += p != 0u;
  }
  EXPECT_GE(lit, 64);
  EXPECT_LE(lit, 128);
}

TEST_F(TexgenTest, ValueNoiseSpacingsBeyondTheImageActAsTheWholeImage) {
  // A spacing above 256 has one lattice point per row and column, exactly like 256.
  const Image black = uniformImage(0xFF000000u);
  EXPECT_EQ(runSeeded(valueNoise, operands(black, 6, 9, 20)), runSeeded(valueNoise, operands(black, 6, 8, 8)));
  // Shift counts are taken modulo 32: 32 is spacing 1, per-pixel noise.
  EXPECT_EQ(runSeeded(valueNoise, operands(black, 6, 32, 32)), runSeeded(valueNoise, operands(black, 6, 0, 0)));
}
