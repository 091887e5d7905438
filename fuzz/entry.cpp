// libFuzzer's entry point for one target, chosen at build time (BRANNIK_FUZZ_TARGET).
#include "targets.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::BRANNIK_FUZZ_TARGET(data, size);
  return 0;
}
