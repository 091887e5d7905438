#include "text/font.h"

#include <cstdio>

#include "platform/graphics.h"
#include "text/glyph_sheet.h"

Font g_font;

namespace {

struct RenderStateValue {
  D3DRENDERSTATETYPE state;
  DWORD value;
};
struct StageStateValue {
  D3DTEXTURESTAGESTATETYPE type;
  DWORD value;
};

// The text drawing state, in recording order: alpha-blended, no culling, no depth, no fog; stage 0
// modulates the atlas by the vertex colour, colour and alpha.
constexpr RenderStateValue kTextRenderStates[] = {
    {D3DRS_ALPHABLENDENABLE, TRUE}, {D3DRS_SRCBLEND, D3DBLEND_SRCALPHA}, {D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA},
    {D3DRS_CULLMODE, D3DCULL_NONE}, {D3DRS_ZENABLE, FALSE},              {D3DRS_FOGENABLE, FALSE},
};
constexpr StageStateValue kTextStageStates[] = {
    {D3DTSS_COLOROP, D3DTOP_MODULATE}, {D3DTSS_COLORARG1, D3DTA_TEXTURE}, {D3DTSS_COLORARG2, D3DTA_DIFFUSE},
    {D3DTSS_ALPHAOP, D3DTOP_MODULATE}, {D3DTSS_ALPHAARG1, D3DTA_TEXTURE}, {D3DTSS_ALPHAARG2, D3DTA_DIFFUSE},
};

constexpr UINT kVertexBufferBytes = 8400;  // 300 OverlayVertex records: 50 glyphs

// A recorded block holding the text state; 0 if recording was refused.
DWORD recordTextStates(IDirect3DTexture8* texture) {
  if (FAILED(g_device->BeginStateBlock())) return 0;
  g_device->SetTexture(0, texture);
  for (const RenderStateValue& s : kTextRenderStates) g_device->SetRenderState(s.state, s.value);
  for (const StageStateValue& s : kTextStageStates) g_device->SetTextureStageState(0, s.type, s.value);
  DWORD token = 0;
  return SUCCEEDED(g_device->EndStateBlock(&token)) ? token : 0;
}

HRESULT reportFailure(HRESULT result, const char* what) {
  std::fprintf(stderr, "brannik: %s; captions are not drawn\n", what);
  return result;
}

}  // namespace

HRESULT Font::build() {
  release();
  // At render scale N the glyphs are drawn at N times the DPI on an atlas N times as wide and high,
  // in the places they have at scale 1.
  dpiScale = static_cast<float>(renderScale());
  atlasSize = kAtlasSize * renderScale();
  HRESULT result = g_device->CreateTexture(atlasSize, atlasSize, 1, 0, D3DFMT_A4R4G4B4, D3DPOOL_MANAGED, &texture);
  if (FAILED(result)) {
    texture = nullptr;
    return reportFailure(result, "the font atlas texture could not be created");
  }

  // The sheet's GDI objects are deleted when it goes, also when no font could be made.
  GlyphSheet sheet;
  result = sheet.draw(dpiScale, glyphs, renderScale());
  if (FAILED(result)) return reportFailure(result, "no usable font found");
  D3DLOCKED_RECT locked;
  if (SUCCEEDED(texture->LockRect(0, &locked, nullptr, 0))) {
    sheet.convert(locked.pBits, locked.Pitch);
    texture->UnlockRect(0);
  }
  sheet.release();

  result = g_device->CreateVertexBuffer(kVertexBufferBytes, D3DUSAGE_WRITEONLY | D3DUSAGE_DYNAMIC, 0, D3DPOOL_DEFAULT,
                                        &vertexBuffer);
  if (FAILED(result)) {
    vertexBuffer = nullptr;
    return reportFailure(result, "the text vertex buffer could not be created");
  }

  // The same content twice: the first block captures and restores the caller's values of exactly the
  // states the second sets.
  savedStateBlock = recordTextStates(texture);
  textStateBlock = recordTextStates(texture);
  return 0;
}

void Font::release() {
  if (g_device != nullptr) {
    if (savedStateBlock != 0) g_device->DeleteStateBlock(savedStateBlock);
    if (textStateBlock != 0) g_device->DeleteStateBlock(textStateBlock);
  }
  savedStateBlock = 0;
  textStateBlock = 0;
  if (vertexBuffer != nullptr) vertexBuffer->Release();
  if (texture != nullptr) texture->Release();
  vertexBuffer = nullptr;
  texture = nullptr;
  for (GlyphRect& glyph : glyphs) glyph = GlyphRect{};
}
