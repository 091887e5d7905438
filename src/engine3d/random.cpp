#include "engine3d/random.h"

namespace {

uint32_t g_randomState = 0x31337D13;

}  // namespace

void seedRandom(uint32_t value) { g_randomState = value; }

uint32_t nextRandom() {
  uint32_t s = g_randomState ^ 0x26EA7561u;
  s = (s << 3) | (s >> 29);
  const uint64_t p = static_cast<uint64_t>(s) * 0x2678391Dull;
  s = static_cast<uint32_t>(p) ^ static_cast<uint32_t>(p >> 32);
  g_randomState = s;
  return s;
}
