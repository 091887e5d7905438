// FourCC: four ASCII letters held as one 32-bit value, the stored bytes read little-endian, so "RULL"
// is 0x4C4C5552. Names archive entries and textures. Only the constructor and the reverse for printing.
#pragma once

#include <cstdint>
#include <string>

using FourCC = uint32_t;

constexpr FourCC makeFourCC(char a, char b, char c, char d) {
  return static_cast<uint32_t>(static_cast<uint8_t>(a)) | (static_cast<uint32_t>(static_cast<uint8_t>(b)) << 8) |
         (static_cast<uint32_t>(static_cast<uint8_t>(c)) << 16) |
         (static_cast<uint32_t>(static_cast<uint8_t>(d)) << 24);
}

// The four letters in reading order (for messages and file names).
inline std::string fourCCText(FourCC key) {
  std::string text(4, ' ');
  for (int i = 0; i < 4; ++i) text[i] = static_cast<char>((key >> (8 * i)) & 0xFF);
  return text;
}
