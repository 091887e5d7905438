#include "host/png_writer.h"

#include <libdeflate.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

namespace host {

namespace {

void putBigEndian(std::vector<uint8_t>* out, uint32_t value) {
  const uint8_t bytes[4] = {static_cast<uint8_t>(value >> 24), static_cast<uint8_t>(value >> 16),
                            static_cast<uint8_t>(value >> 8), static_cast<uint8_t>(value)};
  out->insert(out->end(), bytes, bytes + 4);
}

// Appends a chunk: length, type, data, and the CRC of type and data.
void putChunk(std::vector<uint8_t>* out, const char type[4], const uint8_t* data, size_t size) {
  putBigEndian(out, static_cast<uint32_t>(size));
  const size_t typeAt = out->size();
  out->insert(out->end(), type, type + 4);
  if (size != 0) out->insert(out->end(), data, data + size);
  putBigEndian(out, libdeflate_crc32(0, out->data() + typeAt, size + 4));
}

struct CompressorRelease {
  void operator()(libdeflate_compressor* c) const { libdeflate_free_compressor(c); }
};

}  // namespace

bool encodePng(const uint32_t* pixels, int width, int height, std::vector<uint8_t>* out) {
  // One compressor per thread: captures encode on several threads, and allocating one costs more
  // than a small frame's compression.
  thread_local std::unique_ptr<libdeflate_compressor, CompressorRelease> compressor(libdeflate_alloc_compressor(1));
  thread_local std::vector<uint8_t> rows;
  thread_local std::vector<uint8_t> deflated;
  if (compressor == nullptr) return false;

  // Each row: filter type 0 (none), then R, G, B per pixel.
  const size_t stride = static_cast<size_t>(width) * 3 + 1;
  rows.resize(stride * static_cast<size_t>(height));
  for (int y = 0; y < height; ++y) {
    uint8_t* row = rows.data() + stride * static_cast<size_t>(y);
    const uint32_t* source = pixels + static_cast<size_t>(y) * width;
    *row++ = 0;
    for (int x = 0; x < width; ++x) {
      row[0] = static_cast<uint8_t>(source[x] >> 16);
      row[1] = static_cast<uint8_t>(source[x] >> 8);
      row[2] = static_cast<uint8_t>(source[x]);
      row += 3;
    }
  }
  deflated.resize(libdeflate_zlib_compress_bound(compressor.get(), rows.size()));
  const size_t deflatedSize =
      libdeflate_zlib_compress(compressor.get(), rows.data(), rows.size(), deflated.data(), deflated.size());
  if (deflatedSize == 0) return false;  // cannot happen with a buffer of the bound's size

  static const uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  out->clear();
  out->reserve(deflatedSize + 64);
  out->insert(out->end(), kSignature, kSignature + 8);
  std::vector<uint8_t> header;
  putBigEndian(&header, static_cast<uint32_t>(width));
  putBigEndian(&header, static_cast<uint32_t>(height));
  const uint8_t rest[5] = {8, 2, 0, 0, 0};  // 8 bits, truecolour, deflate, adaptive filtering, no interlace
  header.insert(header.end(), rest, rest + 5);
  putChunk(out, "IHDR", header.data(), header.size());
  putChunk(out, "IDAT", deflated.data(), deflatedSize);
  putChunk(out, "IEND", nullptr, 0);
  return true;
}

bool writePng(const std::string& path, const uint32_t* pixels, int width, int height) {
  thread_local std::vector<uint8_t> bytes;
  if (!encodePng(pixels, width, height, &bytes)) {
    errno = ENOMEM;
    return false;
  }
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return false;
  const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  const int writeError = errno;
  const bool closed = std::fclose(file) == 0;
  if (!written) errno = writeError;
  return written && closed;
}

}  // namespace host
