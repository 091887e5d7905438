// Per-pixel filters, combiners and colour operations against their worked byte values.
#include "texgen_fixture.h"

namespace {

// One pixel through a per-pixel operation (dest d, A a, B b).
uint32_t onePixel(Operation op, uint32_t d, uint32_t a = 0, uint32_t b = 0, int p0 = 0, int p1 = 0) {
  const Image dest = uniformImage(d), imageA = uniformImage(a), imageB = uniformImage(b);
  return runOp(op, operands(dest, p0, p1, 0, 0, &imageA, &imageB))[777];
}

}  // namespace

TEST_F(TexgenTest, CopyInvertBlueToGreyMaximum) {
  EXPECT_EQ(onePixel(copyLayer, 0x11111111, 0x12345678), 0x12345678u);
  EXPECT_EQ(onePixel(invert, 0xFF00FF0F), 0x00FF00F0u);
  EXPECT_EQ(onePixel(blueToGrey, 0x123456AB), 0xABABABABu);
  EXPECT_EQ(onePixel(maximum, 0x10F020E0, 0x20E030D0), 0x20F030E0u);
  const Image g = gradientImage();
  EXPECT_EQ(runOp(maximum, operands(g, 0, 0, 0, 0, &g)), g);
  const Image once = runOp(invert, operands(g));
  EXPECT_EQ(runOp(invert, operands(once)), g);
  EXPECT_EQ(once[0] >> 24, 0u);  // alpha inverted too
}

TEST_F(TexgenTest, BlendConstMovesDestTowardA) {
  EXPECT_EQ(onePixel(blendConst, 0x00000000, 0xFFFFFFFF, 0, 128), 0x80808080u);  // halfway up: 128
  EXPECT_EQ(onePixel(blendConst, 0xFFFFFFFF, 0x00000000, 0, 128), 0x7E7E7E7Eu);  // halfway down: 126
  EXPECT_EQ(onePixel(blendConst, 0x12345678, 0xFFFFFFFF, 0, 0), 0x12345678u);
  EXPECT_EQ(onePixel(blendConst, 0x00000000, 0xFFFFFFFF, 0, 255), 0xFFFFFFFFu);
  EXPECT_EQ(onePixel(blendConst, 0xFFFFFFFF, 0x00000000, 0, 255), 0x00000000u);  // -256 clamps to 0
}

TEST_F(TexgenTest, BlendMaskMovesATowardDestPerChannel) {
  // B's bytes weigh each channel: 0 gives A, 255 gives dest.
  EXPECT_EQ(onePixel(blendMask, 0xFF00FF00, 0x00FF00FF, 0xFF0000FF), 0xFFFF0000u);
  EXPECT_EQ(onePixel(blendMask, 0x00000000, 0xFFFFFFFF, 0xFFFFFFFF), 0x00000000u);  // clamped, never negative
  EXPECT_EQ(onePixel(blendMask, 0xFFFFFFFF, 0x00000000, 0x80808080), 0x80808080u);
}

TEST_F(TexgenTest, OverlayMultipliesOrScreensByA) {
  EXPECT_EQ(onePixel(overlay, 0xFFFFFFFF, 0x7F7F7F7F), 0xFDFDFDFDu);  // d 255, s 127: 253
  EXPECT_EQ(onePixel(overlay, 0x00000000, 0xFFFFFFFF), 0xFEFEFEFEu);  // d 0, s 255: 254
  EXPECT_EQ(onePixel(overlay, 0x80808080, 0x80808080), 0x80808080u);
  const Image g = gradientImage(), half = uniformImage(0x80808080u);
  EXPECT_EQ(runOp(overlay, operands(g, 0, 0, 0, 0, &half)), g);
}

TEST_F(TexgenTest, ContrastPullsTowardTheMiddle) {
  EXPECT_EQ(onePixel(contrast, 0x00FF00FF, 0, 0, 255), 0x7E7F7E7Fu);  // 0 -> 126, 255 -> 127
  EXPECT_EQ(onePixel(contrast, 0x12345678, 0, 0, 0), 0x12345678u);
  EXPECT_EQ(onePixel(contrast, 0x00000000, 0, 0, 128), 0x3F3F3F3Fu);  // (127 * 128) >> 8 = 63
}

TEST_F(TexgenTest, CosineMapOneWaveAcrossTheRange) {
  // v 0 -> cos[128] = 0, 64 -> cos[192] = 127, 128 -> cos[0] = 255, 255 -> cos[127] = 0.
  EXPECT_EQ(onePixel(cosineMap, 0xFF804000, 0, 0, 1), 0x00FF7F00u);
  EXPECT_EQ(onePixel(cosineMap, 0x00000040, 0, 0, 2), 0x000000FFu);  // 64 * 2 - 128 = 0 -> 255; 0 -> 0
}

TEST_F(TexgenTest, HsvAdjustKeepsGreys) {
  Image greys(kLayerPixels);
  for (int i = 0; i < kLayerPixels; ++i) greys[i] = (static_cast<uint32_t>(i >> 8) << 24) | (i & 255) * 0x010101u;
  for (int p0 : {0, 11, 157, 255}) {
    for (int p1 : {0, 128, 255}) EXPECT_EQ(runOp(hsvAdjust, operands(greys, p0, p1)), greys) << p0 << " " << p1;
  }
}

TEST_F(TexgenTest, HsvAdjustNeutralOperandsAtMostOneStepLower) {
  const Image g = gradientImage();
  const Image work = runOp(hsvAdjust, operands(g, 0, 128));
  for (int i = 0; i < kLayerPixels; ++i) {
    for (int k = 0; k < 4; ++k) {
      const int before = channelOf(g[i], k), after = channelOf(work[i], k);
      ASSERT_TRUE(after == before || after == before - 1) << i << " byte " << k;
    }
  }
}

TEST_F(TexgenTest, HsvAdjustRotatesTheHue) {
  // Pure red turned by a third of a turn (p0 = 85: 85/255) is pure green.
  EXPECT_EQ(onePixel(hsvAdjust, 0xFFFF0000, 0, 0, 85, 128), 0xFF00FF00u);
  // Saturation 0 leaves the value's grey: red 255 -> white.
  EXPECT_EQ(onePixel(hsvAdjust, 0xFFFF0000, 0, 0, 0, 0), 0xFFFFFFFFu);
}

TEST_F(TexgenTest, HsvToRgbReadsChannelsAsHsv) {
  // p0 = p1 = 0: saturation 0, so the blue byte becomes the grey level; alpha kept.
  EXPECT_EQ(onePixel(hsvToRgb, 0x7F12C840, 0, 0, 0, 0), 0x7F404040u);
  // Hue 0, full saturation (green 255 scaled by 128/128), value 1: pure red.
  EXPECT_EQ(onePixel(hsvToRgb, 0xFF00FFFF, 0, 0, 0, 128), 0xFFFF0000u);
  // Hue 1/3 (red 85), full saturation, value 1: pure green.
  EXPECT_EQ(onePixel(hsvToRgb, 0xFF55FFFF, 0, 0, 0, 128), 0xFF00FF00u);
}

TEST_F(TexgenTest, HsvToRgbWithoutASectorKeepsThePixel) {
  // Red 255 and p0 255 wrap once to a hue of 1: no sector, so red, green and blue stay as they were.
  EXPECT_EQ(onePixel(hsvToRgb, 0xFFFF8040, 0, 0, 255, 128), 0xFFFF8040u);
}
