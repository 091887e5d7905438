// Drum recipes: parsing, synthesis and encoding as DRUM records.
#include "music/drum_encode.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdlib>
#include <sstream>

#include "music/drum_decode.h"
#include "music/master_mixer.h"
#include "music/thread_rand.h"

namespace {

constexpr float kRate = 44100.0f;
constexpr float kPi = 3.14159265358979f;

bool parseFloat(const std::string& w, float lo, float hi, float* out) {
  char* end = nullptr;
  const float v = std::strtof(w.c_str(), &end);
  if (w.empty() || *end != '\0' || !(v >= lo && v <= hi)) return false;
  *out = v;
  return true;
}

void put32(std::vector<uint8_t>* out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out->push_back(static_cast<uint8_t>(v >> (8 * i)));
}

// One-pole filters on a whole buffer.
void onePoleLow(std::vector<float>& x, float hz) {
  const float a = 1.0f - std::exp(-2.0f * kPi * hz / kRate);
  float y = 0;
  for (float& s : x) s = y += a * (s - y);
}

void onePoleHigh(std::vector<float>& x, float hz) {
  std::vector<float> low = x;
  onePoleLow(low, hz);
  for (size_t i = 0; i < x.size(); ++i) x[i] -= low[i];
}

// Nearest type-1 code for a coefficient already divided by the scale.
int32_t nearestCode(float v) {
  int32_t best = 7;
  float bestError = std::fabs(v);
  for (int32_t k = 0; k < 16; ++k) {
    const float e = std::fabs(v - type1Level(k));
    if (e < bestError) {
      best = k;
      bestError = e;
    }
  }
  return best;
}

}  // namespace

bool parseDrumRecipes(const std::string& text, const std::string& name, std::vector<DrumRecipe>* recipes,
                      std::string* error) {
  recipes->clear();
  std::istringstream in(text);
  std::string raw;
  int32_t lineNo = 0;
  auto fail = [&](const std::string& what) {
    *error = name + ":" + std::to_string(lineNo) + ": " + what;
    return false;
  };
  while (std::getline(in, raw)) {
    ++lineNo;
    std::istringstream words(raw.substr(0, raw.find('#')));
    std::vector<std::string> w;
    for (std::string s; words >> s;) w.push_back(s);
    if (w.empty()) continue;
    if (w[0] == "sound") {
      // sound N type T samples S [NAME]
      DrumRecipe r;
      char* end = nullptr;
      if (w.size() < 6 || w[2] != "type" || w[4] != "samples") return fail("sound N type T samples S [name]");
      r.sound = static_cast<int32_t>(std::strtol(w[1].c_str(), &end, 10));
      if (*end || r.sound < 0 || r.sound > 10) return fail("a recorded sound is numbered 0 to 10 (11 is synthesised)");
      r.type = static_cast<int32_t>(std::strtol(w[3].c_str(), &end, 10));
      if (*end || (r.type != 0 && r.type != 1)) return fail("type is 0 or 1");
      r.samples = static_cast<int32_t>(std::strtol(w[5].c_str(), &end, 10));
      if (*end || r.samples < 64 || r.samples > 65536 || (r.samples & (r.samples - 1)) != 0) {
        return fail("samples is a power of two from 64 to 65536");
      }
      for (const auto& other : *recipes) {
        if (other.sound == r.sound) return fail("sound " + w[1] + " is given twice");
      }
      if (w.size() > 6) r.name = w[6];
      recipes->push_back(r);
      continue;
    }
    if (recipes->empty()) return fail("'" + w[0] + "' before the first sound line");
    DrumLayer layer;
    if (w[0] == "tone") {
      layer.kind = DrumLayer::Tone;
    } else if (w[0] == "noise") {
      layer.kind = DrumLayer::Noise;
    } else if (w[0] == "metal") {
      layer.kind = DrumLayer::Metal;
    } else {
      return fail("unknown layer '" + w[0] + "' (tone, noise or metal)");
    }
    if (w.size() < 2 || !parseFloat(w[1], 0, 4, &layer.amplitude)) return fail("a layer starts with its amplitude 0 to 4");
    // The rest are KEY VALUE pairs.
    if (w.size() % 2 != 0) return fail("after the amplitude come KEY VALUE pairs");
    for (size_t i = 2; i + 1 < w.size(); i += 2) {
      float v = 0;
      if (!parseFloat(w[i + 1], 0, 22050, &v)) return fail("'" + w[i + 1] + "' is not a number 0 to 22050");
      if (w[i] == "decay") {
        layer.decay = v;
      } else if (w[i] == "freq") {
        layer.frequency = v;
      } else if (w[i] == "to") {
        layer.frequencyEnd = v;
      } else if (w[i] == "sweep") {
        layer.sweep = v;
      } else if (w[i] == "highpass") {
        layer.highpass = v;
      } else if (w[i] == "lowpass") {
        layer.lowpass = v;
      } else {
        return fail("unknown key '" + w[i] + "' (decay, freq, to, sweep, highpass, lowpass)");
      }
    }
    if (layer.decay <= 0) return fail("every layer needs a decay above 0");
    if (layer.kind != DrumLayer::Noise && layer.frequency <= 0) return fail("tone and metal need a freq");
    recipes->back().layers.push_back(layer);
  }
  if (recipes->empty()) return fail("no sounds");
  return true;
}

