// Private records behind the gdi32 handles, the registry of live ones (a handle this stand-in did not
// make, or one already deleted, is refused rather than followed), and glyph loading shared by the
// extent and drawing calls. FreeType types stay in here, out of gdi32.h.
#pragma once

#include <ft2build.h>
#include FT_FREETYPE_H

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "compat/gdi/gdi32.h"

struct GdiBitmap {
  int width = 0;
  int height = 0;
  bool topDown = true;
  std::vector<uint32_t> pixels;  // 0x00RRGGBB words, rows in stored order
  int selections = 0;            // DCs it is selected into

  // Row y counted from the top of the picture.
  uint32_t* row(int y) {
    return pixels.data() + static_cast<size_t>(topDown ? y : height - 1 - y) * static_cast<size_t>(width);
  }
};

struct GdiFont {
  GdiFont() = default;
  GdiFont(const GdiFont&) = delete;
  GdiFont& operator=(const GdiFont&) = delete;
  ~GdiFont();  // closes the face; the FreeType library goes with the last font

  FT_Face face = nullptr;
  int ascent = 0;   // pixels above the baseline
  int descent = 0;  // pixels below it
  int selections = 0;
};

struct GdiDeviceContext {
  int mapMode = MM_TEXT;
  COLORREF textColor = 0x00000000;
  COLORREF bkColor = 0x00FFFFFF;
  UINT textAlign = 0;
  GdiBitmap* bitmap = nullptr;
  GdiFont* font = nullptr;
};

namespace gdicompat {

HBITMAP registerBitmap(std::unique_ptr<GdiBitmap> bitmap);
HFONT registerFont(std::unique_ptr<GdiFont> font);
GdiBitmap* findBitmap(HGDIOBJ object);
GdiFont* findFont(HGDIOBJ object);
bool isLiveDC(HDC dc);

// Loads the glyph of a Latin-1 byte into the face's slot (the font's .notdef glyph when it lacks the
// character), hinted, outlines only; with `render` the slot's bitmap holds its 8-bit coverage. Null if
// FreeType refuses.
FT_GlyphSlot loadGlyph(GdiFont& font, unsigned char c, bool render);

}  // namespace gdicompat
