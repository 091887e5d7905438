// The one shared 32-bit pseudo-random generator of the graphics side. Every texture instruction
// re-seeds it; the feedback effect continues from wherever the last instruction left it. Not thread
// safe and not for the music side, which uses the C library's rand.
#pragma once

#include <cstdint>

void seedRandom(uint32_t value);

// Advances the state and returns it; callers take the bits they need (often the low byte).
uint32_t nextRandom();
