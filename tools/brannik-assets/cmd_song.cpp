// brannik-assets song IN.txt OUT.bin and song-text IN.bin: the song's text form to SONG bytes and back.
#include <cstdio>
#include <string>

#include "brannik-assets/command.h"
#include "brannik-assets/music_entries.h"
#include "music/song_text.h"

namespace {

using music_files::readWholeFile;
using music_files::writeWholeFile;

int runSong(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: brannik-assets song IN.txt OUT.bin\n");
    return 2;
  }
  std::string text, error;
  std::vector<uint8_t> bytes;
  if (!readWholeFile(argv[1], &text, &error) || !compileSongText(text, argv[1], &bytes, &error) ||
      !writeWholeFile(argv[2], bytes, &error)) {
    std::fprintf(stderr, "brannik-assets: %s\n", error.c_str());
    return 1;
  }
  return 0;
}

int runSongText(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: brannik-assets song-text IN.bin\n");
    return 2;
  }
  std::string raw, error;
  Song song;
  if (!readWholeFile(argv[1], &raw, &error)) {
    std::fprintf(stderr, "brannik-assets: %s\n", error.c_str());
    return 1;
  }
  if (!readSong(reinterpret_cast<const uint8_t*>(raw.data()), raw.size(), &song, &error)) {
    std::fprintf(stderr, "brannik-assets: %s: %s\n", argv[1], error.c_str());
    return 1;
  }
  std::fputs(songToText(song).c_str(), stdout);
  return 0;
}

const assets::RegisterCommand kSong({"song", "IN.txt OUT.bin", "compile a song text into a SONG entry", runSong});
const assets::RegisterCommand kSongText({"song-text", "IN.bin", "print a SONG entry as song text", runSongText});

}  // namespace
