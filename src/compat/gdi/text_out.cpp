// GetTextExtentPoint32A and ExtTextOutA: extents from the hinted advances and the font's ascent and
// descent; drawing as an opaque cell, then FreeType's 8-bit coverage blending the text colour over it.
// Everything is clipped to the selected bitmap.
#include <algorithm>
#include <cstdint>

#include "compat/gdi/gdi_objects.h"

namespace {

// A live DC with a font selected.
GdiFont* selectedFont(HDC dc) { return gdicompat::isLiveDC(dc) ? dc->font : nullptr; }

// The hinted advance, whole pixels.
int advancePixels(FT_GlyphSlot slot) { return static_cast<int>((slot->advance.x + 32) >> 6); }

bool measureText(GdiFont& font, LPCSTR text, int count, LONG* width) {
  LONG total = 0;
  for (int i = 0; i < count; ++i) {
    const FT_GlyphSlot slot = gdicompat::loadGlyph(font, static_cast<unsigned char>(text[i]), false);
    if (slot == nullptr) return false;
    total += advancePixels(slot);
  }
  *width = total;
  return true;
}

// COLORREF 0x00BBGGRR as a DIB word 0x00RRGGBB.
uint32_t dibColor(COLORREF color) {
  return ((color & 0xFFu) << 16) | (color & 0xFF00u) | ((color >> 16) & 0xFFu);
}

// fg over bg with coverage a (0..255), each channel rounded.
uint32_t blendCoverage(uint32_t fg, uint32_t bg, uint32_t a) {
  uint32_t out = 0;
  for (int shift = 0; shift < 24; shift += 8) {
    const uint32_t f = (fg >> shift) & 0xFF, b = (bg >> shift) & 0xFF;
    out |= ((f * a + b * (255 - a) + 127) / 255) << shift;
  }
  return out;
}

void fillClipped(GdiBitmap& bitmap, int x0, int y0, int x1, int y1, uint32_t color) {
  x0 = std::max(x0, 0);
  y0 = std::max(y0, 0);
  x1 = std::min(x1, bitmap.width);
  y1 = std::min(y1, bitmap.height);
  for (int y = y0; y < y1; ++y) std::fill(bitmap.row(y) + x0, bitmap.row(y) + std::max(x0, x1), color);
}

// The glyph's coverage with its top-left pixel at (left, top).
void blendGlyph(GdiBitmap& bitmap, const FT_Bitmap& glyph, int left, int top, uint32_t color) {
  const int rows = static_cast<int>(glyph.rows), columns = static_cast<int>(glyph.width);
  for (int r = std::max(0, -top); r < rows && top + r < bitmap.height; ++r) {
    const unsigned char* coverage =
        glyph.pitch >= 0 ? glyph.buffer + r * glyph.pitch : glyph.buffer + (rows - 1 - r) * -glyph.pitch;
    uint32_t* target = bitmap.row(top + r);
    for (int c = std::max(0, -left); c < columns && left + c < bitmap.width; ++c) {
      if (coverage[c] != 0) target[left + c] = blendCoverage(color, target[left + c], coverage[c]);
    }
  }
}

}  // namespace

BOOL GetTextExtentPoint32A(HDC dc, LPCSTR text, int count, SIZE* size) {
  GdiFont* font = selectedFont(dc);
  if (font == nullptr || size == nullptr || count < 0 || (text == nullptr && count > 0)) return FALSE;
  LONG width = 0;
  if (!measureText(*font, text, count, &width)) return FALSE;
  size->cx = width;
  size->cy = font->ascent + font->descent;
  return TRUE;
}

// The background mode is always OPAQUE (SetBkMode is not offered), so the cell is filled whether or not
// ETO_OPAQUE is given; with no rectangle, ETO_CLIPPED has nothing to clip to beyond the bitmap.
BOOL ExtTextOutA(HDC dc, int x, int y, UINT, const RECT* rect, LPCSTR text, UINT count, const INT* dx) {
  GdiFont* font = selectedFont(dc);
  if (font == nullptr || dc->bitmap == nullptr || rect != nullptr || dx != nullptr ||
      (text == nullptr && count > 0)) {
    return FALSE;
  }
  GdiBitmap& bitmap = *dc->bitmap;
  LONG width = 0;
  if (!measureText(*font, text, static_cast<int>(count), &width)) return FALSE;
  fillClipped(bitmap, x, y, x + width, y + font->ascent + font->descent, dibColor(dc->bkColor));

  const uint32_t color = dibColor(dc->textColor);
  const int baseline = y + font->ascent;
  int pen = x;
  for (UINT i = 0; i < count; ++i) {
    const FT_GlyphSlot slot = gdicompat::loadGlyph(*font, static_cast<unsigned char>(text[i]), true);
    if (slot == nullptr) return FALSE;
    if (slot->bitmap.pixel_mode == FT_PIXEL_MODE_GRAY) {
      blendGlyph(bitmap, slot->bitmap, pen + slot->bitmap_left, baseline - slot->bitmap_top, color);
    }
    pen += advancePixels(slot);
  }
  return TRUE;
}
