// brannik-assets drums OUT.bin [RECIPES.txt] and drums-wav IN.bin DIR: synthesise and encode the drum
// sounds, and decode a DRUM entry to one WAV per sound for listening (the program's own decoder, with
// the rand sequence it sees at start-up).
#include <cstdio>
#include <string>

#include "brannik-assets/command.h"
#include "brannik-assets/music_entries.h"
#include "host/wav_writer.h"
#include "music/drum_decode.h"
#include "music/drum_encode.h"
#include "music/drum_machine.h"
#include "music/master_mixer.h"
#include "music/thread_rand.h"

namespace {

using music_files::readWholeFile;
using music_files::writeWholeFile;

int runDrums(int argc, char** argv) {
  if (argc != 2 && argc != 3) {
    std::fprintf(stderr, "usage: brannik-assets drums OUT.bin [RECIPES.txt]\n");
    return 2;
  }
  const std::string recipesPath = argc == 3 ? argv[2] : "assets/drums.txt";
  std::string text, error;
  std::vector<DrumRecipe> recipes;
  if (!readWholeFile(recipesPath, &text, &error) || !parseDrumRecipes(text, recipesPath, &recipes, &error) ||
      !writeWholeFile(argv[1], encodeDrumEntry(recipes), &error)) {
    std::fprintf(stderr, "brannik-assets: %s\n", error.c_str());
    return 1;
  }
  return 0;
}

bool writeSound(const std::string& path, const DrumSample& sound) {
  host::WavWriter wav;
  if (!wav.open(path)) return false;
  std::vector<uint8_t> frames;
  for (int16_t s : sound.samples) {
    const uint16_t u = static_cast<uint16_t>(s);
    for (int channel = 0; channel < 2; ++channel) {
      frames.push_back(static_cast<uint8_t>(u & 0xFF));
      frames.push_back(static_cast<uint8_t>(u >> 8));
    }
  }
  return wav.append(frames.data(), frames.size()) && wav.close();
}

int runDrumsWav(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: brannik-assets drums-wav IN.bin DIR\n");
    return 2;
  }
  std::string raw, error;
  if (!readWholeFile(argv[1], &raw, &error)) {
    std::fprintf(stderr, "brannik-assets: %s\n", error.c_str());
    return 1;
  }
  // The decoder's dither: a thread's sequence after the reverbs' draws, as at start-up.
  seedThreadRand(kThreadRandStart);
  for (int32_t i = 0; i < kReverbRandDraws; ++i) threadRand();
  DrumSample sounds[kDrumSounds];
  decodeDrumEntry(reinterpret_cast<const uint8_t*>(raw.data()), static_cast<int32_t>(raw.size()), sounds);
  for (int32_t i = 0; i < kDrumSounds; ++i) {
    if (sounds[i].samples.empty()) continue;
    char name[32];
    std::snprintf(name, sizeof(name), "/drum_%02d.wav", i);
    const std::string path = std::string(argv[2]) + name;
    if (!writeSound(path, sounds[i])) {
      std::fprintf(stderr, "brannik-assets: %s: cannot write\n", path.c_str());
      return 1;
    }
    std::printf("%s: %d samples\n", path.c_str(), sounds[i].length());
  }
  return 0;
}

const assets::RegisterCommand kDrums({"drums", "OUT.bin [RECIPES.txt]",
                                      "synthesise the drum recipes (default assets/drums.txt) into a DRUM entry",
                                      runDrums});
const assets::RegisterCommand kDrumsWav({"drums-wav", "IN.bin DIR", "decode a DRUM entry to DIR/drum_NN.wav",
                                         runDrumsWav});

}  // namespace
