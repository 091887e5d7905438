// Master mixer: channel mix, wave folder, block delay, comb reverbs and the 16-bit output.
#include "music/master_mixer.h"

#include <algorithm>
#include <cmath>

#include "music/sequencer.h"
#include "music/thread_rand.h"

namespace {

constexpr int32_t kReverbALengths[kCombs] = {1693, 1827, 1965, 2043, 2175, 2357};
constexpr int32_t kReverbBLengths[kCombs] = {1670, 1895, 1943, 2035, 2201, 2450};

// x[i] += (g * t[i]) >> 8, on signed 32-bit values.
void addScaled(SampleBlock& x, const SampleBlock& t, int32_t g) {
  for (int i = 0; i < kBlockSize; ++i) x.s[i] += wrapMul32(g, t.s[i]) >> 8;
}

}  // namespace

PanGains panGains(int32_t pan) {
  const int32_t o = pan * 2 - 256;
  return {o > 0 ? 255 - o : 255, o < 0 ? o + 255 : 255};
}

void distort(SampleBlock& block, int32_t drive, int32_t depth) {
  for (int i = 0; i < kBlockSize; ++i) {
    const int32_t c = wrapMul32(2 * block.s[i], 2 * drive + 255) >> 8;
    int32_t s = c;
    if (c >= 32768) {
      s = 32768 - (wrapMul32(c - 32768, depth) >> 8);
    } else if (c <= -32768) {
      s = -32768 - (wrapMul32(c + 32768, depth) >> 8);
    }
    block.s[i] = s >> 1;
  }
}

void BlockDelay::resize(int32_t n) {
  // A line that has never been built (count 0) is built even when 0 blocks are asked for.
  if (n == count_ && count_ > 0) return;
  count_ = n > 0 ? n : 1000;
  blocks_.assign(static_cast<size_t>(count_), SampleBlock{});
  write_ = 0;
}

void BlockDelay::process(SampleBlock& x) {
  SampleBlock& stored = blocks_[static_cast<size_t>(write_)];
  const SampleBlock y = stored;
  for (int i = 0; i < kBlockSize; ++i) stored.s[i] = (wrapMul32(y.s[i], feedback) >> 8) + x.s[i];
  x = y;
  write_ += 1;
  if (write_ >= count_) write_ = 0;
}

void CombReverb::build(const int32_t (&lengths)[kCombs], int32_t halfLife, int32_t damping) {
  damping_ = damping;
  const double k = damping > 16383 ? static_cast<double>(32768 - damping) / damping : 1.0;
  for (int i = 0; i < kCombs; ++i) {
    Comb& comb = combs_[i];
    comb.buffer.assign(static_cast<size_t>(lengths[i]), 0);
    threadRand();  // drawn and discarded, one per comb
    comb.position = 0;
    comb.lowPass = 0;
    comb.gain = static_cast<int32_t>(std::exp(-lengths[i] * (std::log(2.0) / halfLife)) * k * 16384.0);
  }
}

void CombReverb::process(SampleBlock& block) {
  for (int n = 0; n < kBlockSize; ++n) {
    const int32_t in = block.s[n];
    int32_t sum = 0;
    for (Comb& comb : combs_) {
      int32_t& cell = comb.buffer[static_cast<size_t>(comb.position)];
      const int32_t y = cell;
      sum += y;
      comb.lowPass += wrapMul32(y - comb.lowPass, damping_) >> 14;  // gains and damping: 16384 = 1.0
      cell = (wrapMul32(comb.lowPass, comb.gain) >> 14) + in;
      comb.position += 1;
      if (comb.position >= static_cast<int32_t>(comb.buffer.size())) comb.position = 0;
    }
    block.s[n] = sum;
  }
}

MasterMixer::MasterMixer() : SynthDevice(kMasterParams) {}

void MasterMixer::build(Sequencer* sequencer) {
  SynthDevice::reset();
  reverbA.build(kReverbALengths, 6000, 16400);
  reverbB.build(kReverbBLengths, 6070, 16200);
  delay = BlockDelay{};
  sequencer_ = sequencer;
  channelCount_ = 0;
}

void MasterMixer::setParam(int32_t index, int32_t value) {
  if (index == kMasterTempo && sequencer_) sequencer_->setTempo(value);
  SynthDevice::setParam(index, value);
}

void MasterMixer::stop() {
  for (int32_t c = 0; c < channelCount_; ++c) channels_[c]->stop();
}

void MasterMixer::addChannel(SynthChannel* channel) {
  if (channelCount_ < kMasterChannels) channels_[channelCount_++] = channel;
}

void MasterMixer::render(int16_t* out, int frames) {
  delay.feedback = params_[kMasterDelayFeedback];
  const int32_t rowSamples = sequencer_ ? sequencer_->rowSamples() : 0;
  delay.resize(params_[kMasterDelayRows] * rowSamples / 32);
  // The delay's feedback and return pan are read once per call, like its length.
  const PanGains delayPan = panGains(params_[kMasterDelayPan]);
  for (int b = 0; b < frames / kBlockSize; ++b) mixBlock(out + b * kBlockSize * 2, delayPan);
}

void MasterMixer::mixBlock(int16_t* out, const PanGains& delayPan) {
  SampleBlock left{}, right{}, delaySend{}, reverbSend{};
  const int32_t reverbLevel = params_[kMasterReverbLevel];
  for (int32_t c = 0; c < channelCount_; ++c) {
    const int32_t* p = params_.data() + 8 * c;
    const int32_t v = p[kMasterVolume];
    SampleBlock t;
    channels_[c]->render(t);
    if (p[kMasterDistortion]) distort(t, p[kMasterDrive], p[kMasterFold]);
    if (p[kMasterDelaySend] != 0) addScaled(delaySend, t, (v * p[kMasterDelaySend]) >> 8);
    if (reverbLevel != 0 && p[kMasterReverbSend] != 0) addScaled(reverbSend, t, (v * p[kMasterReverbSend]) >> 8);
    const PanGains pan = panGains(p[kMasterPan]);
    addScaled(left, t, (v * pan.left) >> 8);
    addScaled(right, t, (v * pan.right) >> 8);
  }

  delay.process(delaySend);
  addScaled(left, delaySend, delayPan.left);
  addScaled(right, delaySend, delayPan.right);

  if (reverbLevel != 0) {
    SampleBlock copy = reverbSend;
    reverbA.process(reverbSend);
    reverbB.process(copy);
    addScaled(right, copy, reverbLevel);
    addScaled(left, reverbSend, reverbLevel);
  }

  for (int i = 0; i < kBlockSize; ++i) {
    const int32_t l = std::clamp(wrapMul32(left.s[i], 255) >> 10, -32768, 32767);   // 255 / 1024 scaling
    const int32_t r = std::clamp(wrapMul32(right.s[i], 255) >> 10, -32768, 32767);
    out[2 * i] = static_cast<int16_t>(l);
    out[2 * i + 1] = static_cast<int16_t>(r);
  }

  if (sequencer_) sequencer_->onBlock();
}
