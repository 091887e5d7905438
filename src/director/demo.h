// The presentation's spine: start-up in its fixed order (the opening card shows while textures, music
// and meshes are generated), one loop that draws a frame per pass timed by the audio clock, and
// shutdown. Returns 0 after the song's end or a quit request, -1 when the display cannot be set up.
#pragma once

#include <cstdint>

struct FrameRecord;

extern float g_time;

int demoMain();

// Start-up after the display is up: the opening card, then textures, music, meshes, camera, warp grid
// and sprite batch; and the matching shutdown, which also releases the device. demoMain runs them;
// tests drive the scenes between the two.
void startUp();
void shutDown();

// One step of the presentation time's low-pass: a quarter of the way from `previous` to the audio clock.
float smoothTime(float audioSeconds, float previous);

// Port addition: told about every drawn frame, with the main-loop pass that drew it (counted from 0;
// in a capture, the number of the frame file that shows it) and the time it took from beginFrame to
// the end of Present (the frame trace). nullptr: nobody is told.
using FrameObserver = void (*)(const FrameRecord& frame, int64_t pass, double renderMs);
void setFrameObserver(FrameObserver observer);

// Exit code when the music stream cannot be opened at all (the presentation has no clock without it).
constexpr int DEMO_NO_AUDIO_CLOCK = 1;
