#include "brannik-assets/blob_io.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace assets {

bool readFile(const std::string& path, std::vector<uint8_t>* bytes, std::string* error) {
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) {
    *error = path + ": cannot open: " + std::strerror(errno);
    return false;
  }
  bytes->clear();
  uint8_t buffer[65536];
  size_t got = 0;
  while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0) bytes->insert(bytes->end(), buffer, buffer + got);
  const bool ok = std::ferror(file) == 0;
  std::fclose(file);
  if (!ok) *error = path + ": read error";
  return ok;
}

bool writeFile(const std::string& path, const uint8_t* bytes, size_t size, std::string* error) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) {
    *error = path + ": cannot create: " + std::strerror(errno);
    return false;
  }
  const bool ok = std::fwrite(bytes, 1, size, file) == size;
  if (std::fclose(file) != 0 || !ok) {
    *error = path + ": write error";
    return false;
  }
  return true;
}

std::vector<uint8_t> writeArchiveBlob(const std::vector<BlobEntry>& entries) {
  std::vector<uint8_t> blob;
  blob.push_back(static_cast<uint8_t>(entries.size()));
  for (const BlobEntry& entry : entries) {
    for (int i = 0; i < 4; ++i) blob.push_back(static_cast<uint8_t>(entry.key >> (8 * i)));
    blob.push_back(static_cast<uint8_t>(entry.type));
    const uint32_t length = static_cast<uint32_t>(entry.payload.size());
    for (int i = 0; i < 4; ++i) blob.push_back(static_cast<uint8_t>(length >> (8 * i)));
    blob.insert(blob.end(), entry.payload.begin(), entry.payload.end());
  }
  return blob;
}

}  // namespace assets
