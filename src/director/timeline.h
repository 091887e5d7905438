// The song-position timeline: which scene each song order shows, the per-frame sync record, the accents
// on rows 4 and 12 (gamma pulse), the scroller's and the tunnel's white flash, and the end of the
// presentation at order 92. The pure decision step is separate from drawing so it can be driven by a
// fake clock.
#pragma once

#include <cstdint>

#include "engine3d/presets.h"

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

// The first order past the song: the presentation ends when the clock reaches it.
constexpr int32_t kEndOrder = 92;

struct FrameSync {
  float time;
  int32_t row;
  int32_t order;
  float beats;
  float barWave;
  int32_t rowInBar;
  bool newRow;
};

// What the director keeps from one drawn frame to the next.
struct DirectorState {
  int32_t lastRow = -1;
  Fade gammaFade{0.3f, 0.0f, 0};
  Fade flashFade{0.5f, 0.0f, 0};
  bool tunnelFlashPending = true;
  float zoomStart = -1.0f;  // start time of the current zoom run
  int32_t endOrder = kEndOrder;  // the run ends on the first frame at this order or later
};

extern DirectorState g_director;

// 2 marks the accented rows of every 16.
extern const uint8_t beatTable[16];

SceneId sceneForOrder(int32_t order);
// The first order of the scene run that holds `order` (0 to 91), and the first order after it (the
// ending's is kEndOrder). A scene shown twice (zoom, banners, box) makes two runs.
int32_t sceneStartOrder(int32_t order);
int32_t nextSceneOrder(int32_t order);
float barWaveOf(float beats);

// One frame's decisions from the three clock reads: fills the rest of `sync`, notes the new row, starts
// the gamma pulse on accented rows and the flash of the scroller (order 7, every third row) and of the
// first tunnel frame. Returns the scene, or SCENE_END (at state.endOrder or later) with nothing changed
// but the row seen.
SceneId advanceTimeline(DirectorState& state, FrameSync& sync, float time, int32_t row, int32_t order,
                        float beats);

// Forgets everything the previous run left (start-up).
void resetTimeline();

// What the last drawn frame decided, for the frame trace.
struct FrameRecord {
  FrameSync sync;
  SceneId scene;
  float gamma;  // gammaFade's level
  float flash;  // flashFade's level
};
const FrameRecord& lastFrameRecord();

// Draws one frame and presents it; false (nothing drawn, nothing presented) once the song is over.
bool runTimelineFrame();
// The same for a given song position (benchmarks and tests drive it with a fake clock).
bool drawTimelineFrame(float time, int32_t row, int32_t order, float beats);
