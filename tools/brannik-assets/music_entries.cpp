// Placeholder song and drum payloads (see music_entries.h); assetsDir is not read yet.
#include "brannik-assets/music_entries.h"

namespace assets {

namespace {

void putU32(std::vector<uint8_t>* out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out->push_back(static_cast<uint8_t>(v >> (8 * i)));
}

}  // namespace

bool buildSongEntry(const std::string& /*assetsDir*/, std::vector<uint8_t>* out, std::string* /*error*/) {
  out->clear();
  out->push_back(114);  // tempo, 16-bit
  out->push_back(0);
  out->push_back(16);  // rows per pattern
  for (int synth = 0; synth < 3; ++synth) {
    out->insert(out->end(), 32 * 104, 0);  // pattern bank: 32 empty patterns
    out->push_back(0);                     // parameter block with no parameters
  }
  out->insert(out->end(), 32 * 200, 0);  // drum pattern bank
  out->push_back(0);                     // drum parameter block
  putU32(out, 0);                        // no skipped bytes
  out->push_back(0);                     // master mixer parameter block
  for (int track = 0; track < 5; ++track) {
    putU32(out, 0);                   // no automation events
    out->insert(out->end(), 996, 0xFF);  // every order stops the device
  }
  return true;
}

bool buildDrumEntry(const std::string& /*assetsDir*/, std::vector<uint8_t>* out, std::string* /*error*/) {
  out->clear();
  putU32(out, 0);  // no sample records
  return true;
}

}  // namespace assets
