// The music side's random numbers: the C library's rand recurrence, kept per thread and our own so
// that every thread's sequence is known (each thread starts at state 1). The synth voices' noise and
// coin, the drum decoder's dither and the gamma effect draw from it; tests may reseed it.
// Not a general-purpose generator: 15-bit results, one state per thread.
#pragma once

#include <cstdint>

constexpr uint32_t kThreadRandStart = 1;

// state := state * 214013 + 2531011 (mod 2^32); result (state >> 16) & 0x7FFF, 0 to 32767.
int32_t threadRand();
// Sets the calling thread's state (kThreadRandStart is where every thread begins).
void seedThreadRand(uint32_t state);
uint32_t threadRandState();
