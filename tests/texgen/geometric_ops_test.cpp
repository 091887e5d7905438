// Geometric and neighbourhood filters and the bilinear sampler.
#include "texgen_fixture.h"

TEST_F(TexgenTest, SamplerAtWholePixelsReturnsThePixel) {
  const Image g = gradientImage();
  EXPECT_EQ(sampleBilinear(g.data(), 5 * 256, 9 * 256), g[layerIndex(5, 9)]);
  EXPECT_EQ(sampleBilinear(g.data(), -256, -256), g[layerIndex(255, 255)]);        // wraps
  EXPECT_EQ(sampleBilinear(g.data(), 0x10000 + 3 * 256, 0), g[layerIndex(3, 0)]);  // only the low 16 bits count
}

TEST_F(TexgenTest, SamplerHalfwayBetweenBlackAndWhite) {
  Image image = uniformImage(0u);
  for (int y = 0; y < 256; ++y) image[layerIndex(1, y)] = 0xFFFFFFFFu;
  EXPECT_EQ(sampleBilinear(image.data(), 128, 0), 0x80808080u);  // fx = 128 between 0 and 255
  EXPECT_EQ(sampleBilinear(image.data(), 0, 128), 0u);
}

TEST_F(TexgenTest, SamplerNegativeMidReadsAsWhite) {
  // a = X12(16) = 257, b = 0, fx = 255: top = 257 + 16 * floor(-257 * 4095 / 65536) = -15, so 255.
  Image image = uniformImage(0u);
  image[layerIndex(0, 0)] = 0x10101010u;
  EXPECT_EQ(sampleBilinear(image.data(), 255, 0), 0xFFFFFFFFu);
}

TEST_F(TexgenTest, ShiftAndRotateMovePixels) {
  const Image g = gradientImage();
  EXPECT_EQ(runOp(shift, operands(g, 0, 0)), g);
  const Image moved = runOp(shift, operands(g, 3, 250));
  EXPECT_EQ(moved[layerIndex(3, 250)], g[layerIndex(0, 0)]);
  EXPECT_EQ(moved[layerIndex(0, 0)], g[layerIndex(253, 6)]);
  const Image turned = runOp(rotate, operands(g));
  // A quarter turn clockwise: the left column read bottom to top becomes the top row.
  EXPECT_EQ(turned[layerIndex(0, 0)], g[layerIndex(0, 255)]);
  EXPECT_EQ(turned[layerIndex(255, 0)], g[layerIndex(0, 0)]);
  Image four = g;
  for (int i = 0; i < 4; ++i) four = runOp(rotate, operands(four));
  EXPECT_EQ(four, g);
}

TEST_F(TexgenTest, WarpsWithZeroStrengthReturnTheInput) {
  const Image g = gradientImage();
  EXPECT_EQ(runOp(sineWarp, operands(g, 7, 0, 5, 0)), g);
  EXPECT_EQ(runOp(displace, operands(g, 0, 0, 121, 0, &g, &g)), g);
}

TEST_F(TexgenTest, SineWarpMovesRowsByTheCosine) {
  const Image g = gradientImage();
  // p0 = 0: every row reads cos[0] = 255, so p1 = 1 moves each sampling position 255/256 of a pixel right.
  const Image work = runOp(sineWarp, operands(g, 0, 1, 0, 0));
  EXPECT_EQ(work[layerIndex(10, 20)], sampleBilinear(g.data(), 10 * 256 + 255, 20 * 256));
}

TEST_F(TexgenTest, DisplaceCentreValueStaysWithinAPixel) {
  const Image g = gradientImage();
  const Image blue = uniformImage(0xFF000079u);  // 121 everywhere: the centre
  const Image work = runOp(displace, operands(g, 47, 36, 121, 0, &blue, &blue));
  // u = 256 x - ((47 * 121) >> 8) * 256 + 121 * 47 = 256 x - 5632 + 5687 = 256 x + 55; v = 256 y + 4.
  EXPECT_EQ(work[layerIndex(10, 10)], sampleBilinear(g.data(), 10 * 256 + 55, 10 * 256 + 4));
}

TEST_F(TexgenTest, PolarWithZeroScalesReadsOnePixel) {
  const Image g = gradientImage();
  EXPECT_EQ(runOp(polar, operands(g, 0, 0)), uniformImage(g[0]));
  // p0 = 1 (radius 8/256 row per pixel), p1 = 0: the centre reads row 0, the pixel 32 right reads row 1.
  const Image work = runOp(polar, operands(g, 1, 0));
  EXPECT_EQ(work[layerIndex(128, 128)], g[0]);
  EXPECT_EQ(work[layerIndex(160, 128)], g[layerIndex(0, 1)]);
}

