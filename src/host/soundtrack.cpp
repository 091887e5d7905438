// The offline soundtrack: the master mixer driven block by block until the song's last order ends.
#include "host/soundtrack.h"

#include <algorithm>
#include <cstdio>
#include <thread>
#include <vector>

#include "archive/archive.h"
#include "archive/embedded_archive.h"
#include "host/run.h"
#include "host/stop_signals.h"
#include "host/wav_writer.h"
#include "music/engine.h"

namespace host {

namespace {

constexpr int kChunkFrames = 4096;

}  // namespace

bool renderSoundtrack(const std::string& path, int64_t* frames, std::string* error, const SoundtrackRange& range) {
  WavWriter wav;
  if (!wav.open(path)) {
    *error = path + ": cannot create";
    return false;
  }
  const int32_t ticksPerOrder = g_sequencer.rowsPerPattern * 16;
  // Blocks rendered while the sequencer stands at or before this position are dropped.
  const int32_t startPosition = range.fromOrder > 0 ? range.fromOrder * ticksPerOrder : -1;
  const int32_t endPosition = std::min(range.toOrder, g_sequencer.songOrders()) * ticksPerOrder;
  bool ok = true;
  *frames = 0;
  // A thread of its own: its rand state starts where every thread's does, like the audio thread's.
  std::thread render([&] {
    std::vector<int16_t> chunk(static_cast<size_t>(kChunkFrames) * 2);
    int filled = 0;
    bool done = false;
    while (!done && ok) {
      // One block per call, so the start and the end fall on the blocks that start their orders.
      const bool kept = g_sequencer.position > startPosition;
      g_masterMixer.render(chunk.data() + filled * 2, 32);
      if (kept) filled += 32;
      // A stop request ends the file at the next chunk: what was rendered is written and the header
      // patched to it.
      done = g_sequencer.position > endPosition || stopSignal() != 0;
      if (filled == kChunkFrames || done) {
        ok = wav.append(reinterpret_cast<const uint8_t*>(chunk.data()), static_cast<size_t>(filled) * 4);
        *frames += filled;
        filled = 0;
      }
    }
  });
  render.join();
  if (!wav.close() || !ok) {
    *error = path + ": write error";
    return false;
  }
  return true;
}

int runSoundtrack(const std::string& path, const SoundtrackRange& range) {
  loadArchive(g_archiveBlob, g_archiveBlobSize);
  music_build();
  int64_t frames = 0;
  std::string error;
  installStopSignals();
  if (!renderSoundtrack(path, &frames, &error, range)) {
    std::fprintf(stderr, "brannik: %s\n", error.c_str());
    return EXIT_FAILURE_IO;
  }
  if (stopSignal() != 0) {
    std::fprintf(stderr, "brannik: soundtrack interrupted after %.1f s; %s holds what was rendered\n",
                 static_cast<double>(frames) / 44100.0, path.c_str());
    return exitCodeForSignal(stopSignal());
  }
  return EXIT_OK;
}

}  // namespace host
