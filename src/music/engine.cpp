// The engine's globals and its start-up wiring.
#include "music/engine.h"

#include <memory>

#include "music/synth_tables.h"
#include "music/thread_rand.h"

Sequencer g_sequencer;
MasterMixer g_masterMixer;

namespace {

std::unique_ptr<MonoSynth> g_synths[3];
std::unique_ptr<DrumMachine> g_drums;

}  // namespace

bool music_buildFrom(const uint8_t* song, int32_t songSize, const uint8_t* drums, int32_t drumSize) {
  // The drum decoder's dither follows the reverbs' draws: start the generator where a fresh thread
  // starts, then build the reverbs, before anything else can draw.
  seedThreadRand(kThreadRandStart);
  g_masterMixer.build(&g_sequencer);

  buildSynthTables();
  g_sequencer.clear();
  for (int32_t v = 0; v < 3; ++v) g_synths[v] = std::make_unique<MonoSynth>(v);
  g_drums = std::make_unique<DrumMachine>();

  for (auto& synth : g_synths) {
    g_sequencer.addTrack(synth.get());
    g_masterMixer.addChannel(synth.get());
  }
  g_sequencer.addTrack(g_drums.get());
  g_sequencer.addTrack(&g_masterMixer);
  g_masterMixer.addChannel(g_drums.get());

  const int32_t used = g_sequencer.load(song, songSize);
  g_drums->loadSamples(drums, drumSize);
  g_sequencer.seek(0);
  return g_sequencer.loadedWhole && used == songSize;
}

MonoSynth* music_synth(int32_t voice) { return (voice >= 0 && voice < 3) ? g_synths[voice].get() : nullptr; }

DrumMachine* music_drums() { return g_drums.get(); }