TEST_F(TexgenTest, BlurLosesOneStepPerPass) {
  const Image white = uniformImage(0xFFFFFFFFu);
  EXPECT_EQ(runOp(blur, operands(white, 1)), uniformImage(0xFEFEFEFEu));
  EXPECT_EQ(runOp(blur, operands(white, 2)), uniformImage(0xFDFDFDFDu));
  EXPECT_EQ(runOp(blur, operands(uniformImage(0u), 3)), uniformImage(0u));
  const Image g = gradientImage();
  EXPECT_EQ(runOp(blur, operands(g, 0)), g);
}

TEST_F(TexgenTest, BlurIsAFivePointCross) {
  Image dot = uniformImage(0u);
  dot[layerIndex(10, 10)] = 0xFFFFFFFFu;
  const Image work = runOp(blur, operands(dot, 1));
  const uint32_t fifth = ((255 * 13107) >> 16) * 0x01010101u;  // 50
  EXPECT_EQ(work[layerIndex(10, 10)], fifth);
  EXPECT_EQ(work[layerIndex(11, 10)], fifth);
  EXPECT_EQ(work[layerIndex(10, 9)], fifth);
  EXPECT_EQ(work[layerIndex(11, 11)], 0u);
}

TEST_F(TexgenTest, EmbossOfAFlatImageIsMidGrey) {
  const Image flat = uniformImage(0xFF8040C0u);
  EXPECT_EQ(runOp(embossH, operands(flat, 59)), uniformImage(0x80808080u));
  EXPECT_EQ(runOp(embossD, operands(flat, 51)), uniformImage(0x80808080u));
  EXPECT_EQ(runOp(embossH, operands(gradientImage(), 0)), uniformImage(0x80808080u));
}

TEST_F(TexgenTest, EmbossFollowsTheSlope) {
  // Blue = x: right minus left column sums are 3 * 2 = 6 each side apart; (3(x+1) k)/64 - (3(x-1) k)/64.
  const Image g = gradientImage();
  const Image h = runOp(embossH, operands(g, 64));
  EXPECT_EQ(channelOf(h[layerIndex(10, 10)], 0), 128 + 6);
  const Image d = runOp(embossD, operands(g, 64));
  // Blue: (11 + 10 + 11) - (9 + 10 + 9) = 4.
  EXPECT_EQ(channelOf(d[layerIndex(10, 10)], 0), 128 + 4);
}

TEST_F(TexgenTest, PackedBlurPassMatchesTheScalarRule) {
  Image noise(kLayerPixels);
  uint32_t s = 12345;
  for (uint32_t& p : noise) p = s = s * 1664525u + 1013904223u;
  noise[0] = 0xFFFFFFFFu;  // the largest sums too
  noise[1] = 0xFFFFFFFFu;
  noise[256] = 0xFFFFFFFFu;
  noise[255] = 0xFFFFFFFFu;
  noise[65280] = 0xFFFFFFFFu;
  Image scalar(kLayerPixels), packed(kLayerPixels);
  blurPassScalar(noise.data(), scalar.data());
  blurPassPacked(noise.data(), packed.data());
  EXPECT_EQ(packed, scalar);
  EXPECT_EQ(scalar[0], 0xFEFEFEFEu);  // five 255s: 1275 * 13107 >> 16 = 254
}

TEST_F(TexgenTest, PackedSamplerMatchesTheScalarRule) {
  Image noise(kLayerPixels);
  uint32_t s = 777;
  for (uint32_t& p : noise) p = s = s * 1664525u + 1013904223u;
  noise[layerIndex(3, 3)] = 0x10101010u;  // the negative-mid case: a = X12(16) beside darker pixels
  noise[layerIndex(4, 3)] = 0u;
  noise[layerIndex(3, 4)] = 0x10101010u;
  noise[layerIndex(4, 4)] = 0u;
  EXPECT_EQ(sampleBilinear(noise.data(), 3 * 256 + 255, 3 * 256), 0xFFFFFFFFu);
  for (int i = 0; i < 200000; ++i) {
    s = s * 1664525u + 1013904223u;
    const int32_t u = static_cast<int32_t>(s >> 8) - 0x400000;
    s = s * 1664525u + 1013904223u;
    const int32_t v = static_cast<int32_t>(s >> 8) - 0x400000;
    ASSERT_EQ(sampleBilinear(noise.data(), u, v), sampleBilinearScalar(noise.data(), u, v)) << u << " " << v;
  }
}
