// The master mixer: renders the four channels, folds them through the wave folder when asked, pans them
// into two buses, sends them to the tempo-synchronised block delay and the two comb reverbs, scales and
// clamps to 16-bit stereo, and steps the sequencer after every block. It is also the fifth sequencer
// track (parameter 39 sets the tempo). It owns the effects, not the channels.
// Mended: a delay time of 0 before the first render builds the 1000-block line instead of indexing none.
#pragma once

#include <cstdint>
#include <vector>

#include "music/synth_device.h"

class Sequencer;

constexpr int32_t kMasterParams = 41;
constexpr int32_t kMasterChannels = 4;
constexpr int32_t kCombs = 6;
// rand draws made by building the master's two reverbs (one per comb).
constexpr int32_t kReverbRandDraws = 2 * kCombs;

enum MasterParam : int32_t {
  kMasterVolume = 0,  // + 8 * channel, and so on for the channel parameters
  kMasterPan = 1,
  kMasterDelaySend = 2,
  kMasterDrive = 3,
  kMasterFold = 4,
  kMasterDistortion = 5,
  kMasterReverbSend = 6,
  kMasterDelayPan = 32,
  kMasterDelayFeedback = 33,
  kMasterDelayRows = 34,
  kMasterReverbLevel = 35,
  kMasterTempo = 39,
};

// Left and right gains (0 to 255, or -1 for a pan of 0) of a pan value, 128 centre.
struct PanGains {
  int32_t left;
  int32_t right;
};
PanGains panGains(int32_t pan);

// Wave folder: drive a and fold depth b, per sample; depth 0 is a hard clip at +-32768, then halved.
void distort(SampleBlock& block, int32_t drive, int32_t depth);

class BlockDelay {
 public:
  // Keeps the contents when n is unchanged; otherwise clears to n blocks (1000 for n <= 0).
  void resize(int32_t n);
  // Returns the block stored `count` blocks ago and stores (that * feedback >> 8) + x.
  void process(SampleBlock& x);
  int32_t count() const { return count_; }
  int32_t feedback = 0;

 private:
  std::vector<SampleBlock> blocks_;
  int32_t count_ = 0;
  int32_t write_ = 0;
};

class CombReverb {
 public:
  // Allocates the six combs and draws one rand value per comb (discarded); D is 16384 = 1.0.
  void build(const int32_t (&lengths)[kCombs], int32_t halfLife, int32_t damping);
  void process(SampleBlock& block);
  int32_t gain(int32_t comb) const { return combs_[comb].gain; }

 private:
  struct Comb {
    std::vector<int32_t> buffer;
    int32_t position = 0;
    int32_t gain = 0;
    int32_t lowPass = 0;
  };
  Comb combs_[kCombs];
  int32_t damping_ = 0;
};

class MasterMixer final : public SynthDevice {
 public:
  MasterMixer();
  // Builds reverbs A and B (twelve rand draws on the calling thread) and an empty delay; forgets the
  // channels and clears the parameters. Everything else on the music side draws after this.
  void build(Sequencer* sequencer);

  void setParam(int32_t index, int32_t value) override;
  void stop() override;
  void addChannel(SynthChannel* channel);
  // Interleaved 16-bit stereo, left first; frames / 32 whole blocks are rendered.
  void render(int16_t* out, int frames);

  BlockDelay delay;
  CombReverb reverbA;
  CombReverb reverbB;

 private:
  void mixBlock(int16_t* out, const PanGains& delayPan);

  Sequencer* sequencer_ = nullptr;
  SynthChannel* channels_[kMasterChannels] = {};
  int32_t channelCount_ = 0;
};
