// The font atlas: the shelf rule (and its overflow guard), the coverage-to-alpha texel, the atlas built
// from DejaVu Sans at 96 DPI, and what a build that fails part-way leaves behind.
#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "compat/d3d8/texture.h"
#include "compat/gdi/gdi_host.h"
#include "refusing_device.h"
#include "text/glyph_sheet.h"
#include "text/text.h"
#include "text_fixture.h"

namespace {

TEST(ShelfPacker, GlyphsGoLeftToRightWithAShiftAndAGapThenToTheNextShelf) {
  ShelfPacker packer;
  int left = -1, top = -1;
  ASSERT_TRUE(packer.place(100, 57, &left, &top));
  EXPECT_EQ(left, 0);
  EXPECT_EQ(top, 0);
  ASSERT_TRUE(packer.place(400, 57, &left, &top));  // 100 + 1 shift + 2 gap
  EXPECT_EQ(left, 103);
  ASSERT_TRUE(packer.place(5, 57, &left, &top));  // 5 + 506 + 1 = 512: still fits
  EXPECT_EQ(left, 506);
  EXPECT_EQ(top, 0);
  ASSERT_TRUE(packer.place(1, 57, &left, &top));  // would cross 512: next shelf, 57 + 1 below
  EXPECT_EQ(left, 0);
  EXPECT_EQ(top, 58);
}

TEST(ShelfPacker, AShelfPastTheLastRowGetsNoPlace) {
  ShelfPacker packer;
  packer.y = 455;
  int left = -1, top = -1;
  ASSERT_TRUE(packer.place(500, 57, &left, &top));  // rows 455..511: the last that fit
  EXPECT_EQ(top, 455);
  EXPECT_FALSE(packer.place(500, 57, &left, &top));  // its shelf would start at 513
  EXPECT_FALSE(packer.place(10, 57, &left, &top));   // and so would every later one
  ShelfPacker wide;
  EXPECT_TRUE(wide.place(511, 10, &left, &top));     // 511 + 1 shift = 512 columns
  ShelfPacker wider;
  EXPECT_FALSE(wider.place(512, 10, &left, &top));
}

TEST(CoverageTexel, AlphaIsTheBlueBytesTopNibbleOverWhite) {
  EXPECT_EQ(coverageTexel(0x00000000), 0x0FFF);
  EXPECT_EQ(coverageTexel(0x00FFFFFF), 0xFFFF);
  EXPECT_EQ(coverageTexel(0x00000080), 0x8FFF);
  EXPECT_EQ(coverageTexel(0x0000007F), 0x7FFF);
  EXPECT_EQ(coverageTexel(0x00FFFF0F), 0x0FFF);  // red and green do not count
  EXPECT_EQ(coverageTexel(0xFF0000F0), 0xFFFF);
}

using FontTest = TextTest;

TEST_F(FontTest, BuildPacksEveryPrintableGlyphAndLeavesCode127Empty) {
  const int objectsBefore = gdicompat::liveObjectCount();
  ASSERT_EQ(g_font.build(), 0);
  EXPECT_EQ(gdicompat::liveObjectCount(), objectsBefore);  // DC, bitmap and font all deleted
  EXPECT_EQ(g_font.dpiScale, 1.0f);

  // The space comes first, at the origin: DejaVu Sans at 48 pixels, 15 x 57.
  const GlyphRect& space = g_font.glyphs[0];
  EXPECT_EQ(space.left, 0.0f);
  EXPECT_EQ(space.top, 0.0f);
  EXPECT_EQ(space.right * 512, 15.0f);
  EXPECT_EQ(space.bottom * 512, 57.0f);
  EXPECT_EQ(g_font.glyphs['!' - 32].left * 512, 18.0f);  // 15 + 1 + 2

  float lowest = 0.0f;
  for (int c = 32; c <= 126; ++c) {
    const GlyphRect& g = g_font.glyphs[c - 32];
    EXPECT_GT(g.right, g.left) << c;
    EXPECT_EQ((g.bottom - g.top) * 512, 57.0f) << c;
    EXPECT_LE(g.right * 512 + 1, 512.0f) << c;
    lowest = std::max(lowest, g.bottom);
  }
  const GlyphRect& del = g_font.glyphs[95];
  EXPECT_EQ(del.left + del.top + del.right + del.bottom, 0.0f);

  // White everywhere; coverage inside the glyphs' shelves and nothing below the last one.
  auto* atlas = static_cast<d3d8compat::Texture*>(g_font.texture);
  ASSERT_EQ(atlas->format(), D3DFMT_A4R4G4B4);
  const d3d8compat::Surface& level = *atlas->level(0);
  int covered = 0, coveredBelow = 0;
  for (int y = 0; y < 512; ++y) {
    const auto* row = reinterpret_cast<const uint16_t*>(level.row(static_cast<UINT>(y)));
    for (int x = 0; x < 512; ++x) {
      ASSERT_EQ(row[x] & 0x0FFF, 0x0FFF);
      const bool alpha = (row[x] >> 12) != 0;
      covered += alpha ? 1 : 0;
      coveredBelow += alpha && y >= static_cast<int>(lowest * 512) ? 1 : 0;
    }
  }
  EXPECT_GT(covered, 10000);
  EXPECT_EQ(coveredBelow, 0);
}

// At render scale 2 and 4 the atlas is 1024 and 2048 square with the glyphs drawn at that many times
// the DPI: every glyph has a place, inside the atlas, overlapping no other; the rectangles (texture
// coordinates) are the scale-1 ones, so captions keep their layout; the drawn coverage grows with the
// area.
TEST_F(FontTest, AtRenderScale2And4TheAtlasGrowsAndKeepsTheScale1Layout) {
  ASSERT_EQ(g_font.build(), 0);
  GlyphRect original[96];
  std::copy(std::begin(g_font.glyphs), std::end(g_font.glyphs), original);
  const auto coverage = [] {
    const d3d8compat::Surface& level = *static_cast<d3d8compat::Texture*>(g_font.texture)->level(0);
    int covered = 0;
    for (UINT y = 0; y < level.height(); ++y) {
      const auto* row = reinterpret_cast<const uint16_t*>(level.row(y));
      for (UINT x = 0; x < level.width(); ++x) covered += (row[x] >> 12) != 0 ? 1 : 0;
    }
    return covered;
  };
  const int coveredAt1 = coverage();
  for (int scale : {2, 4}) {
    SCOPED_TRACE(scale);
    setRenderScale(scale);
    const HRESULT built = g_font.build();
    setRenderScale(1);
    ASSERT_EQ(built, 0);
    EXPECT_EQ(g_font.dpiScale, static_cast<float>(scale));
    EXPECT_EQ(g_font.atlasSize, 512 * scale);
    const d3d8compat::Surface& level = *static_cast<d3d8compat::Texture*>(g_font.texture)->level(0);
    EXPECT_EQ(level.width(), static_cast<UINT>(512 * scale));
    for (int c = 32; c <= 126; ++c) {
      const GlyphRect& g = g_font.glyphs[c - 32];
      EXPECT_GT(g.right, g.left) << c;
      EXPECT_GE(g.left, 0.0f) << c;
      EXPECT_GE(g.top, 0.0f) << c;
      EXPECT_LE(g.right, 1.0f) << c;
      EXPECT_LE(g.bottom, 1.0f) << c;
      EXPECT_EQ(g.left, original[c - 32].left) << c;
      EXPECT_EQ(g.bottom, original[c - 32].bottom) << c;
      for (int d = 32; d < c; ++d) {
        const GlyphRect& h = g_font.glyphs[d - 32];
        const bool apart = g.right <= h.left || h.right <= g.left || g.bottom <= h.top || h.bottom <= g.top;
        EXPECT_TRUE(apart) << c << " overlaps " << d;
      }
    }
    // Glyphs drawn at scale x the DPI cover about scale^2 times the texels.
    const double ratio = static_cast<double>(coverage()) / coveredAt1;
    EXPECT_GT(ratio, 0.8 * scale * scale);
    EXPECT_LT(ratio, 1.25 * scale * scale);
  }
}

// On a 512 x 512 sheet at four times the DPI the cells are 4 x 57 high and only two shelves fit: the
// glyphs after them get empty rectangles instead of rows past the bitmap.
TEST_F(FontTest, GlyphsWhoseShelfWouldPassTheBottomGetEmptyRectangles) {
  GlyphSheet sheet;
  GlyphRect glyphs[96];
  ASSERT_EQ(sheet.draw(4.0f, glyphs), S_OK);
  std::vector<uint16_t> texels(512 * 512);
  sheet.convert(texels.data(), 1024);

  int placed = 0;
  bool emptySeen = false;
  for (int c = 32; c <= 126; ++c) {
    const GlyphRect& g = glyphs[c - 32];
    const bool empty = g.left == 0.0f && g.top == 0.0f && g.right == 0.0f && g.bottom == 0.0f;
    if (empty) {
      emptySeen = true;
      continue;
    }
    EXPECT_FALSE(emptySeen) << "a glyph placed after one that did not fit: " << c;
    EXPECT_LE(g.bottom, 1.0f) << c;
    EXPECT_LE(g.right, 1.0f) << c;
    ++placed;
  }
  EXPECT_TRUE(emptySeen);
  EXPECT_GT(placed, 4);
  EXPECT_LT(placed, 30);
  int covered = 0;
  for (uint16_t t : texels) covered += (t >> 12) != 0 ? 1 : 0;
  EXPECT_GT(covered, 0);
}

// A refused resource: the build says which step failed, once, and captions are then not drawn; the
// caller's states are left as they are (nothing was captured, so nothing is restored).
class FontFailureTest : public TextTest {
 protected:
  void expectFailedBuildDrawsNothing(RefusingDevice& refusing, const char* message) {
    IDirect3DDevice8* real = g_device;
    g_device = &refusing;
    testing::internal::CaptureStderr();
    const HRESULT result = g_font.build();
    const std::string said = testing::internal::GetCapturedStderr();
    g_device = real;
    EXPECT_EQ(result, D3DERR_OUTOFVIDEOMEMORY);
    EXPECT_EQ(said, std::string("brannik: ") + message + "; captions are not drawn\n");

    setRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
    setRenderState(D3DRS_CULLMODE, D3DCULL_CW);
    beginFrame(0);
    drawTextCard("ZAQ regretfully presents brannik in", 0.5f, 0.8f, 1.0f, 0xFFFFFFFF, true, true);
    EXPECT_TRUE(draws_.empty());
    DWORD value = 0;
    g_device->GetRenderState(D3DRS_ALPHABLENDENABLE, &value);
    EXPECT_EQ(value, static_cast<DWORD>(FALSE));
    g_device->GetRenderState(D3DRS_CULLMODE, &value);
    EXPECT_EQ(value, static_cast<DWORD>(D3DCULL_CW));
    endFrame();
    g_font.release();  // safe after a partial build
    EXPECT_EQ(g_font.texture, nullptr);
  }
};

TEST_F(FontFailureTest, RefusedTexture) {
  RefusingDevice refusing(g_device);
  refusing.refuseTextures = true;
  expectFailedBuildDrawsNothing(refusing, "the font atlas texture could not be created");
}

TEST_F(FontFailureTest, RefusedVertexBuffer) {
  RefusingDevice refusing(g_device);
  refusing.refuseVertexBuffers = true;
  expectFailedBuildDrawsNothing(refusing, "the text vertex buffer could not be created");
}

// No font at all (fontconfig knows no font directory): E_FAIL, said once, no GDI object left behind, no
// caption drawn. Runs in a fresh process so that fontconfig reads the empty configuration.
TEST_F(FontFailureTest, NoFont) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  const std::string config = testing::TempDir() + "brannik-no-fonts.conf";
  std::ofstream(config) << "<?xml version=\"1.0\"?>\n<fontconfig></fontconfig>\n";
  EXPECT_EXIT(
      {
        setenv("FONTCONFIG_FILE", config.c_str(), 1);
        const bool failed = g_font.build() == E_FAIL && g_font.vertexBuffer == nullptr;
        const bool clean = gdicompat::liveObjectCount() == 0;
        beginFrame(0);
        drawTextCard("ZAQ", 0.5f, 0.5f, 1.0f, 0xFFFFFFFF, true, true);
        std::exit(failed && clean && draws_.empty() ? 0 : 1);
      },
      testing::ExitedWithCode(0), "^brannik: no usable font found; captions are not drawn\n$");
}

}  // namespace
