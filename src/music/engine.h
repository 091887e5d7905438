// The music engine as the stream and the director call it: the global sequencer and master mixer,
// the three synth voices and the drum machine they drive, and the start-up that wires them and loads
// the song and the drum samples. Building happens on the main thread before the stream opens; after
// that everything here runs on the audio thread inside the stream lock.
#pragma once

#include <cstdint>

#include "music/drum_machine.h"
#include "music/master_mixer.h"
#include "music/mono_synth.h"
#include "music/sequencer.h"

extern Sequencer g_sequencer;
extern MasterMixer g_masterMixer;

// Builds the engine from a SONG and a DRUM entry. In this order, on the calling thread: its rand state
// goes back to where every thread starts and the master builds its reverbs (the twelve draws every
// later draw follows), the synthesis tables, three synths and the drum machine wired as tracks 0 to 4
// and as the master's channels, the song, the drum samples (whose type-1 records draw rand), seek(0).
// Returns false if the song did not load completely (what fitted is kept).
bool music_buildFrom(const uint8_t* song, int32_t songSize, const uint8_t* drums, int32_t drumSize);
// Builds the engine from the program's own song and drums; call once before music_open.
void music_build();

// The devices built by music_buildFrom (null before it).
MonoSynth* music_synth(int32_t voice);
DrumMachine* music_drums();
