// The song-position timeline: which scene each song order shows, the per-frame sync record, and the
// end of the presentation at order 92. Scenes, accents and the flash overlay join as their subsystems land.
#pragma once

#include <cstdint>

enum SceneId : int32_t {
  SCENE_BLANK = 0,
  SCENE_TUNNEL = 1,
  SCENE_BOX = 3,
  SCENE_SCROLLER = 4,
  SCENE_HELIX = 5,
  SCENE_ZOOM = 6,
  SCENE_BANNERS = 9,
  SCENE_ENDING = 12,
  SCENE_END = -1,  // order 92 and above: the presentation is over
};

struct FrameSync {
  float time;
  int32_t row;
  int32_t order;
  float beats;
  float barWave;
  int32_t rowInBar;
  bool newRow;
};

SceneId sceneForOrder(int32_t order);
float barWaveOf(float beats);

// Forgets the row seen last (start-up).
void resetTimeline();
// Draws one frame and presents it; false (nothing drawn, nothing presented) once the song is over.
bool runTimelineFrame();
