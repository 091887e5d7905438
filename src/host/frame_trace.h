// The frame trace: one CSV line per drawn frame (frame, smoothed time, the three clock reads, scene,
// whether the row is new, the gamma and flash levels, and the milliseconds the frame took from
// beginFrame to the end of Present). Every column but the last is deterministic in a capture.
#pragma once

#include <string>

namespace host {

// Opens `path` and registers with the director; false with a reason when the file cannot be written.
bool openFrameTrace(const std::string& path, std::string* error);
// Unregisters and closes; false with a reason when a write failed.
bool closeFrameTrace(std::string* error);

}  // namespace host
