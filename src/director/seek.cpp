#include "director/seek.h"

#include <algorithm>
#include <chrono>

#include "compat/win32/user32.h"
#include "director/demo.h"
#include "music/stream.h"
#include "music/stream_ring.h"
#include "platform/window.h"

namespace {

PlayRange g_range;
int32_t g_startOrder = 0;
SceneKeyMemory g_keyMemory;

constexpr int64_t kSecondPressMs = 1000;

bool tunnelAhead(int32_t order) {
  for (int32_t o = order; o < kEndOrder; ++o) {
    if (sceneForOrder(o) == SCENE_TUNNEL) return true;
  }
  return false;
}

int64_t wallClockMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

}  // namespace

void setPlayRange(const PlayRange& range) { g_range = range; }

const PlayRange& playRange() { return g_range; }

float startPresentationAt(int32_t order) {
  g_startOrder = order;
  music_seek(order);
  resetTimeline();
  g_director.endOrder = g_range.toOrder;
  g_director.tunnelFlashPending = tunnelAhead(order);
  // g_time starts at the start position as a full run's starts at 0, and falls through the lead-in.
  g_time = musicSecondsAt(music_startBytes());
  return g_time;
}

SceneKey sceneKeyOf(WPARAM virtualKey) {
  switch (virtualKey) {
    case VK_RIGHT:
    case VK_NEXT: return SceneKey::NextScene;
    case VK_LEFT:
    case VK_PRIOR: return SceneKey::RestartScene;
    case VK_HOME: return SceneKey::RestartPresentation;
    default: return SceneKey::None;
  }
}

int32_t sceneKeyTarget(SceneKey key, int32_t order, int64_t nowMs, SceneKeyMemory& memory) {
  if (key == SceneKey::None) return order;
  const bool secondPress = memory.pressed && nowMs - memory.pressedMs < kSecondPressMs;
  memory.pressed = false;
  switch (key) {
    case SceneKey::NextScene: return nextSceneOrder(order);
    case SceneKey::RestartPresentation: return 0;
    case SceneKey::RestartScene: {
      const int32_t target = secondPress ? sceneStartOrder(std::max(memory.target - 1, 0)) : sceneStartOrder(order);
      memory = SceneKeyMemory{true, nowMs, target};
      return target;
    }
    case SceneKey::None: break;
  }
  return order;
}

bool followSceneKeys(float* drawFrom) {
  const SceneKey key = sceneKeyOf(takePressedKey());
  if (key == SceneKey::None) return true;
  // The clock reads earlier orders during the lead-in; the run is at its start order until then.
  const int32_t playing = std::max(music_order(), g_startOrder);
  const int32_t target = sceneKeyTarget(key, playing, wallClockMs(), g_keyMemory);
  if (target >= g_range.toOrder) return false;
  *drawFrom = startPresentationAt(target);
  return true;
}
