// The drum sounds' sources and their encoding: recipes (assets/drums.txt: tones, noise and metallic
// partials with decays, documented in assets/README-music.md) synthesised to float samples, then
// encoded as DRUM records by a forward Haar transform and quantisation; for type 1 the 4-bit pairs are
// offset by the rand values the program's decoder will draw (the start-up sequence after the
// reverbs), so that its decoding undoes them. Used by the asset tool and the tests.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct DrumLayer {
  enum Kind { Tone, Noise, Metal } kind = Tone;
  float amplitude = 0;
  float decay = 0;       // seconds to fall to 1/e
  float frequency = 0;   // tone: start, metal: base
  float frequencyEnd = 0;  // tone: end of the exponential sweep (0: no sweep)
  float sweep = 0.05f;   // tone: seconds per 1/e of the sweep
  float highpass = 0;    // noise and metal: one-pole cut-off in Hz (0: none)
  float lowpass = 0;     // noise: one-pole cut-off in Hz (0: none)
};

struct DrumRecipe {
  int32_t sound = 0;
  int32_t type = 1;
  int32_t samples = 4096;  // a power of two
  std::string name;
  std::vector<DrumLayer> layers;
};

// Parses the recipe text; errors name the source and line.
bool parseDrumRecipes(const std::string& text, const std::string& name, std::vector<DrumRecipe>* recipes,
                      std::string* error);
// Synthesises a recipe: `samples` floats in [-1, 1].
std::vector<float> synthesiseDrum(const DrumRecipe& recipe);

// Unnormalised forward Haar transform (the inverse of inverseHaar in drum_decode.h), in place.
void forwardHaar(float* x, float* scratch, int32_t n);

// Encodes the recipes as a DRUM entry. The type-1 dither follows the rand sequence a thread sees
// from its start after the reverbs' draws; the calling thread's own state is left as it was.
std::vector<uint8_t> encodeDrumEntry(const std::vector<DrumRecipe>& recipes);
