#include "text/glyph_sheet.h"

#include <cstddef>
#include <cstring>

bool ShelfPacker::place(int width, int height, int* left, int* top) {
  if (width + x + 1 > kAtlasSize) {
    x = 0;
    y = y + height + 1;
  }
  // The shelf rule alone would let the last shelves run past the bitmap's 512 rows.
  if (width + 1 > kAtlasSize || y + height > kAtlasSize) return false;
  *left = x;
  *top = y;
  x = x + width + 3;
  return true;
}

HRESULT GlyphSheet::draw(float dpiScale, GlyphRect glyphs[96]) {
  release();
  BITMAPINFO info;
  std::memset(&info, 0, sizeof(info));
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = kAtlasSize;
  info.bmiHeader.biHeight = -kAtlasSize;  // top-down rows
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;

  dc_ = CreateCompatibleDC(nullptr);
  void* bits = nullptr;
  bitmap_ = CreateDIBSection(dc_, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  bits_ = static_cast<const uint32_t*>(bits);
  SetMapMode(dc_, MM_TEXT);

  // A 36-point font: 48 pixels at 96 DPI; the negative height asks for the character (em) height.
  const int dpi = GetDeviceCaps(dc_, LOGPIXELSY);
  const int height = -MulDiv(36, static_cast<int>(static_cast<float>(dpi) * dpiScale), 72);
  font_ = CreateFontA(height, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                      CLIP_DEFAULT_PRECIS, ANTIALIASED_QUALITY, VARIABLE_PITCH, "Verdana");
  if (font_ == nullptr || bitmap_ == nullptr) return E_FAIL;

  SelectObject(dc_, bitmap_);
  SelectObject(dc_, font_);
  SetTextColor(dc_, 0x00FFFFFF);
  SetBkColor(dc_, 0);
  SetTextAlign(dc_, TA_TOP | TA_LEFT);

  ShelfPacker packer;
  for (int c = 32; c <= 126; ++c) {
    const char character = static_cast<char>(c);
    SIZE size{};
    GetTextExtentPoint32A(dc_, &character, 1, &size);
    GlyphRect& glyph = glyphs[c - 32];
    int left = 0, top = 0;
    if (!packer.place(size.cx, size.cy, &left, &top)) {
      glyph = GlyphRect{};
      continue;
    }
    ExtTextOutA(dc_, left + 1, top, ETO_OPAQUE | ETO_CLIPPED, nullptr, &character, 1, nullptr);
    const float scale = static_cast<float>(kAtlasSize);
    glyph = GlyphRect{static_cast<float>(left) / scale, static_cast<float>(top) / scale,
                      static_cast<float>(left + size.cx) / scale, static_cast<float>(top + size.cy) / scale};
  }
  glyphs[95] = GlyphRect{};
  return S_OK;
}

void GlyphSheet::convert(void* texels, int pitch) const {
  if (bits_ == nullptr) return;
  for (int y = 0; y < kAtlasSize; ++y) {
    auto* target = reinterpret_cast<uint16_t*>(static_cast<BYTE*>(texels) + static_cast<std::ptrdiff_t>(y) * pitch);
    const uint32_t* source = bits_ + static_cast<std::ptrdiff_t>(y) * kAtlasSize;
    for (int x = 0; x < kAtlasSize; ++x) target[x] = coverageTexel(source[x]);
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
