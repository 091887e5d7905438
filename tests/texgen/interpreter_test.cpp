// The interpreter: cosine table, merge modes and channel masks, reset, the instruction loop, the layer
// index rule and the bounds of a program.
#include "texgen_fixture.h"

namespace {

uint32_t mergedPixel(uint32_t layer, uint32_t work, char mode, uint32_t mask = 0xFFFFFFFFu) {
  Image l = uniformImage(layer);
  const Image w = uniformImage(work);
  mergeWorkImage(l.data(), w.data(), static_cast<uint8_t>(mode), mask);
  return l[12345];
}

constexpr uint8_t kFill = 6;

}  // namespace

TEST_F(TexgenTest, CosineTableHasTheWorkedEntries) {
  EXPECT_EQ(g_cosine[0], 255);
  EXPECT_EQ(g_cosine[64], 127);
  EXPECT_EQ(g_cosine[127], 0);
  EXPECT_EQ(g_cosine[128], 0);
  EXPECT_EQ(g_cosine[129], 0);
  EXPECT_EQ(g_cosine[192], 127);
  EXPECT_EQ(g_cosine[255], 254);
  for (int i = 0; i < 256; ++i) {
    EXPECT_GE(g_cosine[i], 0);
    EXPECT_LE(g_cosine[i], 255);
  }
}

TEST_F(TexgenTest, MergeModesFollowTheirByteRules) {
  EXPECT_EQ(mergedPixel(0x11223344, 0xA0B0C0D0, '='), 0xA0B0C0D0u);
  EXPECT_EQ(mergedPixel(0xC8C8C8C8, 0x64646464, '+'), 0xFFFFFFFFu);  // 200 + 100 saturates
  EXPECT_EQ(mergedPixel(0x64646464, 0xC8C8C8C8, '-'), 0x00000000u);  // 100 - 200 stops at 0
  EXPECT_EQ(mergedPixel(0x10203040, 0x01020304, '+'), 0x11223344u);
  EXPECT_EQ(mergedPixel(0x11223344, 0x01020304, '-'), 0x10203040u);
  EXPECT_EQ(mergedPixel(0xF0F0F0F0, 0xFF00FF00, '^'), 0x0FF00FF0u);
  EXPECT_EQ(mergedPixel(0x11223344, 0xA0B0C0D0, '?'), 0x11223344u);  // unknown mode keeps the layer
}

TEST_F(TexgenTest, MultiplyWithWhiteAndBlack) {
  // v * 255 gives v for 0 and 16..255 and v - 1 for 1..15; anything * 0 gives 0.
  for (uint32_t v = 0; v < 256; ++v) {
    const uint32_t expected = (v >= 1 && v <= 15) ? v - 1 : v;
    EXPECT_EQ(mergedPixel(v * 0x01010101u, 0xFFFFFFFFu, '*'), expected * 0x01010101u) << v;
    EXPECT_EQ(mergedPixel(v * 0x01010101u, 0x00000000u, '*'), 0u) << v;
  }
  EXPECT_EQ(mergedPixel(0x80808080, 0xFFFFFFFF, '*'), 0x80808080u);  // 128 * 255 = 128
}

TEST_F(TexgenTest, ChannelMaskChoosesTheBytesThatLand) {
  EXPECT_EQ(mergedPixel(0x11223344, 0xA0B0C0D0, '=', 0), 0x11223344u);
  EXPECT_EQ(mergedPixel(0x11223344, 0xA0B0C0D0, '=', 0xFF000000u), 0xA0223344u);
}

TEST_F(TexgenTest, FillWithMasksFifteenAndSeven) {
  EXPECT_EQ(runProgram(program({instruction(kFill, 15, '=', 0, 0x12, 0x34, 0x56, 0x78)})), uniformImage(0x12345678u));
  EXPECT_EQ(runProgram(program({instruction(kFill, 7, '=', 0, 0x12, 0x34, 0x56, 0x78)})), uniformImage(0xFF345678u));
  // Channels 0: nothing lands whatever the operation computed.
  EXPECT_EQ(runProgram(program({instruction(kFill, 0, '=', 0, 0x12, 0x34, 0x56, 0x78)})), uniformImage(0xFF000000u));
  // Channels 8: alpha only.
  EXPECT_EQ(runProgram(program({instruction(kFill, 8, '=', 0, 0x12, 0x34, 0x56, 0x78)})), uniformImage(0x12000000u));
  // Alpha 0 under mask 15 makes the layer transparent.
  EXPECT_EQ(runProgram(program({instruction(kFill, 15, '=', 0, 0, 0, 0, 0)})), uniformImage(0u));
}

