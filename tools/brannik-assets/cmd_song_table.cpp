// brannik-assets song-table ASSETS_DIR [README.md]: renders the song built from ASSETS_DIR and prints
// its per-order table, or writes it between the README's markers.
#include <cstdio>
#include <string>

#include "brannik-assets/command.h"
#include "brannik-assets/music_entries.h"
#include "brannik-assets/song_table.h"

namespace {

int runSongTable(int argc, char** argv) {
  if (argc != 2 && argc != 3) {
    std::fprintf(stderr, "usage: brannik-assets song-table ASSETS_DIR [README.md]\n");
    return 2;
  }
  std::string table, error;
  if (!assets::songTableFromAssets(argv[1], &table, &error)) {
    std::fprintf(stderr, "brannik-assets: %s\n", error.c_str());
    return 1;
  }
  if (argc == 2) {
    std::fputs(table.c_str(), stdout);
    return 0;
  }
  std::string document, updated;
  if (!music_files::readWholeFile(argv[2], &document, &error)) {
    std::fprintf(stderr, "brannik-assets: %s\n", error.c_str());
    return 1;
  }
  if (!assets::replaceSongTable(document, table, &updated)) {
    std::fprintf(stderr, "brannik-assets: %s: no '%s' ... '%s' markers\n", argv[2], assets::kSongTableBegin,
                 assets::kSongTableEnd);
    return 1;
  }
  if (!music_files::writeWholeFile(argv[2], std::vector<uint8_t>(updated.begin(), updated.end()), &error)) {
    std::fprintf(stderr, "brannik-assets: %s\n", error.c_str());
    return 1;
  }
  return 0;
}

const assets::RegisterCommand kSongTable({"song-table", "ASSETS_DIR [README.md]",
                                          "render the song of ASSETS_DIR and print its per-order level table "
                                          "(or write it between the README's song-table markers)",
                                          runSongTable});

}  // namespace
