// The GDI side of the atlas build: a square 32-bit DIB (512 x 512 at layout scale 1) with characters
// 32 to 126 drawn white on black and packed shelf by shelf, each glyph's rectangle, and the conversion
// of the DIB into A4R4G4B4 texels (white, alpha = coverage). The Direct3D side (texture, buffer,
// state blocks) is Font::build's.
#pragma once

#include <cstdint>

#include "compat/gdi/gdi32.h"
#include "text/font.h"

constexpr int kAtlasSize = 512;  // the atlas's side at layout scale 1

// Places glyphs row by row: a glyph that would cross the right edge starts a new shelf below the
// current one (as high as that glyph's cell, one unit apart); each glyph is drawn one unit right of its
// recorded left edge and followed by a two-unit gap. A unit is a pixel at layout scale 1.
struct ShelfPacker {
  int size = kAtlasSize;  // the atlas's side
  int unit = 1;
  int x = 0;
  int y = 0;
  // The glyph's recorded top-left, or false when its shelf would pass the atlas's bottom row (or the
  // glyph is wider than the atlas): it then gets no place.
  bool place(int width, int height, int* left, int* top);
};

// The anti-aliased coverage of white on black (the blue byte's top four bits) as alpha over white.
inline uint16_t coverageTexel(uint32_t pixel) { return static_cast<uint16_t>(((pixel >> 4) & 0xF) << 12 | 0x0FFF); }

class GlyphSheet {
 public:
  GlyphSheet() = default;
  GlyphSheet(const GlyphSheet&) = delete;
  GlyphSheet& operator=(const GlyphSheet&) = delete;
  ~GlyphSheet() { release(); }

  // Draws the glyphs of a 36-point "Verdana" at 96 DPI x dpiScale and fills glyphs[0..94] (entry 95 and
  // glyphs that find no place are empty). E_FAIL when no font can be made. At layout scale N the sheet
  // is N x 512 square and holds the scale-1 layout of a font at 1 / N of the DPI, N times larger: the
  // same glyph rectangles as texture coordinates, drawn with N times the pixels.
  HRESULT draw(float dpiScale, GlyphRect glyphs[96], int layoutScale = 1);
  // Writes the sheet's side x side texels, `pitch` bytes from one row to the next.
  void convert(void* texels, int pitch) const;
  // Deletes the DC, the bitmap and the font (whatever exists).
  void release();

 private:
  HDC dc_ = nullptr;
  HBITMAP bitmap_ = nullptr;
  HFONT font_ = nullptr;
  const uint32_t* bits_ = nullptr;
  int size_ = 0;
};
