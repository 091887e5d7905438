#include <cmath>

#include "archive/fourcc.h"
#include "engine3d/matrix4.h"
#include "director/scenes.h"
#include "engine3d/feedback.h"
#include "platform/graphics.h"
#include "text/overlay.h"
#include "text/text.h"
#include "texgen/texture_table.h"

const char bannerText[] = "ZAQZAQZAQZAQZAQZAQZAQZAQZAQZAQZAQZAQZAQZAQZAQZAQZAQZAQZAQZAQZAQZAQZAQZAQ";
static_assert(sizeof(bannerText) == 73);

void drawScrollerScene(const FrameSync& sync, SceneObjects& objects) {
  const float t = sync.time;
  setDefaultTextureStages();
  begin2D();
  g_device->SetTexture(0, findTexture(makeFourCC('E', 'R', 'M', 'O')));
  objects.warpGrid->animate(t, 0x00FF00FF);
  objects.warpGrid->draw();
  end2D();

  beginFeedbackFrame();
  drawTextCard("Pog and his cousins r0x again", 2.5f - 0.27f * t, 0.5f + 0.054f * sinOf(tanOf(4.0f * t)), 4.0f,
               0xFF00FF00, true, true);
  applyFeedbackBlur(6, 1, 0.4f, 0.5f, 0.5f, 0.2f * tanOf(3.0f * t));
}

float zoomTime(DirectorState& state, float t) {
  if (state.zoomStart == -1.0f || t - state.zoomStart > 10.0f) state.zoomStart = t;
  return t - state.zoomStart;
}

void drawZoomScene(const FrameSync& sync, SceneObjects&, DirectorState& state) {
  const float t = sync.time;
  const float d = zoomTime(state, t);

  beginFeedbackFrame();
  g_device->SetTexture(0, findTexture(makeFourCC('A', 'U', 'M', 'T')));
  setRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
  // Blending is off and stage 0 modulates by the white vertex colour, as the previous frame's
  // feedback blur left them.
  drawScreenQuad(0.3f, 0.3f, 0.7f, 0.7f, 0xFFFFFFFF);

  const float z = d * d * 0.9f * 0.5f;
  applyFeedbackBlur(6, 1, z * z, 0.5f, 0.5f, 0.2f * tanOf(3.3f * t));
  setRenderState(D3DRS_CULLMODE, D3DCULL_CW);
}

BannerColumns bannerColumns(float barWave) {
  const float p = 4.2f * barWave;
  return {2.6f - p, p - 1.6f};
}

void drawBannersScene(const FrameSync& sync, SceneObjects& objects, const DirectorState& state) {
  const float t = sync.time;
  beginFeedbackFrame();
  g_device->SetTexture(0, findTexture(makeFourCC('A', 'U', 'M', 'T')));
  // The grid keeps its 640 x 480 positions, so only its upper-left part falls inside the target.
  objects.warpGrid->animate(t, 0xFF606060);
  objects.warpGrid->draw();

  const BannerColumns x = bannerColumns(sync.barWave);
  drawTextCard(bannerText, x.a, 0.2f, 3.0f, 0xFFFF2020, true, false);
  drawTextCard(bannerText, x.b, 0.4f, 3.0f, 0xFF20FF20, true, false);
  drawTextCard(bannerText, x.a, 0.6f, 3.0f, 0xFF2020FF, true, false);
  drawTextCard(bannerText, x.b, 0.8f, 3.0f, 0xFFFF20FF, true, false);

  const float g = state.gammaFade.level();
  applyFeedbackBlur(6, 1, 0.2f * g * g + 0.03f, 0.5f, 0.5f, 0.9f * sinOf(3.0f * t));
}

float endingFade(float beats) {
  float fade = 1.0f - (beats - 360.0f) * 0.145f;
  if (fade <= 0.0f) fade = 0.0f;
  if (fade > 1.0f) fade = 1.0f;
  return fade;
}

uint32_t endingCaptionAlpha(float fade) {
  return static_cast<uint32_t>(std::sqrt(std::sqrt(static_cast<double>(fade))) * 255.0);
}

void drawEndingScene(const FrameSync& sync, SceneObjects&) {
  setRenderState(D3DRS_LIGHTING, FALSE);
  g_device->SetTexture(0, findTexture(makeFourCC('D', 'E', 'Z', 'T')));
  const float fade = endingFade(sync.beats);

  setRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
  begin2D();
  setRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
  setAlphaBlend();
  setSingleTextureStage();
  drawFadeOverlay(0.0f, 0.0f, 1.0f, 1.0f, 0x00FFFFFF, fade);
  setRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
  end2D();

  drawTextCard("   ZAQ.JPG   ", 0.5f, 0.5f, 1.0f, endingCaptionAlpha(fade) << 24 | 0x00FFFFFF, true, true);
}
