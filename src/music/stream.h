// The audio output stream and the music clock: one looping sound buffer refilled by the audio thread
// from the master mixer, and the played-bytes count from which the presentation takes its time, song
// order, row and beat. The engine (engine.h) must be built before music_open.
// Without a stream (before music_open, after it failed, after music_close) the clock stays at its
// start value, -176384 played bytes: the presentation's "not yet started", in which nothing is drawn.
#pragma once

#include <cstdint>

#include "compat/win32/win32_types.h"

bool music_open(HWND window);
void music_wake();
void music_close();
int32_t music_played_bytes();
float music_seconds();
int32_t music_order();
int32_t music_row();
float music_beats();
