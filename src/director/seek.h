// Port addition: starting the presentation anywhere in the song and stopping it at a later order, and
// the live keys that move between scenes. A start (at launch, or on a key) brings the music there by
// rendering the song silently from its beginning (music_seek), keeps the lead-in second, and puts g_time
// and the director where a run arriving there would have them, or their sound reset: lastRow -1, fades
// inactive, zoomStart -1, the tunnel's one-time flash still pending while the tunnel lies ahead.
#pragma once

#include <cstdint>

#include "compat/win32/win32_types.h"
#include "director/timeline.h"

// Orders fromOrder (0 to 91) up to, not including, toOrder (fromOrder + 1 to 92).
struct PlayRange {
  int32_t fromOrder = 0;
  int32_t toOrder = kEndOrder;
};

// Before demoMain.
void setPlayRange(const PlayRange& range);
const PlayRange& playRange();

// Starts the run at the start of `order`, before music_open or while the stream plays. Returns the
// presentation time from which frames are drawn (0 for order 0); below it, as in a full run's lead-in,
// nothing is drawn.
float startPresentationAt(int32_t order);

enum class SceneKey { None, NextScene, RestartScene, RestartPresentation };

// Right arrow and Page Down: the next scene; Left arrow and Page Up: this scene again; Home: order 0.
SceneKey sceneKeyOf(WPARAM virtualKey);

// What the restart key remembers: a second press within one second goes one scene further back.
struct SceneKeyMemory {
  bool pressed = false;
  int64_t pressedMs = 0;
  int32_t target = 0;  // where the last restart went
};

// The order `key` takes the run to from `order` (the one playing) at wall-clock time `nowMs`; the next
// scene after the ending is kEndOrder.
int32_t sceneKeyTarget(SceneKey key, int32_t order, int64_t nowMs, SceneKeyMemory& memory);

// Called by the main loop after each message: follows a scene key pressed since the last call. Returns
// false when the key takes the run to the end of its range (the run ends as it does there); otherwise
// true, with *drawFrom moved to the new start when it jumped.
bool followSceneKeys(float* drawFrom);
