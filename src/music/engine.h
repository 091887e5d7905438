// The music engine as the stream and the director call it: music_build, the sequencer's tempo and row
// length, and the master mixer's render. For now a stand-in until the sequencer, voices, drum machine
// and mixer arrive: the tempo is the song's (114) and the mixer renders silence.
#pragma once

#include <atomic>
#include <cstdint>

struct Sequencer {
  // Samples per row, a multiple of 32. Read by the clock on the main thread without the stream lock.
  std::atomic<int32_t> RowSamples{5504};
  int32_t BlocksPerRow = 172;

  // bpm 0 means 120. A row is a sixteenth note: 44100 * 60 samples per minute over 4 rows per beat.
  void setTempo(int32_t bpm);
};

struct MasterMixer {
  // Fills `frames` interleaved 16-bit stereo frames (left first), in whole blocks of 32 frames.
  void render(int16_t* out, int frames);
};

extern Sequencer g_sequencer;
extern MasterMixer g_masterMixer;

// Builds the engine and loads the song; call once before music_open.
void music_build();