TEST_F(TexgenTest, EmptyProgramIsOpaqueBlack) {
  EXPECT_EQ(runProgram({0}), uniformImage(0xFF000000u));
  EXPECT_EQ(runProgram({}), uniformImage(0xFF000000u));
}

TEST_F(TexgenTest, OpcodeNineMergesThePreviousWorkImageAgain) {
  const Image result = runProgram(program({instruction(kFill, 7, '=', 0, 0, 0x10, 0x20, 0x30),
                                           instruction(9, 7, '+', 0), instruction(31, 7, '+', 0)}));
  EXPECT_EQ(result, uniformImage(0xFF306090u));
}

TEST_F(TexgenTest, ProgramsStartFromAFreshReset) {
  runProgram(program({instruction(kFill, 15, '=', 0, 1, 2, 3, 4), instruction(kFill, 15, '=', 3, 5, 6, 7, 8)}));
  // Layer 3 and the work image were reset: copying layer 3 gives opaque black.
  EXPECT_EQ(runProgram(program({instruction(11, 15, '=', 0, 0, 0, 0, 0, 3)})), uniformImage(0xFF000000u));
}

TEST_F(TexgenTest, LayerIndicesAboveThreeWrapModuloFour) {
  // Fill into "layer 5" lands in layer 1; copying "layer 9" (1) into layer 0 shows it.
  const Image result = runProgram(program({instruction(kFill, 15, '=', 5, 0xAB, 1, 2, 3),
                                           instruction(11, 15, '=', 4, 0, 0, 0, 0, 9)}));
  EXPECT_EQ(result, uniformImage(0xAB010203u));
}

TEST_F(TexgenTest, ACountBeyondThePayloadRunsOnlyTheWholeInstructions) {
  std::vector<uint8_t> bytes = program({instruction(kFill, 15, '=', 0, 1, 2, 3, 4)});
  bytes[0] = 200;  // claims 200 instructions, holds one
  EXPECT_EQ(runProgram(bytes), uniformImage(0x01020304u));
  bytes.resize(10);  // not even one whole instruction
  EXPECT_EQ(runProgram(bytes), uniformImage(0xFF000000u));
}

TEST_F(TexgenTest, EveryInstructionReseedsTheSharedGenerator) {
  // Two RandomBlocks with the same p0 give the same noise: subtracting one from the other leaves black.
  const Image result = runProgram(program({instruction(0, 7, '=', 0, 42), instruction(0, 7, '-', 0, 42)}));
  EXPECT_EQ(result, uniformImage(0xFF000000u));
}

TEST_F(TexgenTest, InstructionBytesRoundTrip) {
  const TextureInstruction in = instruction(8, 7, '*', 2, 1, 2, 3, 4, 1, 3, makeFourCC('A', 'U', 'M', 'P'));
  uint8_t bytes[16];
  encodeInstruction(in, bytes);
  EXPECT_EQ(bytes[0], 8);
  EXPECT_EQ(bytes[2], '*');
  EXPECT_EQ(bytes[12], 'A');
  EXPECT_EQ(bytes[15], 'P');
  const TextureInstruction back = decodeInstruction(bytes);
  EXPECT_EQ(back.pictureKey, 0x504D5541u);
  EXPECT_EQ(back.srcB, 3);
  EXPECT_EQ(back.p3, 4);
}

TEST_F(TexgenTest, PackedMergeMatchesTheScalarRuleInEveryMode) {
  Image layer(kLayerPixels), work(kLayerPixels);
  uint32_t s = 99;
  for (int i = 0; i < kLayerPixels; ++i) {
    layer[i] = s = s * 1664525u + 1013904223u;
    work[i] = s = s * 1664525u + 1013904223u;
  }
  for (char mode : {'=', '+', '-', '^', '*', '#'}) {
    for (uint32_t mask : {0xFFFFFFFFu, 0x00FFFFFFu, 0xFF000000u, 0u}) {
      Image packed = layer, scalar = layer;
      mergeWorkImage(packed.data(), work.data(), static_cast<uint8_t>(mode), mask);
      mergeWorkImageScalar(scalar.data(), work.data(), static_cast<uint8_t>(mode), mask);
      EXPECT_EQ(packed, scalar) << mode << " " << mask;
    }
  }
}
