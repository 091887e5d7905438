#include "text/text.h"

#include <algorithm>

#include "platform/graphics.h"
#include "text/font.h"
#include "text/overlay.h"

namespace {

constexpr int kBatchVertices = 294;  // a batch is drawn once it holds more: 50 glyphs fill all 300 slots

// The atlas's side in pixels: glyph rectangles times this are pixel sizes.
float atlasPixels() { return static_cast<float>(g_font.atlasSize); }

bool fontUsable() {
  const GlyphRect& space = g_font.glyphs[0];
  return g_font.texture != nullptr && g_font.vertexBuffer != nullptr && g_font.savedStateBlock != 0 &&
         g_font.textStateBlock != 0 && space.bottom > space.top;
}

// The glyph of a byte, or null for the bytes that are skipped: below 32 as a signed byte.
const GlyphRect* glyphOf(char c) {
  const signed char code = static_cast<signed char>(c);
  return code < 32 ? nullptr : &g_font.glyphs[code - 32];
}

// The widest line's width in pixels.
float widestLine(const char* text, float w, float h, float glyphWidth, float spacing, float k) {
  float lineWidth = 0.0f, widest = 0.0f;
  for (const char* c = text; *c != '\0'; ++c) {
    if (*c == '\n') lineWidth = 0.0f;
    const GlyphRect* g = glyphOf(*c);
    if (g == nullptr) continue;
    lineWidth += (g->right - g->left) * atlasPixels() * h * glyphWidth * k + w * glyphWidth * spacing;
    widest = std::max(widest, lineWidth);
  }
  return widest;
}

}  // namespace

void drawString(float x, float y, float z, float glyphWidth, float glyphHeight, float spacing, uint32_t color,
                const char* text, bool centred) {
  if (!fontUsable() || text == nullptr) return;
  g_device->CaptureStateBlock(g_font.savedStateBlock);
  g_device->ApplyStateBlock(g_font.textStateBlock);
  g_device->SetVertexShader(OVERLAY_FVF);
  g_device->SetStreamSource(0, g_font.vertexBuffer, sizeof(OverlayVertex));

  const float w = static_cast<float>(currentTargetWidth());
  const float h = static_cast<float>(currentTargetHeight());
  float penX = w * x - 0.5f;
  const float lineHeight = h * glyphHeight;
  float penY = h * y - 0.5f - 0.6f * lineHeight;
  float lineStartX = penX;
  // One over the space glyph's pixel height: the atlas's line height.
  const float k = 1.0f / ((g_font.glyphs[0].bottom - g_font.glyphs[0].top) * atlasPixels());

  BYTE* data = nullptr;
  if (FAILED(g_font.vertexBuffer->Lock(0, 0, &data, D3DLOCK_DISCARD))) {
    g_device->ApplyStateBlock(g_font.savedStateBlock);
    return;
  }
  if (centred) {
    const float widest = widestLine(text, w, h, glyphWidth, spacing, k);
    penX -= widest / 2.0f;
    lineStartX -= widest / 2.0f;
  }
  const float sx = h * glyphWidth * k;
  const float sy = h * glyphHeight * k;

  auto* vertex = reinterpret_cast<OverlayVertex*>(data);
  UINT triangles = 0;
  for (const char* c = text; *c != '\0'; ++c) {
    if (*c == '\n') {
      penX = lineStartX;
      penY += lineHeight;
    }
    const GlyphRect* g = glyphOf(*c);
    if (g == nullptr) continue;
    const float gw = (g->right - g->left) * atlasPixels() * sx;
    const float gh = (g->bottom - g->top) * atlasPixels() * sy;
    *vertex++ = makeOverlayVertex({penX, penY + gh, z}, color, g->left, g->bottom);
    *vertex++ = makeOverlayVertex({penX, penY, z}, color, g->left, g->top);
    *vertex++ = makeOverlayVertex({penX + gw, penY + gh, z}, color, g->right, g->bottom);
    *vertex++ = makeOverlayVertex({penX + gw, penY, z}, color, g->right, g->top);
    *vertex++ = makeOverlayVertex({penX + gw, penY + gh, z}, color, g->right, g->bottom);
    *vertex++ = makeOverlayVertex({penX, penY, z}, color, g->left, g->top);
    triangles += 2;
    if (triangles * 3 > kBatchVertices) {
      g_font.vertexBuffer->Unlock();
      g_device->DrawPrimitive(D3DPT_TRIANGLELIST, 0, triangles);
      if (FAILED(g_font.vertexBuffer->Lock(0, 0, &data, D3DLOCK_DISCARD))) {
        g_device->ApplyStateBlock(g_font.savedStateBlock);
        return;
      }
      vertex = reinterpret_cast<OverlayVertex*>(data);
      triangles = 0;
    }
    penX += w * glyphWidth * spacing + gw;
  }
  g_font.vertexBuffer->Unlock();
  if (triangles > 0) g_device->DrawPrimitive(D3DPT_TRIANGLELIST, 0, triangles);
  g_device->ApplyStateBlock(g_font.savedStateBlock);
}

void drawTextCard(const char* text, float x, float y, float size, uint32_t color, bool centred, bool outlined) {
  const float glyphWidth = 0.07f * size;
  const float glyphHeight = 0.08f * size;
  if (outlined) {
    constexpr float kOutline[4][2] = {{0.004f, 0.006f}, {-0.004f, 0.006f}, {-0.004f, -0.006f}, {0.004f, -0.006f}};
    for (const auto& offset : kOutline) {
      drawString(x + offset[0], y + offset[1], 3.0f, glyphWidth, glyphHeight, 0.0f, 0xFFFF00FF, text, centred);
    }
  }
  drawString(x, y, 3.0f, glyphWidth, glyphHeight, 0.0f, color, text, centred);
}