std::vector<float> synthesiseDrum(const DrumRecipe& recipe) {
  const size_t n = static_cast<size_t>(recipe.samples);
  std::vector<float> out(n, 0.0f);
  uint32_t noise = 0x9E3779B9u ^ static_cast<uint32_t>(recipe.sound);
  for (const DrumLayer& layer : recipe.layers) {
    std::vector<float> x(n, 0.0f);
    if (layer.kind == DrumLayer::Tone) {
      double phase = 0;
      for (size_t i = 0; i < n; ++i) {
        const float t = static_cast<float>(i) / kRate;
        float f = layer.frequency;
        if (layer.frequencyEnd > 0) {
          f = layer.frequencyEnd + (layer.frequency - layer.frequencyEnd) * std::exp(-t / layer.sweep);
        }
        phase += f / kRate;
        x[i] = static_cast<float>(std::sin(2.0 * kPi * phase));
      }
    } else if (layer.kind == DrumLayer::Noise) {
      for (size_t i = 0; i < n; ++i) {
        noise = noise * 1664525u + 1013904223u;
        x[i] = static_cast<float>(static_cast<int32_t>(noise)) / 2147483648.0f;
      }
      if (layer.lowpass > 0) onePoleLow(x, layer.lowpass);
    } else {
      // Six square partials at inharmonic ratios: a metallic cluster.
      const float ratios[6] = {1.0f, 1.4828f, 1.8003f, 2.5463f, 2.6303f, 3.8968f};
      for (size_t i = 0; i < n; ++i) {
        float sum = 0;
        for (float r : ratios) {
          const float cycles = layer.frequency * r * static_cast<float>(i) / kRate;
          sum += (cycles - std::floor(cycles)) < 0.5f ? 1.0f : -1.0f;
        }
        x[i] = sum / 6.0f;
      }
    }
    if (layer.kind != DrumLayer::Tone && layer.highpass > 0) onePoleHigh(x, layer.highpass);
    for (size_t i = 0; i < n; ++i) {
      const float t = static_cast<float>(i) / kRate;
      const float attack = std::min(1.0f, t / 0.001f);
      out[i] += layer.amplitude * attack * std::exp(-t / layer.decay) * x[i];
    }
  }
  // Fade the last 64 samples so the end of the sound is silent.
  for (size_t i = 0; i < 64 && i < n; ++i) out[n - 1 - i] *= static_cast<float>(i) / 64.0f;
  for (float& s : out) s = std::clamp(s, -1.0f, 1.0f);
  return out;
}

void forwardHaar(float* x, float* scratch, int32_t n) {
  for (int32_t a = n / 2; a >= 1; a /= 2) {
    for (int32_t i = 0; i < a; ++i) {
      scratch[i] = (x[2 * i] + x[2 * i + 1]) * 0.5f;
      scratch[a + i] = (x[2 * i + 1] - x[2 * i]) * 0.5f;
    }
    for (int32_t i = 0; i < 2 * a; ++i) x[i] = scratch[i];
  }
}

std::vector<uint8_t> encodeDrumEntry(const std::vector<DrumRecipe>& recipes) {
  const uint32_t saved = threadRandState();
  seedThreadRand(kThreadRandStart);
  for (int32_t i = 0; i < kReverbRandDraws; ++i) threadRand();

  std::vector<uint8_t> out;
  put32(&out, static_cast<uint32_t>(recipes.size()));
  for (const DrumRecipe& r : recipes) {
    std::vector<float> c = synthesiseDrum(r);
    std::vector<float> scratch(c.size());
    const int32_t n = r.samples;
    forwardHaar(c.data(), scratch.data(), n);
    float peak = 0;
    for (float v : c) peak = std::max(peak, std::fabs(v));
    if (peak == 0) peak = 1;

    std::vector<uint8_t> payload;
    float scale = 0;
    if (r.type == 0) {
      scale = peak / 127.0f;  // the largest coefficient is code +-127
      for (float v : c) {
        const float code = std::sqrt(std::fabs(v) * 127.0f / scale);
        const int32_t p = std::min(127, static_cast<int32_t>(std::lround(code)));
        payload.push_back(static_cast<uint8_t>(static_cast<int8_t>(v < 0 ? -p : p)));
      }
    } else {
      scale = peak;  // the largest coefficient is level 1 (code 14)
      for (int32_t i = 0; i < n / 2; ++i) {
        const int32_t lo = nearestCode(c[static_cast<size_t>(2 * i)] / scale);
        const int32_t hi = nearestCode(c[static_cast<size_t>(2 * i + 1)] / scale);
        const int32_t wanted = lo | hi << 4;
        const int32_t dither = threadRand() & 0xFF;  // the decoder adds this back
        payload.push_back(static_cast<uint8_t>(wanted - dither));
      }
    }
    put32(&out, static_cast<uint32_t>(r.sound) << 24 | static_cast<uint32_t>(payload.size() + 8));
    put32(&out, static_cast<uint32_t>(r.type));
    put32(&out, std::bit_cast<uint32_t>(scale));
    out.insert(out.end(), payload.begin(), payload.end());
  }
  seedThreadRand(saved);
  return out;
}
