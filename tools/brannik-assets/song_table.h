// The song's per-order table for assets/README-music.md: order, scene, measured RMS, the voices and
// drum sounds its patterns play, and the section word that song.txt's "# section A-B WORD" comments
// give, followed by the figures per section and for the whole soundtrack. Generated, never typed, so it
// stays true when the song changes; the text between the README's markers is replaced in place.
#pragma once

#include <string>
#include <vector>

#include "brannik-assets/song_levels.h"
#include "music/drum_encode.h"
#include "music/song_format.h"

namespace assets {

// One "# section FIRST-LAST WORD" comment of the song text.
struct SongSection {
  int32_t first = 0;
  int32_t last = 0;
  std::string word;
};

std::vector<SongSection> songSections(const std::string& songText);

// The table (Markdown) for the song, its drum recipes (for the sounds' names) and its measured levels.
std::string songTable(const Song& song, const std::vector<SongSection>& sections,
                      const std::vector<DrumRecipe>& recipes, const SongLevels& levels);

// Builds the engine from ASSETS_DIR's song.txt and drums.txt and returns the table; false with a
// message if an asset does not compile.
bool songTableFromAssets(const std::string& assetsDir, std::string* table, std::string* error);

// The markers around the table in the README.
extern const char* const kSongTableBegin;
extern const char* const kSongTableEnd;

// `document` with the text between the markers replaced by `table`; false if a marker is missing.
bool replaceSongTable(const std::string& document, const std::string& table, std::string* out);

}  // namespace assets
