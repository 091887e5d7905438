// Oscillator waveforms and glide, envelope stages, and the resonant filter, per 32-sample block.
#include "music/voice_parts.h"

#include <algorithm>

#include "music/synth_tables.h"
#include "music/thread_rand.h"

void Oscillator::jump(uint32_t target) {
  increment = target;
  glideTarget = 0;
  glideStep = 0;
  glideActive = false;
}

void Oscillator::glide(uint32_t target) {
  glideTarget = target;
  if (glideTarget == increment) {
    glideActive = false;
    return;
  }
  glideStep = static_cast<int32_t>(glideTarget - increment) >> 6;
  glideActive = true;
}

void Oscillator::render(SampleBlock& out) {
  switch (waveform) {
    case kWaveSaw:
      for (int i = 0; i < kBlockSize; ++i) {
        out.s[i] = static_cast<int32_t>(phase >> 16) - 32768;
        phase += increment;
      }
      break;
    case kWaveSquare:
      for (int i = 0; i < kBlockSize; ++i) {
        out.s[i] = (phase & 0x80000000u) ? 32767 : -32767;
        phase += increment;
      }
      break;
    case kWaveTriangle:
      for (int i = 0; i < kBlockSize; ++i) {
        const int32_t u = static_cast<int32_t>(phase >> 15);
        out.s[i] = (phase < 0x80000000u) ? u - 32768 : (131072 - u) - 32768;
        phase += increment;
      }
      break;
    case kWaveSine:
      for (int i = 0; i < kBlockSize; ++i) {
        out.s[i] = SineTable[((phase >> 16) + 16384) & 0xFFFF] >> 3;
        phase += increment;
      }
      break;
    case kWavePulse: {
      const int32_t width = (SineTable[pulseWidthPhase & 0xFFFF] & ~3) << 12;
      for (int i = 0; i < kBlockSize; ++i) {
        out.s[i] = (static_cast<int32_t>(phase) < width) ? -32767 : 32767;
        phase += increment;
      }
      pulseWidthPhase += 60;
      break;
    }
    case kWaveNoise:
      for (int i = 0; i < kBlockSize; ++i) out.s[i] = threadRand();
      break;
    default:
      for (int i = 0; i < kBlockSize; ++i) out.s[i] = 0;
      break;
  }

  if (!glideActive) return;
  if (glideStep > 0) {
    if (increment > glideTarget) {
      increment = glideTarget;
      glideActive = false;
    } else {
      increment += static_cast<uint32_t>(glideStep);
    }
  } else {
    if (increment < glideTarget) {
      increment = glideTarget;
      glideActive = false;
    } else {
      increment += static_cast<uint32_t>(glideStep);
    }
  }
}

void Envelope::trigger(int32_t peakLevel, int32_t divisor) {
  peak = peakLevel;
  if (divisor != 0) decayRate = peakLevel / divisor;
  rate = (peakLevel - level) / attackTime;
  if (peakLevel - level >= 1000) {
    stage = kEnvAttack;
    if (rate == 0) rate = 1;
  } else {
    level = peakLevel;
    stage = kEnvDecay;
    rate = -decayRate;
  }
}

void Envelope::advance() {
  level += rate * kBlockSize;
  if (stage == kEnvAttack && level >= peak) {
    stage = kEnvDecay;
    rate = -decayRate;
    level = peak;
  }
  level = std::max(level, 0);
}

void Envelope::apply(SampleBlock& block) const {
  int32_t x = level;
  for (int i = 0; i < kBlockSize; ++i) {
    block.s[i] = wrapMul32(x >> 12, block.s[i]) >> 8;  // x is 12.20 fixed point with 1.0 = 0x100000
    x = std::clamp(x + rate, 0, std::max(peak, 0));
  }
}

void ResonantFilter::process(SampleBlock& block, int32_t mode) {
  cutoff = std::clamp(cutoff, 2559, 65535);
  cutoff = (cutoff * 10922) >> 16;
  const int32_t k = (0x20000 - (SineTable[(cutoff + 16384) & 0xFFFF] >> 1)) >> 4;
  const int32_t d = damping >> 8;
  for (int i = 0; i < kBlockSize; ++i) {
    const int32_t x = block.s[i];
    band += wrapMul32(x - low, k) >> 12;
    low += band;
    if (mode == kFilterLowPass) {
      block.s[i] = low;
    } else if (mode == kFilterHighPass) {
      block.s[i] = x - low;
    }
    band = wrapMul32(band, d) >> 8;
  }
}
