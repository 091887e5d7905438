// The song's text form (assets/song.txt, documented in assets/README-music.md) compiled to SONG bytes
// and printed back. Used by the asset tool and the tests; the program itself never reads text.
// Errors name the source and line ("song.txt:12: ..."); the two directions round-trip.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "music/song_format.h"

// `name` is used in error messages.
bool parseSongText(const std::string& text, const std::string& name, Song* song, std::string* error);
std::string songToText(const Song& song);

// Text straight to SONG bytes.
bool compileSongText(const std::string& text, const std::string& name, std::vector<uint8_t>* out,
                     std::string* error);
