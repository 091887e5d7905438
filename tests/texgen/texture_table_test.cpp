// The texture table: the mip down-sampling rule, textures made on a device, and lookups by key.
#include <cstring>

#include "compat/win32/headless.h"
#include "platform/graphics.h"
#include "texgen/texture_table.h"
#include "texgen_fixture.h"

namespace {

uint32_t texel(IDirect3DTexture8* texture, UINT level, int x, int y) {
  D3DLOCKED_RECT locked{};
  EXPECT_EQ(texture->LockRect(level, &locked, nullptr, 0), D3D_OK);
  uint32_t value = 0;
  std::memcpy(&value, static_cast<uint8_t*>(locked.pBits) + y * locked.Pitch + 4 * x, 4);
  texture->UnlockRect(level);
  return value;
}

class TextureTableTest : public TexgenTest {
 protected:
  void SetUp() override {
    TexgenTest::SetUp();
    win32compat::setHeadless(true);
    ASSERT_NE(initGraphics("test", 640, 480, 0, 32), 0);
  }
  void TearDown() override {
    releaseTextureTable();
    shutdownGraphics();
    TexgenTest::TearDown();
  }
};

std::vector<uint8_t> fillProgram(uint8_t a, uint8_t r, uint8_t g, uint8_t b) {
  return program({instruction(6, 15, '=', 0, a, r, g, b)});
}

}  // namespace

TEST(MipChain, DownsamplingTruncatesEachHalving) {
  // Blue bytes 0, 3, 3, 3: floor((0 + 1) / 2) + floor((1 + 1) / 2) = 1.
  const uint32_t block[4] = {0x00000000u, 0x00000003u, 0x00000003u, 0x00000003u};
  uint32_t out = 0xDEADBEEF;
  downsampleLevel(block, 2, &out);
  EXPECT_EQ(out, 0x00000001u);
  const uint32_t white[4] = {0xFFFFFFFFu, 0xFFFFFFFFu, 0xFFFFFFFFu, 0xFFFFFFFFu};
  downsampleLevel(white, 2, &out);
  EXPECT_EQ(out, 0xFEFEFEFEu);
  const uint32_t light[4] = {0xFEFEFEFEu, 0xFEFEFEFEu, 0xFEFEFEFEu, 0xFEFEFEFEu};
  downsampleLevel(light, 2, &out);
  EXPECT_EQ(out, 0xFEFEFEFEu);
  const uint32_t ones[4] = {0x01010101u, 0x01010101u, 0x01010101u, 0x01010101u};
  downsampleLevel(ones, 2, &out);
  EXPECT_EQ(out, 0u);
}

TEST(MipChain, DownsamplingKeepsRowsAndColumnsApart) {
  // 4 x 4 source: each 2 x 2 block uniform with its own value.
  uint32_t source[16];
  for (int y = 0; y < 4; ++y) {
    for (int x = 0; x < 4; ++x) source[y * 4 + x] = static_cast<uint32_t>(40 * ((y / 2) * 2 + x / 2) + 4);
  }
  uint32_t out[4];
  downsampleLevel(source, 4, out);
  EXPECT_EQ(out[0], 4u);
  EXPECT_EQ(out[1], 44u);
  EXPECT_EQ(out[2], 84u);
  EXPECT_EQ(out[3], 124u);
}

TEST_F(TextureTableTest, WhiteTextureHasFEInEveryLowerLevel) {
  const Image white = uniformImage(0xFFFFFFFFu);
  IDirect3DTexture8* texture = createTextureFromLayer(reinterpret_cast<const uint8_t*>(white.data()));
  ASSERT_NE(texture, nullptr);
  ASSERT_EQ(texture->GetLevelCount(), 9u);
  EXPECT_EQ(texel(texture, 0, 17, 200), 0xFFFFFFFFu);
  for (UINT level = 1; level < 9; ++level) {
    const int side = 256 >> level;
    EXPECT_EQ(texel(texture, level, 0, 0), 0xFEFEFEFEu) << level;
    EXPECT_EQ(texel(texture, level, side - 1, side - 1), 0xFEFEFEFEu) << level;
  }
  texture->Release();
}

TEST_F(TextureTableTest, TableFollowsArchiveOrderAndFindsTheFirstKey) {
  const FourCC one = makeFourCC('O', 'N', 'E', '1');
  const FourCC two = makeFourCC('T', 'W', 'O', '2');
  const FourCC picture = makeFourCC('P', 'I', 'C', 'T');
  const uint32_t palette[16] = {0xFF112233u};
  loadEntries({{one, 'T', fillProgram(0xFF, 0x10, 0x20, 0x30)},
               {picture, 'P', palettePicture(2, 2, palette, {0, 0, 0, 0})},
               {two, 'T', fillProgram(0xFF, 0x40, 0x50, 0x60)},
               {one, 'T', fillProgram(0xFF, 0x70, 0x80, 0x90)}});
  buildTextureTable();
  ASSERT_EQ(g_textureTable.count, 3);
  EXPECT_EQ(g_textureTable.entries[0].key, one);
  EXPECT_EQ(g_textureTable.entries[1].key, two);
  EXPECT_EQ(g_textureTable.entries[2].key, one);
  ASSERT_NE(findTexture(one), nullptr);
  EXPECT_EQ(findTexture(one), g_textureTable.entries[0].texture);
  EXPECT_EQ(texel(findTexture(one), 0, 5, 5), 0xFF102030u);
  EXPECT_EQ(texel(findTexture(two), 0, 5, 5), 0xFF405060u);
  EXPECT_EQ(texel(findTexture(two), 8, 0, 0), 0xFE405060u);  // 0xFF alpha halves to 0xFE
  EXPECT_EQ(findTexture(picture), nullptr);
  EXPECT_EQ(findTexture(makeFourCC('N', 'O', 'N', 'E')), nullptr);
  releaseTextureTable();
  EXPECT_EQ(g_textureTable.count, 0);
  EXPECT_EQ(findTexture(one), nullptr);
}
