// The nine stored programs as compiled from assets/textures.txt, and the text form's error messages.
#include <fstream>
#include <sstream>

#include "texgen/program_text.h"
#include "texgen_fixture.h"

namespace {

std::vector<CompiledTexture> storedPrograms() {
  std::ifstream file(std::string(BRANNIK_SOURCE_DIR) + "/assets/textures.txt");
  std::stringstream text;
  text << file.rdbuf();
  std::vector<CompiledTexture> programs;
  std::string error;
  EXPECT_TRUE(compileTexturePrograms(text.str(), "textures.txt", &programs, &error)) << error;
  return programs;
}

const CompiledTexture* find(const std::vector<CompiledTexture>& programs, const char* key) {
  for (const CompiledTexture& p : programs) {
    if (p.key == makeFourCC(key[0], key[1], key[2], key[3])) return &p;
  }
  return nullptr;
}

std::string compileError(const std::string& text) {
  std::vector<CompiledTexture> programs;
  std::string error;
  EXPECT_FALSE(compileTexturePrograms(text, "t.txt", &programs, &error));
  return error;
}

}  // namespace

TEST_F(TexgenTest, StoredProgramsCompileInArchiveOrderWithTheirSizes) {
  const std::vector<CompiledTexture> programs = storedPrograms();
  const char* keys[] = {"FLAR", "ROUN", "ROSA", "ERMO", "AUMT", "WATE", "KLIB", "KLI2", "DEZT"};
  const size_t sizes[] = {129, 33, 145, 305, 81, 225, 177, 209, 17};
  ASSERT_EQ(programs.size(), 9u);
  for (int i = 0; i < 9; ++i) {
    EXPECT_EQ(fourCCText(programs[i].key), keys[i]);
    EXPECT_EQ(programs[i].program.size(), sizes[i]) << keys[i];
  }
  // Spot checks of the transcription: FLAR's first Light and AUMT's picture key.
  const std::vector<uint8_t>& flar = find(programs, "FLAR")->program;
  EXPECT_EQ(std::vector<uint8_t>(flar.begin() + 1, flar.begin() + 11),
            (std::vector<uint8_t>{5, 7, '=', 0, 0, 0, 116, 84, 1, 0}));
  EXPECT_EQ(decodeInstruction(find(programs, "AUMT")->program.data() + 1).pictureKey, makeFourCC('A', 'U', 'M', 'P'));
}

TEST_F(TexgenTest, DeztIsOpaqueBlack) {
  const std::vector<CompiledTexture> programs = storedPrograms();
  loadEntries({});
  EXPECT_EQ(runProgram(find(programs, "DEZT")->program), uniformImage(0xFF000000u));
}

TEST_F(TexgenTest, AumtDoublesSoftensAndDeepensAKnownPicture) {
  // Quadrants of flat colour; at a quadrant's centre 16 blur passes each take one step off (v - 16),
  // then Overlay with itself twice: 255 -> 239 -> 253 -> 255, 128 -> 112 -> 98 -> 75, 0 stays 0.
  const uint32_t palette[16] = {0xFFFF8000u, 0xFF00FF80u, 0xFF8000FFu, 0xFFFFFFFFu};
  std::vector<uint8_t> indices(128 * 128);
  for (int y = 0; y < 128; ++y) {
    for (int x = 0; x < 128; ++x) indices[y * 128 + x] = static_cast<uint8_t>((y >= 64 ? 2 : 0) + (x >= 64 ? 1 : 0));
  }
  loadEntries({{makeFourCC('A', 'U', 'M', 'P'), 'P', palettePicture(128, 128, palette, indices)}});
  const Image texture = runProgram(find(storedPrograms(), "AUMT")->program);
  EXPECT_EQ(texture[layerIndex(64, 64)], 0xFFFF4B00u);
  EXPECT_EQ(texture[layerIndex(192, 64)], 0xFF00FF4Bu);
  EXPECT_EQ(texture[layerIndex(64, 192)], 0xFF4B00FFu);
  EXPECT_EQ(texture[layerIndex(192, 192)], 0xFFFFFFFFu);
}

TEST_F(TexgenTest, WateCarriesAPlasmaInItsAlpha) {
  loadEntries({});
  const Image texture = runProgram(find(storedPrograms(), "WATE")->program);
  const Image black = uniformImage(0xFF000000u);
  const Image plasmaImage = runOp(plasma, operands(black, 8, 28));  // the last instruction, alpha only
  for (int i = 0; i < kLayerPixels; ++i) ASSERT_EQ(texture[i] >> 24, plasmaImage[i] & 0xFF) << i;
}

TEST_F(TexgenTest, FlarIsBrightInTheMiddleAndDarkAtTheCorners) {
  loadEntries({});
  const Image texture = runProgram(find(storedPrograms(), "FLAR")->program);
  EXPECT_GT(channelOf(texture[layerIndex(128, 128)], 0), 200);
  EXPECT_EQ(texture[layerIndex(0, 0)], 0xFF000000u);
  for (uint32_t p : texture) ASSERT_EQ(channelOf(p, 0), channelOf(p, 2));  // grey
}

TEST(ProgramText, ErrorsNameTheFileAndLine) {
  EXPECT_EQ(compileError("texture ABCD\nLihgt 7 = 0 - - 1 2 3 4\n"), "t.txt:2: unknown operation 'Lihgt'");
  EXPECT_EQ(compileError("Fill 7 = 0 - - 1 2 3 4\n"), "t.txt:1: instruction before the first 'texture KEY' line");
  EXPECT_EQ(compileError("texture ABCD\n\n# c\nFill 7 = 4 - - 1 2 3 4\n"), "t.txt:4: layer must be 0..3 or '-', got '4'");
  EXPECT_EQ(compileError("texture ABCD\nFill 7 = 0 - - 1 2 3 256\n"), "t.txt:2: p3 must be 0..255, got '256'");
  EXPECT_EQ(compileError("texture ABCD\nFill 7 = 0 - - 1 2 3\n"),
            "t.txt:2: expected: operation channels mode dest A B p0 p1 p2 p3 [picture key], got 9 fields");
  EXPECT_EQ(compileError("texture ABCDE\n"), "t.txt:1: expected 'texture KEY' with a key of four letters");
  EXPECT_EQ(compileError("texture ABCD\nFill 16 = 0 - - 1 2 3 4\n"), "t.txt:2: channels must be 0..15, got '16'");
}

TEST(ProgramText, NamesNumbersAndComments) {
  std::vector<CompiledTexture> programs;
  std::string error;
  ASSERT_TRUE(compileTexturePrograms("texture ABCD  # one\n9 15 + 1 2 3 4 5 6 7 WXYZ # opcode by number\n", "t",
                                     &programs, &error))
      << error;
  ASSERT_EQ(programs.size(), 1u);
  const std::vector<uint8_t> expected = {1, 9, 15, '+', 1, 2, 3, 4, 5, 6, 7, 0, 0, 'W', 'X', 'Y', 'Z'};
  EXPECT_EQ(programs[0].program, expected);
  EXPECT_EQ(operationByName("Polar"), 27);
  EXPECT_STREQ(operationName(30), "BlueToGrey");
  EXPECT_EQ(operationName(9), nullptr);
}
