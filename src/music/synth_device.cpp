// The base device's own behaviour: store parameters, clear them, read a parameter block.
#include "music/synth_device.h"

#include <algorithm>

SynthDevice::SynthDevice(int32_t paramCount) : params_(static_cast<size_t>(paramCount), 0) {}

void SynthDevice::onTick(int32_t) {}

void SynthDevice::setParam(int32_t index, int32_t value) {
  if (index < 0 || index >= paramCount()) return;
  params_[static_cast<size_t>(index)] = value;
}

int32_t SynthDevice::currentPattern() { return 0; }
void SynthDevice::setNextPattern(int32_t) {}
void SynthDevice::startPattern(int32_t) {}
void SynthDevice::stop() {}
void SynthDevice::startNextPattern() {}

void SynthDevice::reset() { std::fill(params_.begin(), params_.end(), 0); }

int32_t SynthDevice::load(const uint8_t* bytes, int32_t size) { return loadParamBlock(bytes, size); }

int32_t SynthDevice::loadParamBlock(const uint8_t* bytes, int32_t size) {
  if (size < 1) return -1;
  int32_t n = static_cast<int8_t>(bytes[0]);
  if (n < 0) n = 0;
  if (1 + n > size) return -1;
  for (int32_t i = 0; i < n && i < paramCount(); ++i) params_[static_cast<size_t>(i)] = bytes[1 + i];
  return 1 + n;
}

void SynthChannel::render(SampleBlock&) {}

void PatternChannel::startPattern(int32_t pattern) {
  row_ = 0;
  current_ = pattern;
  queued_ = pattern;
  if (pattern == -1) stop();
}
