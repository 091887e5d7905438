// The synthesis tables built once at start-up: the pitch table (32-bit phase increments per note at
// 44100 Hz, note 69 = 440 Hz) and the sine table (one period, amplitude 0x3FFFF, 65536 entries).
// Floating point is used here only; everything that reads the tables is integer.
#pragma once

#include <cstdint>

extern int32_t PitchTable[256];
extern int32_t SineTable[65536];

void buildSynthTables();
