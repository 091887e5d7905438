// The arithmetic of the stream's ring and clock, and one refill pass, apart from the audio thread so
// each can be checked on its own. The ring holds 176384 bytes (44096 stereo 16-bit frames, just under
// one second); refills go in whole 128-byte steps and never for less than 256 bytes.
#pragma once

#include <cstdint>

#include "compat/dsound/dsound.h"

constexpr int32_t kStreamRingSize = 0x2B100;  // 176384
constexpr int32_t kClockOffsetBytes = 3000;  // 750 frames: the song positions lag the heard sound by this

// Bytes the play cursor is ahead of the write cursor, round the ring.
constexpr int32_t streamAhead(int32_t play, int32_t write) {
  return (kStreamRingSize + play - write) % kStreamRingSize;
}

// Room for rendering: the distance from write to play, rounded down to a multiple of 128 bytes.
constexpr int32_t streamFreeBytes(int32_t play, int32_t write) { return streamAhead(play, write) & ~127; }

// A refill renders only when at least 256 bytes are free (free is a multiple of 128, so more than 128).
constexpr bool streamRefillDue(int32_t freeBytes) { return freeBytes >= 256; }

// Rendered bytes the listener has heard: negative for the silent ring that plays first.
constexpr int32_t streamPlayedBytes(int32_t play, int32_t write, int32_t bytesWritten) {
  return streamAhead(play, write) + bytesWritten;
}

// The clock from played bytes and the sequencer's row length (samples; one frame is 4 bytes).
// Integer divisions truncate toward zero.
float musicSecondsAt(int32_t played);
int32_t musicOrderAt(int32_t played, int32_t rowSamples);
int32_t musicRowAt(int32_t played, int32_t rowSamples);
float musicBeatsAt(int32_t played, int32_t rowSamples);
// Played bytes from which the clock reads `order`; order 0 starts at 0, where a full run's lead-in ends.
int32_t musicStartBytes(int32_t order, int32_t rowSamples);

// The stream's cursors, guarded by the stream lock.
struct StreamCursors {
  DWORD play = 0;                        // last play position read from the ring
  int32_t write = 0;                     // ring offset where the next rendered bytes go
  int32_t bytesWritten = -kStreamRingSize;  // total bytes rendered, minus one ring
};

using RenderFrames = void (*)(int16_t* out, int frames);

// One refill: reads the play position, and if enough room has opened renders free / 4 stereo frames
// into `scratch` and copies them into the ring at the write cursor (in two regions when the room wraps
// round the end). A failing Lock skips the copy but the cursors move all the same, so the clock stays
// continuous. Returns the bytes rendered (0 when nothing was due).
int32_t streamRefill(IDirectSoundBuffer8* ring, StreamCursors& cursors, int16_t* scratch, RenderFrames render);
