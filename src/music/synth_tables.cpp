// Pitch and sine tables. The pitch exponent is rounded to single precision before the power is taken.
#include "music/synth_tables.h"

#include <cmath>

int32_t PitchTable[256];
int32_t SineTable[65536];

void buildSynthTables() {
  for (int k = 0; k < 256; ++k) {
    const float exponent = static_cast<float>(k + 3) * 0.083333336f;  // single-precision 1/12
    const double increment = std::pow(2.0, static_cast<double>(exponent)) * 6.875 * 97391.54863945578;
    // 97391.5486... = 2^32 / 44100. From note 137 up the increment passes 2^31 (above half the sample
    // rate); those entries hold 0x80000000, what a 32-bit truncating conversion gives out of range.
    PitchTable[k] = increment < 2147483648.0 ? static_cast<int32_t>(increment) : INT32_MIN;
  }
  for (int i = 0; i < 65536; ++i) {
    SineTable[i] = static_cast<int32_t>(std::sin(2.0 * i * 4.7936899603036497e-05) * 262143.0);
  }
}
