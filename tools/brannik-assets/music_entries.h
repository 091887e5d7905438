// The "SONG" and "DRUM" payloads of the archive. Until the song compiler and the drum encoder land these
// write placeholders in the right formats: a silent song (empty patterns, every order list stopped) and
// a drum entry with no sample records.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace assets {

bool buildSongEntry(const std::string& assetsDir, std::vector<uint8_t>* out, std::string* error);
bool buildDrumEntry(const std::string& assetsDir, std::vector<uint8_t>* out, std::string* error);

}  // namespace assets
