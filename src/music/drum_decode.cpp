// DRUM entry decoding, the derived snare tail and the synthesised bass drum.
#include "music/drum_decode.h"

#include <bit>
#include <cmath>
#include <vector>

#include "music/drum_machine.h"
#include "music/synth_device.h"
#include "music/thread_rand.h"

namespace {

bool isPowerOfTwo(int32_t n) { return n > 0 && (n & (n - 1)) == 0; }

// Float to the 16 bits stored: truncation toward zero, then the low 16 bits. A record whose numbers
// overflow to infinity and beyond gives NaN, which stores as 0 (what the processor's conversion makes
// of it, 0x80000000, has zero low bits) instead of being converted, which C++ leaves undefined.
int16_t storeSample(float x) {
  const float scaled = x * 32766.0f;
  int32_t v = 0;
  if (std::isnan(scaled)) {
    v = 0;
  } else if (scaled >= 2147483520.0f) {
    v = INT32_MAX;
  } else if (scaled <= -2147483648.0f) {
    v = INT32_MIN;
  } else {
    v = static_cast<int32_t>(scaled);
  }
  return static_cast<int16_t>(v);
}

}  // namespace

void inverseHaar(float* c, float* scratch, int32_t n) {
  for (int32_t a = 1; a < n; a *= 2) {
    for (int32_t i = 0; i < a; ++i) {
      scratch[2 * i] = c[i] - c[a + i];
      scratch[2 * i + 1] = c[i] + c[a + i];
    }
    for (int32_t i = 0; i < 2 * a; ++i) c[i] = scratch[i];
  }
}

bool decodeDrumRecord(int32_t type, float scale, const uint8_t* payload, int32_t payloadBytes, int16_t* out,
                      int32_t* count) {
  int32_t n = 0;
  if (type == kDrumRecordType0) {
    n = payloadBytes;
  } else if (type == kDrumRecordType1) {
    n = 2 * payloadBytes;
  } else {
    return false;
  }
  if (!isPowerOfTwo(n)) return false;

  std::vector<float> c(static_cast<size_t>(n));
  if (type == kDrumRecordType0) {
    for (int32_t i = 0; i < n; ++i) {
      const int32_t p = static_cast<int8_t>(payload[i]);
      c[static_cast<size_t>(i)] = scale * static_cast<float>(p * std::abs(p)) * 0.007874016f;
    }
  } else {
    for (int32_t i = 0; i < payloadBytes; ++i) {
      const int32_t p = static_cast<int8_t>(payload[i]);
      const int32_t r = threadRand() & 0xFF;
      const int32_t v = p + r;
      c[static_cast<size_t>(2 * i)] = scale * type1Level(v & 15);
      c[static_cast<size_t>(2 * i + 1)] = scale * type1Level((v >> 4) & 15);
    }
  }
  std::vector<float> scratch(static_cast<size_t>(n));
  inverseHaar(c.data(), scratch.data(), n);
  for (int32_t i = 0; i < n; ++i) out[i] = storeSample(c[static_cast<size_t>(i)]);
  *count = n;
  return true;
}

void decodeDrumEntry(const uint8_t* entry, int32_t size, DrumSample* sounds) {
  if (size >= 4) {
    const int32_t records = musicReadLe32(entry);
    int32_t at = 4;
    for (int32_t r = 0; r < records && size - at >= 12; ++r) {
      const uint32_t header = static_cast<uint32_t>(musicReadLe32(entry + at));
      const int32_t sound = static_cast<int32_t>(header >> 24);
      const int32_t rest = static_cast<int32_t>(header & 0xFFFFFF);
      if (rest < 8 || rest > size - at - 4) break;  // runs past the entry: stop reading
      const int32_t type = musicReadLe32(entry + at + 4);
      const float scale = std::bit_cast<float>(static_cast<uint32_t>(musicReadLe32(entry + at + 8)));
      const int32_t payloadBytes = rest - 8;
      std::vector<int16_t> decoded(static_cast<size_t>(2 * payloadBytes + 32), 0);
      int32_t count = 0;
      // An unknown sound number still consumes its dither draws, like any other record.
      if (decodeDrumRecord(type, scale, entry + at + 12, payloadBytes, decoded.data(), &count) && sound < kDrumSounds) {
        sounds[sound].assign(decoded.data(), count);
      }
      at += 4 + rest;
    }
  }
  if (sounds[3].samples.empty()) deriveSound3(sounds[2], sounds[3]);
  synthesiseBassDrum(sounds[11]);
}

void deriveSound3(const DrumSample& sound2, DrumSample& sound3) {
  const int32_t n = sound2.length() / 3;
  if (n <= 0) return;
  std::vector<int16_t> out(static_cast<size_t>(n));
  for (int32_t i = 0; i < n; ++i) {
    const int32_t fade = 255 - (256 * i) / n;
    const int32_t gain = (fade * fade) >> 8;
    out[static_cast<size_t>(i)] = static_cast<int16_t>((sound2.samples[static_cast<size_t>(i)] * gain) >> 8);
  }
  sound3.assign(out.data(), n);
}

void synthesiseBassDrum(DrumSample& sound11) {
  const int32_t n = kBassDrumSamples;
  std::vector<int16_t> out(static_cast<size_t>(n));
  float s = 0.0f;  // phase accumulator, single precision
  for (int32_t i = 0; i < n; ++i) {
    const double remaining = static_cast<double>(n - i) / n;
    s = static_cast<float>(std::pow(remaining, 7.0) * 0.039 + s);
    double v = std::sin(static_cast<double>(s));
    v = (v < 0 ? -1.0 : 1.0) * std::pow(std::fabs(v), 0.66);
    const int32_t sample = static_cast<int16_t>(static_cast<int32_t>(v * 32767.0));
    out[static_cast<size_t>(i)] = static_cast<int16_t>(sample * (n - i) / n);
  }
  sound11.assign(out.data(), n);
}
