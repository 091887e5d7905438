#include "director/timeline.h"

#include "director/demo.h"
#include "music/stream.h"
#include "platform/graphics.h"

namespace {

int32_t g_lastRow = -1;

}  // namespace

SceneId sceneForOrder(int32_t order) {
  if (order < 0) return SCENE_BLANK;
  if (order <= 7) return SCENE_SCROLLER;
  if (order <= 15) return SCENE_BOX;
  if (order <= 23) return SCENE_ZOOM;
  if (order == 24) return SCENE_TUNNEL;
  if (order <= 40) return SCENE_BANNERS;
  if (order <= 48) return SCENE_HELIX;
  if (order <= 57) return SCENE_ZOOM;
  if (order <= 73) return SCENE_BANNERS;
  if (order <= 89) return SCENE_BOX;
  if (order <= 91) return SCENE_ENDING;
  return SCENE_END;
}

float barWaveOf(float beats) {
  float v = beats * 0.25f;
  while (v > 2.0f) v -= 2.0f;
  if (v > 1.0f) v = 2.0f - v;
  return v;
}

void resetTimeline() { g_lastRow = -1; }

bool runTimelineFrame() {
  FrameSync sync;
  sync.time = g_time;
  sync.row = music_row();
  sync.order = music_order();
  sync.beats = music_beats();
  sync.barWave = barWaveOf(sync.beats);
  sync.newRow = sync.row != g_lastRow;
  if (sync.newRow) g_lastRow = sync.row;

  const SceneId scene = sceneForOrder(sync.order);
  if (scene == SCENE_END) return false;
  sync.rowInBar = sync.row & 15;
  // pending: the gamma pulse on accented rows, the scenes and the flash overlay; until they land every
  // frame shows the cleared picture.
  (void)sync;
  endFrame();
  return true;
}
