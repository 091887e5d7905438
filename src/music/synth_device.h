// The base of every music device: a parameter array and the fixed set of operations the sequencer
// drives (ticks, patterns, automation, loading the device's block of the song). SynthChannel adds
// render for the devices the master mixes. No device here makes sound; see mono_synth.h,
// drum_machine.h and master_mixer.h.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// 32 signed samples, mono, nominal full scale +-32767: the unit every device renders in.
constexpr int kBlockSize = 32;
struct SampleBlock {
  int32_t s[kBlockSize];
};

// Tick kinds passed to onTick.
constexpr int32_t kTickRewind = 0;
constexpr int32_t kTickRow = 16;
constexpr int32_t kTickSub = 32;

class SynthDevice {
 public:
  explicit SynthDevice(int32_t paramCount);
  virtual ~SynthDevice() = default;
  SynthDevice(const SynthDevice&) = delete;
  SynthDevice& operator=(const SynthDevice&) = delete;

  virtual void onTick(int32_t kind);
  // Indices outside the device's parameters are ignored.
  virtual void setParam(int32_t index, int32_t value);
  virtual int32_t currentPattern();
  virtual void setNextPattern(int32_t pattern);
  virtual void startPattern(int32_t pattern);
  virtual void stop();
  virtual void startNextPattern();
  virtual void reset();
  // Reads the device's block at `bytes` (at most `size` bytes); returns the bytes consumed, or -1 when
  // the block runs past the end (the device then keeps what it had).
  virtual int32_t load(const uint8_t* bytes, int32_t size);

  int32_t paramCount() const { return static_cast<int32_t>(params_.size()); }
  int32_t param(int32_t index) const { return params_[static_cast<size_t>(index)]; }

 protected:
  // One count byte n (signed; negative reads as none), then n bytes: byte i becomes parameter i.
  // Bytes beyond the parameter count are skipped. Returns 1 + n, or -1 if the block does not fit.
  int32_t loadParamBlock(const uint8_t* bytes, int32_t size);

  std::vector<int32_t> params_;
};

class SynthChannel : public SynthDevice {
 public:
  using SynthDevice::SynthDevice;
  // Produces the next 32 samples.
  virtual void render(SampleBlock& block);
};

// A channel that plays a bank of step patterns: the pattern now playing, the one queued to take over,
// and the row within it. What stopping means is the device's own.
class PatternChannel : public SynthChannel {
 public:
  using SynthChannel::SynthChannel;
  void setNextPattern(int32_t pattern) override { queued_ = pattern; }
  // Plays `pattern` from its first row; -1 stops the device.
  void startPattern(int32_t pattern) override;
  void startNextPattern() override { startPattern(queued_); }
  int32_t rowIndex() const { return row_; }

 protected:
  int32_t row_ = 0;
  int32_t current_ = 0;
  int32_t queued_ = 0;
};

// Little-endian readers for the song and drum entries.
inline int32_t musicReadLe32(const uint8_t* p) {
  return static_cast<int32_t>(static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
                              static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24);
}
inline int32_t musicReadLe16(const uint8_t* p) {
  return static_cast<int16_t>(static_cast<uint16_t>(p[0] | p[1] << 8));
}

// 32-bit signed product with two's-complement wrap-around, as 32-bit integer hardware computes it.
inline int32_t wrapMul32(int32_t a, int32_t b) {
  return static_cast<int32_t>(static_cast<uint32_t>(static_cast<int64_t>(a) * b));
}
