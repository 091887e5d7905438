// Patterns, fills and pictures: CosineGrid, Checker, Light, Fill, TilePicture and StampPicture.
#include "texgen_fixture.h"

namespace {

const FourCC kPicture = makeFourCC('P', 'I', 'C', 'T');
const FourCC kMissing = makeFourCC('N', 'O', 'N', 'E');

// A 128 x 128 picture of four flat quadrants (palette 0 top left, 1 top right, 2 bottom left, 3 bottom
// right) loaded as "PICT", with a raw entry "RAWW" beside it.
void loadQuadrantPicture(const uint32_t (&palette)[16]) {
  std::vector<uint8_t> indices(128 * 128);
  for (int y = 0; y < 128; ++y) {
    for (int x = 0; x < 128; ++x) indices[y * 128 + x] = static_cast<uint8_t>((y >= 64 ? 2 : 0) + (x >= 64 ? 1 : 0));
  }
  loadEntries({{makeFourCC('R', 'A', 'W', 'W'), 'R', {1, 2, 3}},
               {kPicture, 'P', palettePicture(128, 128, palette, indices)}});
}

constexpr uint32_t kQuadrants[16] = {0xFFFF8000u, 0xFF00FF80u, 0xFF8000FFu, 0xFFFFFFFFu};

}  // namespace

TEST_F(TexgenTest, CosineGridEdgeCases) {
  const Image black = uniformImage(0xFF000000u);
  EXPECT_EQ(runOp(cosineGrid, operands(black, 0, 0)), uniformImage(0xFFFFFFFFu));
  const Image bump = runOp(cosineGrid, operands(black, 1, 1));
  EXPECT_EQ(bump[layerIndex(0, 0)], 0xFFFFFFFFu);
  EXPECT_EQ(bump[layerIndex(128, 128)], 0u);
  EXPECT_EQ(bump[layerIndex(64, 0)], ((127 + 255) / 2) * 0x01010101u);
}

TEST_F(TexgenTest, CheckerCellsAndParity) {
  const Image black = uniformImage(0xFF000000u);
  const Image fine = runOp(checker, operands(black, 0, 0));
  EXPECT_EQ(fine[layerIndex(0, 0)], 0xFFFFFFFFu);
  EXPECT_EQ(fine[layerIndex(1, 0)], 0u);
  EXPECT_EQ(fine[layerIndex(1, 1)], 0xFFFFFFFFu);
  EXPECT_EQ(runOp(checker, operands(black, 8, 8)), uniformImage(0xFFFFFFFFu));
  const Image cells = runOp(checker, operands(black, 5, 3));
  EXPECT_EQ(cells[layerIndex(31, 7)], 0xFFFFFFFFu);
  EXPECT_EQ(cells[layerIndex(32, 7)], 0u);
  EXPECT_EQ(cells[layerIndex(32, 8)], 0xFFFFFFFFu);
}

TEST_F(TexgenTest, LightKindZero) {
  const Image black = uniformImage(0xFF000000u);
  EXPECT_EQ(runOp(light, operands(black, 255, 200, 0)), uniformImage(0u));
  const Image glow = runOp(light, operands(black, 0, 9, 0));
  EXPECT_EQ(glow[layerIndex(128, 128)], 0xFFFFFFFFu);  // (9 + 1) * 255 * 0.1
  EXPECT_EQ(glow[layerIndex(0, 128)], 0u);             // r = 1
  // r = 0.5 at (192, 128): v = 127.5, w = 10 * 127.5 * 0.1 = 127.5 -> 127.
  EXPECT_EQ(glow[layerIndex(192, 128)], 127u * 0x01010101u);
}

TEST_F(TexgenTest, LightKindOneIsASoftDisc) {
  const Image black = uniformImage(0xFF000000u);
  const Image disc = runOp(light, operands(black, 116, 84, 1));
  EXPECT_EQ(disc[layerIndex(128, 128)], 0xFFFFFFFFu);  // inside radius g = 0.4549
  EXPECT_EQ(disc[layerIndex(128 + 50, 128)], 0xFFFFFFFFu);
  EXPECT_EQ(disc[layerIndex(0, 128)], 0u);  // r = 1
  EXPECT_EQ(disc[layerIndex(0, 0)], 0u);    // beyond r = 1
  // r = 0.75: (exp(-(0.75 - g) * 5.25) - E0) / E1 = 0.1646..., * 255 + 0.5 -> 42.
  EXPECT_EQ(disc[layerIndex(128 + 96, 128)], 42u * 0x01010101u);
}

