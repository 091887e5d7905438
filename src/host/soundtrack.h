// --soundtrack: the whole song rendered offline, as fast as the machine allows, to a 44100 Hz stereo
// 16-bit WAV file. The same engine and start-up as the presentation; no stream, no clock, no window.
#pragma once

#include <cstdint>
#include <string>

namespace host {

// The orders a soundtrack covers: from the start of `fromOrder` to the start of `toOrder`, and never past
// the end of the song's last order.
struct SoundtrackRange {
  int32_t fromOrder = 0;
  int32_t toOrder = 92;
};

// Builds the music engine and renders the range (by default from the start to the end of the song's last
// order). The render runs on a thread of its own, so its rand sequence starts where the audio thread's
// does. Returns the process exit code (0, or EXIT_FAILURE_IO with a message on standard error).
int runSoundtrack(const std::string& path, const SoundtrackRange& range = {});

// Renders the built engine's song (music_build or music_buildFrom first) into `path`; the frame count
// written goes to `frames`. An order starts on the block after the one in which the sequencer steps to
// its first row; the song before `fromOrder` is rendered as well, and dropped, so the first sample written
// is the one a full soundtrack has there. False with a message if the file cannot be written.
bool renderSoundtrack(const std::string& path, int64_t* frames, std::string* error, const SoundtrackRange& range = {});

}  // namespace host
