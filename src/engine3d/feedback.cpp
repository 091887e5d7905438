#include "engine3d/feedback.h"

#include <utility>

#include "engine3d/matrix4.h"
#include "engine3d/presets.h"
#include "engine3d/random.h"
#include "platform/graphics.h"

namespace {

IDirect3DTexture8* g_targets[2] = {nullptr, nullptr};
IDirect3DSurface8* g_targetSurfaces[2] = {nullptr, nullptr};  // level 0 of each target, kept bound-ready
IDirect3DSurface8* g_savedBackBuffer = nullptr;
IDirect3DSurface8* g_savedDepth = nullptr;

template <class T>
void releaseRef(T*& object) {
  if (object != nullptr) object->Release();
  object = nullptr;
}

void setClampOrWrap(DWORD address) {
  for (DWORD s = 0; s < 2; ++s) {
    setTextureStageState(s, D3DTSS_ADDRESSU, address);
    setTextureStageState(s, D3DTSS_ADDRESSV, address);
  }
}

void bindBoth(IDirect3DTexture8* texture) {
  g_device->SetTexture(0, texture);
  g_device->SetTexture(1, texture);
}

}  // namespace

void createRenderTargets() {
  for (int k = 0; k < 2; ++k) {
    g_device->CreateTexture(renderTextureSize(), renderTextureSize(), 1, D3DUSAGE_RENDERTARGET,
                            g_renderTargetFormat, D3DPOOL_DEFAULT, &g_targets[k]);
    if (g_targets[k] != nullptr) g_targets[k]->GetSurfaceLevel(0, &g_targetSurfaces[k]);
  }
  g_device->GetRenderTarget(&g_savedBackBuffer);
  g_device->GetDepthStencilSurface(&g_savedDepth);
}

void releaseRenderTargets() {
  for (int k = 0; k < 2; ++k) {
    releaseRef(g_targetSurfaces[k]);
    releaseRef(g_targets[k]);
  }
  releaseRef(g_savedBackBuffer);
  releaseRef(g_savedDepth);
  g_renderingToTexture = false;
}

IDirect3DTexture8* feedbackTarget(int k) { return g_targets[k]; }

void renderToTarget(int k) {
  g_device->SetRenderTarget(g_targetSurfaces[k], g_savedDepth);
  g_renderingToTexture = true;
}

void restoreRenderTarget() {
  g_device->SetRenderTarget(g_savedBackBuffer, g_savedDepth);
  g_renderingToTexture = false;
}

void beginFeedbackFrame() {
  renderToTarget(0);
  // Target, depth and stencil; without a stencil (the 16-bit depth fall-back) asking for one would
  // make the whole clear fail, so the flags are the frame's own.
  g_device->Clear(0, nullptr, frameClearFlags(), 0, 1.0f, 0);
}

void rotateAround(float uv[2], float angle, float cx, float cy) {
  const float x = uv[0] - cx, y = uv[1] - cy;
  const float c = cosOf(angle), s = sinOf(angle);
  uv[0] = cx + x * c - y * s;
  uv[1] = cy + y * c + x * s;
}

void drawFeedbackQuad(uint32_t color, bool targetSized, float zl, float zr, float zt, float zb, float angle,
                      float cx, float cy) {
  const float side = static_cast<float>(renderTextureSize());
  const float w = targetSized ? side : static_cast<float>(currentTargetWidth());
  const float h = targetSized ? side : static_cast<float>(currentTargetHeight());
  const float left = 1.0f - 1.0f / (zl + 1.0f) + 0.0035f;
  const float right = 1.0f / (zr + 1.0f) - 0.0035f;
  const float top = 1.0f - 1.0f / (zt + 1.0f) + 0.0035f;
  const float bottom = 1.0f / (zb + 1.0f) - 0.0035f;
  ScreenVertex corners[4] = {
      {0.0f, 0.0f, 0.0f, 1.0f, color, 0.0f, 0.0f, left, top},
      {w, 0.0f, 0.0f, 1.0f, color, 1.0f, 0.0f, right, top},
      {w, h, 0.0f, 1.0f, color, 1.0f, 1.0f, right, bottom},
      {0.0f, h, 0.0f, 1.0f, color, 0.0f, 1.0f, left, bottom},
  };
  for (ScreenVertex& corner : corners) {
    float uv[2] = {corner.u1, corner.v1};
    rotateAround(uv, angle, cx, cy);
    corner.u1 = uv[0];
    corner.v1 = uv[1];
  }
  g_device->SetVertexShader(SCREEN_FVF);
  g_device->DrawPrimitiveUP(D3DPT_TRIANGLEFAN, 2, corners, sizeof(ScreenVertex));
}

IDirect3DTexture8* applyFeedbackBlur(int passes, int addPasses, float zoom, float cx, float cy, float angle) {
  setRenderState(D3DRS_ZENABLE, FALSE);
  setRenderState(D3DRS_LIGHTING, FALSE);
  setRenderState(D3DRS_CULLMODE, D3DCULL_NONE);

  // Stage 0 copies the plain sample; stage 1 mixes in the zoomed one, 128/255 of it against 127/255.
  setTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
  setTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
  setTextureStageState(0, D3DTSS_COLORARG2, D3DTA_DIFFUSE);
  setTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_DIFFUSE);
  setTextureStageState(1, D3DTSS_COLORARG1, D3DTA_TEXTURE);
  setTextureStageState(1, D3DTSS_COLORARG2, D3DTA_CURRENT);
  setTextureStageState(1, D3DTSS_COLOROP, D3DTOP_BLENDFACTORALPHA);
  setRenderState(D3DRS_TEXTUREFACTOR, 0x80808080);
  setClampOrWrap(D3DTADDRESS_CLAMP);

  int destination = 1, source = 0;
  for (int i = 0; i < passes; ++i) {
    // The last addPasses passes add instead of averaging, brightening the trail.
    const bool adds = passes - 1 - i < addPasses;
    setTextureStageState(1, D3DTSS_COLOROP, adds ? D3DTOP_ADD : D3DTOP_BLENDFACTORALPHA);
    renderToTarget(destination);
    bindBoth(g_targets[source]);
    // Opaque, so it does not tint; drawing it still advances the shared generator once per pass.
    const uint32_t color = nextRandom() | 0xFF000000;
    drawFeedbackQuad(color, true, zoom * cx, (1.0f - cx) * zoom, zoom * cy, (1.0f - cy) * zoom, angle, cx, cy);
    std::swap(destination, source);
    zoom *= 0.5f;
    angle *= 0.5f;
  }

  restoreRenderTarget();
  bindBoth(g_targets[source]);
  setRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
  setAdditiveBlend();
  drawFeedbackQuad(0xFF3F7FCF, false, zoom * cx, (1.0f - cx) * zoom, zoom * cy, (1.0f - cy) * zoom, 0.0f, 0.5f,
                   0.5f);
  setRenderState(D3DRS_ALPHABLENDENABLE, FALSE);

  disableStage1();
  bindBoth(nullptr);
  setRenderState(D3DRS_ZENABLE, TRUE);
  setTextureStageState(0, D3DTSS_COLOROP, D3DTOP_MODULATE);
  setTextureStageState(0, D3DTSS_COLORARG2, D3DTA_DIFFUSE);
  setClampOrWrap(D3DTADDRESS_WRAP);
  return g_targets[source];
}
