// The per-thread rand state and its recurrence.
#include "music/thread_rand.h"

namespace {

thread_local uint32_t t_randState = kThreadRandStart;

}  // namespace

int32_t threadRand() {
  t_randState = t_randState * 214013u + 2531011u;
  return static_cast<int32_t>((t_randState >> 16) & 0x7FFF);
}

void seedThreadRand(uint32_t state) { t_randState = state; }

uint32_t threadRandState() { return t_randState; }
