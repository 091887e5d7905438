// Stand-in music engine: the song's tempo and a silent mixer. The sequencer and mixer replace it.
#include "music/engine.h"

#include <cstring>

Sequencer g_sequencer;
MasterMixer g_masterMixer;

void Sequencer::setTempo(int32_t bpm) {
  if (bpm == 0) bpm = 120;
  const int32_t samples = (2646000 / (bpm * 4)) & ~31;
  RowSamples.store(samples, std::memory_order_relaxed);
  BlocksPerRow = samples / 32;
}

// The mixer to come renders the four channels here; until then, silence.
void MasterMixer::render(int16_t* out, int frames) {
  const int blocks = frames / 32;
  std::memset(out, 0, static_cast<size_t>(blocks) * 32 * 2 * sizeof(int16_t));
}

void music_build() { g_sequencer.setTempo(114); }
