// Captions: zero-terminated byte strings drawn as screen-space quads textured from the font atlas, laid
// out in fractions of the current render target (so the same call fits the screen or a 256 x 256
// target), and text cards with an optional magenta outline. Draws nothing when the atlas or its buffer
// is missing; the caller's states are saved and restored around every string.
#pragma once

#include <cstdint>

// x, y: fractions of the target's width and height, y 60 % of a line below the first line's top;
// glyphWidth, glyphHeight: fractions of its height; spacing: extra advance per glyph as a fraction of
// width x glyphWidth. A centred text is one left-aligned block centred by its widest line. Bytes below 32
// as signed bytes (controls and every code from 128) are skipped; '\n' starts a new line.
void drawString(float x, float y, float z, float glyphWidth, float glyphHeight, float spacing, uint32_t color,
                const char* text, bool centred);

// The caption every scene uses: glyphs 0.07 x size wide and 0.08 x size high; outlined, four opaque
// magenta passes offset by 0.004 across and 0.006 up and down come first.
void drawTextCard(const char* text, float x, float y, float size, uint32_t color, bool centred, bool outlined);
