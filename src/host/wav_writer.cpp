#include "host/wav_writer.h"

#include <cerrno>

namespace host {

namespace {

void put32(uint8_t* p, uint32_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
  p[2] = static_cast<uint8_t>(v >> 16);
  p[3] = static_cast<uint8_t>(v >> 24);
}

void put16(uint8_t* p, uint16_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}

}  // namespace

void wavHeader(uint32_t dataBytes, uint8_t out[44]) {
  constexpr uint32_t rate = 44100;
  constexpr uint16_t channels = 2;
  constexpr uint16_t bits = 16;
  constexpr uint16_t blockAlign = channels * bits / 8;
  const uint8_t riff[4] = {'R', 'I', 'F', 'F'};
  const uint8_t wavefmt[8] = {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '};
  const uint8_t data[4] = {'d', 'a', 't', 'a'};
  for (int i = 0; i < 4; ++i) out[i] = riff[i];
  put32(out + 4, 36 + dataBytes);
  for (int i = 0; i < 8; ++i) out[8 + i] = wavefmt[i];
  put32(out + 16, 16);
  put16(out + 20, 1);  // PCM
  put16(out + 22, channels);
  put32(out + 24, rate);
  put32(out + 28, rate * blockAlign);
  put16(out + 32, blockAlign);
  put16(out + 34, bits);
  for (int i = 0; i < 4; ++i) out[36 + i] = data[i];
  put32(out + 40, dataBytes);
}

bool WavWriter::open(const std::string& path) {
  file_ = std::fopen(path.c_str(), "wb");
  if (file_ == nullptr) return false;
  uint8_t header[44];
  wavHeader(0, header);
  ok_ = std::fwrite(header, 1, sizeof(header), file_) == sizeof(header);
  dataBytes_ = 0;
  return ok_;
}

void WavWriter::fault() {
  if (ok_) error_ = errno;
  ok_ = false;
}

bool WavWriter::append(const uint8_t* bytes, size_t count) {
  if (file_ == nullptr) return false;
  if (count != 0 && std::fwrite(bytes, 1, count, file_) != count) fault();
  dataBytes_ += count;
  return ok_;
}

bool WavWriter::close() {
  if (file_ == nullptr) return false;
  // After a failed write (a full disk, a file size limit) the header describes the whole sample frames
  // that did reach the file, so what is there stays a valid WAV.
  uint64_t data = dataBytes_;
  if (std::fflush(file_) != 0) fault();
  if (!ok_ && std::fseek(file_, 0, SEEK_END) == 0) {
    const long end = std::ftell(file_);
    const uint64_t stored = end > 44 ? static_cast<uint64_t>(end) - 44 : 0;
    if (stored < data) data = stored - stored % 4;
  }
  // The RIFF sizes are 32-bit; a soundtrack never comes near that.
  const uint32_t size = data > 0xFFFFFFD0u ? 0xFFFFFFD0u : static_cast<uint32_t>(data);
  uint8_t header[44];
  wavHeader(size, header);
  if (std::fseek(file_, 0, SEEK_SET) != 0 || std::fwrite(header, 1, sizeof(header), file_) != sizeof(header)) {
    ok_ = false;
  }
  if (std::fclose(file_) != 0) ok_ = false;
  file_ = nullptr;
  return ok_;
}

WavWriter::~WavWriter() {
  if (file_ != nullptr) std::fclose(file_);
}

}  // namespace host
