#include "text/glyph_sheet.h"

#include <cstddef>
#include <cstring>

bool ShelfPacker::place(int width, int height, int* left, int* top) {
  if (width + x + unit > size) {
    x = 0;
    y = y + height + unit;
  }
  // The shelf rule alone would let the last shelves run past the bitmap's last row.
  if (width + unit > size || y + height > size) return false;
  *left = x;
  *top = y;
  x = x + width + 3 * unit;
  return true;
}

namespace {

// A 36-point "Verdana" at 96 DPI x dpiScale (48 pixels at 96 DPI); the negative height asks for the
// character (em) height.
HFONT createAtlasFont(HDC dc, float dpiScale) {
  const int dpi = GetDeviceCaps(dc, LOGPIXELSY);
  const int height = -MulDiv(36, static_cast<int>(static_cast<float>(dpi) * dpiScale), 72);
  return CreateFontA(height, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                     CLIP_DEFAULT_PRECIS, ANTIALIASED_QUALITY, VARIABLE_PITCH, "Verdana");
}

}  // namespace

HRESULT GlyphSheet::draw(float dpiScale, GlyphRect glyphs[96], int layoutScale) {
  release();
  size_ = kAtlasSize * layoutScale;
  BITMAPINFO info;
  std::memset(&info, 0, sizeof(info));
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = size_;
  info.bmiHeader.biHeight = -size_;  // top-down rows
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;

  dc_ = CreateCompatibleDC(nullptr);
  void* bits = nullptr;
  bitmap_ = CreateDIBSection(dc_, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  bits_ = static_cast<const uint32_t*>(bits);
  SetMapMode(dc_, MM_TEXT);

  font_ = createAtlasFont(dc_, dpiScale);
  if (font_ == nullptr || bitmap_ == nullptr) return E_FAIL;

  // The cells: each character's extent at 1 / layoutScale of the drawing DPI, times layoutScale. The
  // hinted advances of a larger font are not exactly proportional; measured this way every caption
  // keeps its layout at any scale.
  SIZE extents[95];
  HFONT measuring = layoutScale == 1 ? font_ : createAtlasFont(dc_, dpiScale / static_cast<float>(layoutScale));
  if (measuring == nullptr) return E_FAIL;
  SelectObject(dc_, measuring);
  for (int c = 32; c <= 126; ++c) {
    const char character = static_cast<char>(c);
    extents[c - 32] = SIZE{};
    GetTextExtentPoint32A(dc_, &character, 1, &extents[c - 32]);
    extents[c - 32].cx *= layoutScale;
    extents[c - 32].cy *= layoutScale;
  }

  SelectObject(dc_, bitmap_);
  SelectObject(dc_, font_);
  if (measuring != font_) DeleteObject(measuring);
  SetTextColor(dc_, 0x00FFFFFF);
  SetBkColor(dc_, 0);
  SetTextAlign(dc_, TA_TOP | TA_LEFT);

  ShelfPacker packer;
  packer.size = size_;
  packer.unit = layoutScale;
  const float scale = static_cast<float>(size_);
  for (int c = 32; c <= 126; ++c) {
    const char character = static_cast<char>(c);
    const SIZE extent = extents[c - 32];
    GlyphRect& glyph = glyphs[c - 32];
    int left = 0, top = 0;
    if (!packer.place(extent.cx, extent.cy, &left, &top)) {
      glyph = GlyphRect{};
      continue;
    }
    ExtTextOutA(dc_, left + layoutScale, top, ETO_OPAQUE | ETO_CLIPPED, nullptr, &character, 1, nullptr);
    glyph = GlyphRect{static_cast<float>(left) / scale, static_cast<float>(top) / scale,
                      static_cast<float>(left + extent.cx) / scale, static_cast<float>(top + extent.cy) / scale};
  }
  glyphs[95] = GlyphRect{};
  return S_OK;
}

void GlyphSheet::convert(void* texels, int pitch) const {
  if (bits_ == nullptr) return;
  for (int y = 0; y < size_; ++y) {
    auto* target = reinterpret_cast<uint16_t*>(static_cast<BYTE*>(texels) + static_cast<std::ptrdiff_t>(y) * pitch);
    const uint32_t* source = bits_ + static_cast<std::ptrdiff_t>(y) * size_;
    for (int x = 0; x < size_; ++x) target[x] = coverageTexel(source[x]);
  }
}

// The DC goes first: GDI refuses to delete a bitmap that is still selected into one.
void GlyphSheet::release() {
  if (dc_ != nullptr) DeleteDC(dc_);
  if (bitmap_ != nullptr) DeleteObject(bitmap_);
  if (font_ != nullptr) DeleteObject(font_);
  dc_ = nullptr;
  bitmap_ = nullptr;
  font_ = nullptr;
  bits_ = nullptr;
}
