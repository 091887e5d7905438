// The audio output stream and the music clock: one looping sound buffer refilled by the audio thread
// from the master mixer, and the played-bytes count from which the presentation takes its time, song
// order, row and beat. The engine (engine.h) must be built before music_open.
// Without a stream (before music_open, after it failed, after music_close) the clock stays at its
// start value, -176384 played bytes: the presentation's "not yet started", in which nothing is drawn.
// Port addition: the stream can start anywhere in the song (music_seek).
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

// Starts the music at `order` (0 to 91): before the stream plays, the audio thread renders the song
// silently from its beginning up to the last whole 32-sample block before the clock reaches `order`,
// so every voice, envelope, automation value, delay line and reverb is where a full run has it; the
// clock starts one ring (the silent lead-in) below that point. Before music_open it sets where the
// stream starts; while open it stops the audio thread, rebuilds the engine (music_build) and starts
// the stream over there, lead-in included. music_close forgets it: the next open starts at order 0.
void music_seek(int32_t order);
// The played bytes from which the clock reads the order of the last music_seek (0 without one).
int32_t music_startBytes();
