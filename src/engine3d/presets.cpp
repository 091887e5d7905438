#include "engine3d/presets.h"

#include <algorithm>

#include "director/demo.h"
#include "platform/graphics.h"
#include "text/overlay.h"

void setDefaultTextureStages() {
  for (DWORD s = 0; s < 2; ++s) {
    setTextureStageState(s, D3DTSS_ADDRESSU, D3DTADDRESS_WRAP);
    setTextureStageState(s, D3DTSS_ADDRESSV, D3DTADDRESS_WRAP);
    setTextureStageState(s, D3DTSS_ADDRESSW, D3DTADDRESS_WRAP);
    setTextureStageState(s, D3DTSS_MAGFILTER, D3DTEXF_LINEAR);
    setTextureStageState(s, D3DTSS_MINFILTER, D3DTEXF_LINEAR);
    setTextureStageState(s, D3DTSS_MIPFILTER, D3DTEXF_LINEAR);
    setTextureStageState(s, D3DTSS_TEXTURETRANSFORMFLAGS, D3DTTFF_DISABLE);
    setTextureStageState(s, D3DTSS_TEXCOORDINDEX, s);
  }
  setTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
  setTextureStageState(0, D3DTSS_COLOROP, D3DTOP_MODULATE);
  setTextureStageState(0, D3DTSS_COLORARG2, D3DTA_DIFFUSE);
  setTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_TEXTURE);
  setTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_SELECTARG1);
  disableStage1();
  setTextureStageState(2, D3DTSS_COLOROP, D3DTOP_DISABLE);
  setTextureStageState(2, D3DTSS_ALPHAOP, D3DTOP_DISABLE);
}

void setSingleTextureStage() {
  setTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
  setTextureStageState(0, D3DTSS_COLOROP, D3DTOP_MODULATE);
  setTextureStageState(0, D3DTSS_COLORARG2, D3DTA_DIFFUSE);
  setTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_TEXTURE);
  setTextureStageState(0, D3DTSS_ALPHAARG2, D3DTA_DIFFUSE);
  setTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_MODULATE);
}

void disableStage1() {
  setTextureStageState(1, D3DTSS_COLOROP, D3DTOP_DISABLE);
  setTextureStageState(1, D3DTSS_ALPHAOP, D3DTOP_DISABLE);
}

void setAdditiveBlend() {
  setRenderState(D3DRS_SRCBLEND, D3DBLEND_ONE);
  setRenderState(D3DRS_DESTBLEND, D3DBLEND_ONE);
}

void setAlphaBlend() {
  setRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
  setRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
}

void begin2D() {
  setRenderState(D3DRS_LIGHTING, FALSE);
  setRenderState(D3DRS_ZENABLE, FALSE);
  setRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
}

void end2D() {
  setRenderState(D3DRS_LIGHTING, TRUE);
  setRenderState(D3DRS_ZENABLE, TRUE);
  setRenderState(D3DRS_CULLMODE, D3DCULL_CCW);
}

void setWorldMatrix(const Matrix4& m) {
  const D3DMATRIX world = toD3DMatrix(m);
  g_device->SetTransform(D3DTS_WORLD, &world);
}

float Fade::level() const {
  if (active == 0) return 0.0f;
  if (!(duration > 0.0f)) return 0.0f;  // a fade of no length is over as it starts (no 0 / 0)
  return std::clamp((start + duration - g_time) / duration, 0.0f, 1.0f);
}

void Fade::begin() {
  start = g_time;
  active = 1;
}

void drawFadeOverlay(float x0, float y0, float x1, float y1, uint32_t rgb, float alpha) {
  // Clamped to 0..1; a NaN alpha counts as 0 (converting it to an integer would be undefined).
  if (!(alpha > 0.0f)) alpha = 0.0f;
  if (alpha > 1.0f) alpha = 1.0f;
  const uint32_t color = static_cast<uint32_t>(alpha * 255.0f) << 24 | (rgb & 0xFFFFFF);
  drawScreenQuad(x0, y0, x1, y1, color);
}
