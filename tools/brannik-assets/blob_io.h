// File reading and writing for the tool, and the archive container written out: a count byte, then
// key, type and length before each payload.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "archive/fourcc.h"

namespace assets {

struct BlobEntry {
  FourCC key;
  char type;
  std::vector<uint8_t> payload;
};

bool readFile(const std::string& path, std::vector<uint8_t>* bytes, std::string* error);
bool writeFile(const std::string& path, const uint8_t* bytes, size_t size, std::string* error);

// The archive blob of at most 255 entries, in the given order.
std::vector<uint8_t> writeArchiveBlob(const std::vector<BlobEntry>& entries);

}  // namespace assets
