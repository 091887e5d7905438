// The gdi32 stand-in as the atlas build uses it: DC and DIB bookkeeping, MulDiv's rounding, the fixed DPI,
// extents and drawing of DejaVu Sans (fontconfig's match for "Verdana" here), clipping, the .notdef
// fallback, and no font at all.
#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "compat/gdi/gdi32.h"
#include "compat/gdi/gdi_host.h"

namespace {

HFONT verdana(int height) {
  return CreateFontA(height, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                     CLIP_DEFAULT_PRECIS, ANTIALIASED_QUALITY, VARIABLE_PITCH, "Verdana");
}

BITMAPINFO dibInfo(LONG width, LONG height, WORD bits = 32) {
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = bits;
  info.bmiHeader.biCompression = BI_RGB;
  return info;
}

// A memory DC with a top-down DIB of the given size and a 48-pixel "Verdana" selected, white on black.
class GdiTest : public ::testing::Test {
 protected:
  void makeSurface(int width, int height, uint32_t fill) {
    width_ = width;
    dc_ = CreateCompatibleDC(nullptr);
    const BITMAPINFO info = dibInfo(width, -height);
    void* bits = nullptr;
    bitmap_ = CreateDIBSection(dc_, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    ASSERT_NE(bitmap_, nullptr);
    pixels_ = static_cast<uint32_t*>(bits);
    std::fill(pixels_, pixels_ + width * height, fill);
    font_ = verdana(-48);
    ASSERT_NE(font_, nullptr);
    SelectObject(dc_, bitmap_);
    SelectObject(dc_, font_);
    SetTextColor(dc_, 0x00FFFFFF);
    SetBkColor(dc_, 0);
  }
  void TearDown() override {
    if (dc_ != nullptr) DeleteDC(dc_);
    if (bitmap_ != nullptr) DeleteObject(bitmap_);
    if (font_ != nullptr) DeleteObject(font_);
    EXPECT_EQ(gdicompat::liveObjectCount(), 0);
  }

  uint32_t at(int x, int y) const { return pixels_[y * width_ + x]; }
  SIZE extent(const char* text, int count) {
    SIZE size{-1, -1};
    EXPECT_TRUE(GetTextExtentPoint32A(dc_, text, count, &size));
    return size;
  }
  // The pixels of one character drawn at (4, 4) on a cleared surface.
  std::vector<uint32_t> picture(char c) {
    std::fill(pixels_, pixels_ + width_ * 80, 0u);
    EXPECT_TRUE(ExtTextOutA(dc_, 4, 4, ETO_OPAQUE | ETO_CLIPPED, nullptr, &c, 1, nullptr));
    return std::vector<uint32_t>(pixels_, pixels_ + width_ * 80);
  }

  HDC dc_ = nullptr;
  HBITMAP bitmap_ = nullptr;
  HFONT font_ = nullptr;
  uint32_t* pixels_ = nullptr;
  int width_ = 0;
};

TEST(GdiMulDiv, RoundsHalfAwayFromZeroThroughA64BitProduct) {
  EXPECT_EQ(MulDiv(36, 96, 72), 48);
  EXPECT_EQ(MulDiv(36, 384, 72), 192);
  EXPECT_EQ(MulDiv(3, 1, 2), 2);    // 1.5
  EXPECT_EQ(MulDiv(-3, 1, 2), -2);  // -1.5
  EXPECT_EQ(MulDiv(3, 1, -2), -2);
  EXPECT_EQ(MulDiv(5, 1, 4), 1);    // 1.25
  EXPECT_EQ(MulDiv(-7, 1, 4), -2);  // -1.75
  EXPECT_EQ(MulDiv(INT_MAX, INT_MAX, INT_MAX), INT_MAX);
  EXPECT_EQ(MulDiv(INT_MAX, 2, 1), -1);  // does not fit
  EXPECT_EQ(MulDiv(1, 1, 0), -1);
}

TEST_F(GdiTest, DcReportsAFixed96DpiAndOnlyTextMapping) {
  dc_ = CreateCompatibleDC(nullptr);
  EXPECT_EQ(GetDeviceCaps(dc_, LOGPIXELSY), 96);
  EXPECT_EQ(GetDeviceCaps(dc_, LOGPIXELSX), 96);
  EXPECT_EQ(GetDeviceCaps(dc_, 8), 0);  // HORZRES: not offered
  EXPECT_EQ(SetMapMode(dc_, MM_TEXT), MM_TEXT);
  EXPECT_EQ(SetMapMode(dc_, 2), 0);  // MM_LOMETRIC refused
  EXPECT_EQ(SetTextAlign(dc_, 24), GDI_ERROR);  // TA_BASELINE refused
  EXPECT_EQ(SetTextAlign(dc_, TA_TOP | TA_LEFT), 0u);
}

TEST_F(GdiTest, DibSectionIsZeroedAndOnly32BitRgbIsMade) {
  dc_ = CreateCompatibleDC(nullptr);
  BITMAPINFO info = dibInfo(8, -4);
  void* bits = nullptr;
  bitmap_ = CreateDIBSection(dc_, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  ASSERT_NE(bitmap_, nullptr);
  const auto* words = static_cast<const uint32_t*>(bits);
  for (int i = 0; i < 32; ++i) EXPECT_EQ(words[i], 0u);

  info = dibInfo(8, -4, 24);
  bits = &info;
  EXPECT_EQ(CreateDIBSection(dc_, &info, DIB_RGB_COLORS, &bits, nullptr, 0), nullptr);
  EXPECT_EQ(bits, nullptr);
}

TEST_F(GdiTest, SelectedObjectsCannotBeDeletedUntilTheirDcIsGone) {
  makeSurface(16, 16, 0);
  HFONT second = verdana(-12);
  ASSERT_NE(second, nullptr);
  EXPECT_EQ(SelectObject(dc_, second), font_);  // the replaced font comes back
  EXPECT_TRUE(DeleteObject(font_));              // no longer selected
  font_ = second;
  EXPECT_FALSE(DeleteObject(bitmap_));
  EXPECT_FALSE(DeleteObject(font_));
  EXPECT_TRUE(DeleteDC(dc_));
  dc_ = nullptr;
  EXPECT_FALSE(DeleteDC(dc_));
  EXPECT_TRUE(DeleteObject(bitmap_));
  EXPECT_FALSE(DeleteObject(bitmap_));  // a stale handle is refused, not followed
  bitmap_ = nullptr;
}

// DejaVu Sans at a 48-pixel em: the space advances 15 pixels and every cell is 45 + 12 = 57 high. A font
// change on the machine shows here first (the atlas layout and the caption widths follow from these).
TEST_F(GdiTest, DejaVuSansAt48PixelsHasThePinnedSpaceCell) {
  makeSurface(16, 16, 0);
  const SIZE space = extent(" ", 1);
  EXPECT_EQ(space.cx, 15);
  EXPECT_EQ(space.cy, 57);
  // A string's extent is the sum of its advances; the height is the font's, whatever the characters.
  const SIZE a = extent("A", 1), w = extent("W", 1), aw = extent("AW", 2);
  EXPECT_EQ(aw.cx, a.cx + w.cx);
  EXPECT_EQ(aw.cy, 57);
  EXPECT_EQ(extent("", 0).cx, 0);
}

TEST_F(GdiTest, TextIsDrawnOverAnOpaqueCellInTheTextColour) {
  makeSurface(64, 80, 0x00123456);
  const SIZE cell = extent("l", 1);
  SetTextColor(dc_, 0x000000FF);  // COLORREF red
  ASSERT_TRUE(ExtTextOutA(dc_, 10, 10, ETO_OPAQUE | ETO_CLIPPED, nullptr, "l", 1, nullptr));
  uint32_t brightest = 0;
  for (int y = 10; y < 10 + cell.cy; ++y) {
    for (int x = 10; x < 10 + cell.cx; ++x) {
      const uint32_t p = at(x, y);
      EXPECT_EQ(p & 0xFF00FFFFu, 0u) << x << "," << y;  // red over black only, reserved byte 0
      brightest = std::max(brightest, p);
    }
  }
  EXPECT_EQ(brightest, 0x00FF0000u);  // the stem is fully covered
  // Around the cell nothing changed.
  EXPECT_EQ(at(9, 10), 0x00123456u);
  EXPECT_EQ(at(10 + cell.cx, 10), 0x00123456u);
  EXPECT_EQ(at(10, 9), 0x00123456u);
  EXPECT_EQ(at(10, 10 + cell.cy), 0x00123456u);
}

TEST_F(GdiTest, DrawingIsClippedToTheBitmap) {
  makeSurface(64, 64, 0x00123456);
  // Past the right edge: nothing wraps into the left columns of the following rows.
  ASSERT_TRUE(ExtTextOutA(dc_, 50, 0, 0, nullptr, "W", 1, nullptr));
  // Above and left of the origin, and below the bottom row.
  ASSERT_TRUE(ExtTextOutA(dc_, -30, -40, 0, nullptr, "W", 1, nullptr));
  ASSERT_TRUE(ExtTextOutA(dc_, 20, 40, 0, nullptr, "W", 1, nullptr));
  for (int y = 20; y < 40; ++y) {
    for (int x = 0; x < 20; ++x) EXPECT_EQ(at(x, y), 0x00123456u) << x << "," << y;
  }
  EXPECT_NE(at(63, 10), 0x00123456u);  // the first cell reached the right edge
}

// 0x81 and 0x8D are C1 controls, which DejaVu Sans lacks: both come out as its .notdef box.
TEST_F(GdiTest, MissingCharactersDrawTheFontsNotdefGlyph) {
  makeSurface(64, 80, 0);
  const std::vector<uint32_t> first = picture('\x81');
  const std::vector<uint32_t> second = picture('\x8D');
  EXPECT_EQ(first, second);
  EXPECT_NE(first, picture('A'));
  int covered = 0;
  for (uint32_t p : first) covered += p != 0 ? 1 : 0;
  EXPECT_GT(covered, 50);
  EXPECT_EQ(extent("\x81", 1).cx, extent("\x8D", 1).cx);
}

TEST(GdiFonts, UnsupportedRequestsAreRefused) {
  EXPECT_EQ(CreateFontA(-48, 10, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, 1, 0, 0, 4, 2, "Verdana"), nullptr);
  EXPECT_EQ(CreateFontA(-48, 0, 0, 0, FW_NORMAL, FALSE, TRUE, FALSE, 1, 0, 0, 4, 2, "Verdana"), nullptr);
  EXPECT_EQ(verdana(0), nullptr);
}

// A fresh process whose fontconfig knows no font directory at all.
TEST(GdiFontsDeathTest, NoScalableFontGivesNoFont) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  const std::string config = testing::TempDir() + "brannik-no-fonts.conf";
  std::ofstream(config) << "<?xml version=\"1.0\"?>\n<fontconfig></fontconfig>\n";
  EXPECT_EXIT(
      {
        setenv("FONTCONFIG_FILE", config.c_str(), 1);
        std::exit(verdana(-48) == nullptr ? 0 : 1);
      },
      testing::ExitedWithCode(0), "");
}

}  // namespace
