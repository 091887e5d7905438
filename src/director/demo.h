// The presentation's spine: start-up in its fixed order, one loop that draws a frame per pass timed by
// the audio clock, and shutdown. Returns 0 after the song's end or a quit request, -1 when the display
// cannot be set up.
#pragma once

extern float g_time;

int demoMain();

// One step of the presentation time's low-pass: a quarter of the way from `previous` to the audio clock.
float smoothTime(float audioSeconds, float previous);

// Exit code when the music stream cannot be opened at all (the presentation has no clock without it).
constexpr int DEMO_NO_AUDIO_CLOCK = 1;
