// Writes 44100 Hz stereo 16-bit PCM WAV files incrementally; the header's sizes are filled in on close.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

namespace host {

class WavWriter {
 public:
  bool open(const std::string& path);
  bool append(const uint8_t* bytes, size_t count);
  // Fills in the sizes and closes; false if anything failed since open.
  bool close();
  uint64_t dataBytes() const { return dataBytes_; }
  // The reason of the first failed write (errno), or 0.
  int error() const { return error_; }
  ~WavWriter();

 private:
  void fault();  // notes the first failure and its reason

  std::FILE* file_ = nullptr;
  uint64_t dataBytes_ = 0;
  bool ok_ = false;
  int error_ = 0;
};

// The 44-byte header for `dataBytes` bytes of 44100 Hz stereo 16-bit PCM.
void wavHeader(uint32_t dataBytes, uint8_t out[44]);

}  // namespace host
