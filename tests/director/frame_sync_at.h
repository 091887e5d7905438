// The frame a scene sees at song time `time` on pattern row `row` (16 rows an order, 4 a beat), as the
// timeline hands it over on the row's first frame; g_time set to match.
#pragma once

#include <cstdint>

#include "director/demo.h"
#include "director/scenes.h"

inline FrameSync frameSyncAt(float time, int32_t row, float barWave = 0.0f) {
  g_time = time;
  FrameSync s{};
  s.time = time;
  s.row = row;
  s.order = row >> 4;
  s.beats = static_cast<float>(row) * 0.25f;
  s.barWave = barWave;
  s.rowInBar = row & 15;
  s.newRow = true;
  return s;
}
