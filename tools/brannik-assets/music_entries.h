// The SONG and DRUM archive entries built from assets/ (song.txt, drums.txt), for the archive build
// and the music commands. Errors name the file and line.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace assets {

bool buildSongEntry(const std::string& assetsDir, std::vector<uint8_t>* out, std::string* error);
bool buildDrumEntry(const std::string& assetsDir, std::vector<uint8_t>* out, std::string* error);

}  // namespace assets

namespace music_files {

// Whole-file helpers shared by the music commands.
bool readWholeFile(const std::string& path, std::string* text, std::string* error);
bool writeWholeFile(const std::string& path, const std::vector<uint8_t>& bytes, std::string* error);

}  // namespace music_files
