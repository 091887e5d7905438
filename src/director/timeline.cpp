#include "director/timeline.h"

#include "director/demo.h"
#include "director/scenes.h"
#include "engine3d/matrix4.h"
#include "music/stream.h"
#include "platform/graphics.h"
#include "text/text.h"

DirectorState g_director;

namespace {

FrameRecord g_lastFrame{};

// The white flash over every scene but the blank one, with a large green caption that jitters
// vertically and shows through as the flash fades.
void drawFlashOverlay(float f) {
  drawTextCard("ZAQ.JPG", 0.5f, 0.5f + 0.054f * sinOf(tanOf(4.0f * g_time)), 4.0f,
               0xFF00FF00, true, true);
  g_device->SetTexture(0, nullptr);
  setRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
  setAlphaBlend();
  drawFadeOverlay(0.0f, 0.0f, 1.0f, 1.0f, 0xFFFFFFFF, f);
  setRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
}

}  // namespace

SceneId advanceTimeline(DirectorState& state, FrameSync& sync, float time, int32_t row, int32_t order,
                        float beats) {
  sync.time = time;
  sync.row = row;
  sync.order = order;
  sync.beats = beats;
  sync.barWave = barWaveOf(beats);
  sync.newRow = row != state.lastRow;
  if (sync.newRow) state.lastRow = row;

  const SceneId scene = order >= state.endOrder ? SCENE_END : sceneForOrder(order);
  sync.rowInBar = row & 15;
  if (scene == SCENE_END) return scene;
  if (sync.newRow && beatTable[sync.rowInBar] == 2) state.gammaFade.begin();

  if (scene == SCENE_TUNNEL && state.tunnelFlashPending) {
    state.tunnelFlashPending = false;
    state.flashFade.begin();
  }
  if (scene == SCENE_SCROLLER && sync.newRow && order == 7 && row % 3 == 1) state.flashFade.begin();
  return scene;
}

void resetTimeline() {
  g_director = DirectorState{};
  g_lastFrame = FrameRecord{};
}

const FrameRecord& lastFrameRecord() { return g_lastFrame; }

bool runTimelineFrame() {
  // Three separate reads of the clock, in this order.
  const int32_t row = music_row();
  const int32_t order = music_order();
  const float beats = music_beats();
  return drawTimelineFrame(g_time, row, order, beats);
}

bool drawTimelineFrame(float time, int32_t row, int32_t order, float beats) {
  FrameSync sync{};
  const SceneId scene = advanceTimeline(g_director, sync, time, row, order, beats);
  if (scene == SCENE_END) return false;

  const float g = g_director.gammaFade.level();
  setGammaEffect(static_cast<double>(g * g));

  drawScene(scene, sync);
  if (scene != SCENE_BLANK) {
    const float f = g_director.flashFade.level();
    if (f != 0.0f) drawFlashOverlay(f);
  }

  g_lastFrame.sync = sync;
  g_lastFrame.scene = scene;
  g_lastFrame.gamma = g;
  g_lastFrame.flash = g_director.flashFade.level();
  endFrame();
  return true;
}
