// music_build: the engine built from the song and drums compiled from assets/ into music_data.h.
#include "music/engine.h"
#include "music/music_data.h"

void music_build() {
  music_buildFrom(kSongEntry, static_cast<int32_t>(sizeof(kSongEntry)), kDrumEntry,
                  static_cast<int32_t>(sizeof(kDrumEntry)));
}
