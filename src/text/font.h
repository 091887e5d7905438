// The font atlas every caption is drawn from: characters 32 to 126 of a 36-point "Verdana" face drawn
// once at start-up into a 512 x 512 white A4R4G4B4 texture whose alpha is the glyph coverage (the DPI
// and the atlas's side both times the render scale), each glyph's rectangle, the dynamic vertex buffer
// of the text drawing and its two recorded state blocks.
// A glyph whose shelf would pass the atlas's last row gets an empty rectangle (never drawn outside).
#pragma once

#include "compat/d3d8/d3d8.h"

// A glyph's rectangle in the atlas as texture coordinates (pixel / the atlas's side).
struct GlyphRect {
  float left, top, right, bottom;
};

struct Font {
  IDirect3DTexture8* texture;
  IDirect3DVertexBuffer8* vertexBuffer;
  float dpiScale;
  int atlasSize;         // the atlas texture's side in pixels
  GlyphRect glyphs[96];  // by character code - 32; entry 95 (code 127) stays empty
  DWORD savedStateBlock;
  DWORD textStateBlock;

  // Returns 0, or the error of the step that failed (what was made before it stays alive; the step is
  // named once on standard error, and drawString then draws nothing).
  HRESULT build();
  // Frees what build made (texture, buffer, both state blocks); safe after a partial build. Call it
  // before the device is released.
  void release();
};

extern Font g_font;
