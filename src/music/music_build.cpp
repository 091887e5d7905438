// music_build: the engine built from the archive's "SONG" and "DRUM" entries.
#include "archive/archive.h"
#include "music/engine.h"

void music_build() {
  static const uint8_t kNothing[1] = {0};
  const ArchiveEntry* song = findEntry(makeFourCC('S', 'O', 'N', 'G'));
  const ArchiveEntry* drums = findEntry(makeFourCC('D', 'R', 'U', 'M'));
  // A missing entry loads as an empty one: the engine then plays silence.
  music_buildFrom(song != nullptr && song->data != nullptr ? song->data : kNothing,
                  song != nullptr ? song->dataSize : 0,
                  drums != nullptr && drums->data != nullptr ? drums->data : kNothing,
                  drums != nullptr ? drums->dataSize : 0);
}