TEST_F(TexgenTest, LightWithoutADivisorOrAKindIsBlack) {
  const Image black = uniformImage(0xFF000000u);
  EXPECT_EQ(runOp(light, operands(black, 100, 0, 1)), uniformImage(0u));  // b = 0: E1 = 0
  EXPECT_EQ(runOp(light, operands(black, 255, 50, 1)), uniformImage(0u));  // a = 255: E1 = 0
  EXPECT_EQ(runOp(light, operands(black, 0, 9, 2)), uniformImage(0u));
}

TEST_F(TexgenTest, FillWritesOneColour) {
  const Image black = uniformImage(0xFF000000u);
  EXPECT_EQ(runOp(fill, operands(black, 0x12, 0x34, 0x56, 0x78)), uniformImage(0x12345678u));
}

TEST_F(TexgenTest, TilePictureDoubledCoversTheTextureOnce) {
  loadQuadrantPicture(kQuadrants);
  const Image black = uniformImage(0xFF000000u);
  const Image work = runOp(tilePicture, operands(black, 1, 1, 0, 0, nullptr, nullptr, kPicture));
  EXPECT_EQ(work[layerIndex(0, 0)], kQuadrants[0]);
  EXPECT_EQ(work[layerIndex(127, 127)], kQuadrants[0]);
  EXPECT_EQ(work[layerIndex(128, 0)], kQuadrants[1]);
  EXPECT_EQ(work[layerIndex(0, 128)], kQuadrants[2]);
  EXPECT_EQ(work[layerIndex(255, 255)], kQuadrants[3]);
  const Image tiled = runOp(tilePicture, operands(black, 0, 0, 0, 0, nullptr, nullptr, kPicture));
  EXPECT_EQ(tiled[layerIndex(128 + 64, 0)], kQuadrants[1]);  // the second copy
}

TEST_F(TexgenTest, PictureOpsLeaveTheWorkImageWithoutAPicture) {
  loadQuadrantPicture(kQuadrants);
  const Image black = uniformImage(0xFF000000u);
  for (FourCC key : {kMissing, makeFourCC('R', 'A', 'W', 'W')}) {
    EXPECT_EQ(runOp(tilePicture, operands(black, 1, 1, 0, 0, nullptr, nullptr, key), 0xABCDEF01u),
              uniformImage(0xABCDEF01u));
    EXPECT_EQ(runOp(stampPicture, operands(black, 0, 0, 0, 0, nullptr, nullptr, key), 0xABCDEF01u),
              uniformImage(0xABCDEF01u));
  }
}

TEST_F(TexgenTest, StampPictureWrapsAroundTheEdges) {
  loadQuadrantPicture(kQuadrants);
  const Image grey = uniformImage(0xFF404040u);
  const Image work = runOp(stampPicture, operands(grey, 0, 0, 200, 200, nullptr, nullptr, kPicture));
  EXPECT_EQ(work[layerIndex(200, 200)], kQuadrants[0]);
  EXPECT_EQ(work[layerIndex(199, 199)], 0xFF404040u);  // outside: dest copied
  EXPECT_EQ(work[layerIndex(100, 100)], 0xFF404040u);
  // Picture pixel (127, 127) lands at (327 & 255, 327 & 255) = (71, 71).
  EXPECT_EQ(work[layerIndex(71, 71)], kQuadrants[3]);
  EXPECT_EQ(work[layerIndex(72, 72)], 0xFF404040u);
  // Enlarged 4 x: 512 pixels wrap onto themselves and the later columns and rows win.
  const Image big = runOp(stampPicture, operands(grey, 2, 2, 0, 0, nullptr, nullptr, kPicture));
  EXPECT_EQ(big[layerIndex(0, 0)], kQuadrants[3]);
}

TEST_F(TexgenTest, PictureKeyNamingATextureProgramDoesNotRunIt) {
  // "OTHR" is a texture program; tiling it must neither run it nor disturb the program that asks.
  const FourCC other = makeFourCC('O', 'T', 'H', 'R');
  loadEntries({{other, 'T', program({instruction(6, 15, '=', 0, 1, 2, 3, 4)})}});
  const Image result = runProgram(program({instruction(6, 7, '=', 0, 0, 0x10, 0x20, 0x30),
                                           instruction(7, 7, '+', 0, 0, 0, 0, 0, 0, 0, other)}));
  EXPECT_EQ(result, uniformImage(0xFF204060u));  // the Fill merged twice
  EXPECT_EQ(archiveEntryAt(0)->ready, 0);
}
