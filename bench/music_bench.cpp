// Rendering speed of the music engine: one minute of the song (2646000 frames) through the master
// mixer, in the audio thread's refill sizes. The target is 200 times faster than real time, i.e. a
// minute in under 300 ms.
#include <benchmark/benchmark.h>

#include <vector>

#include "music/engine.h"

namespace {

constexpr int kMinuteFrames = 44100 * 60;
constexpr int kRefillFrames = 4096;

void BM_RenderOneMinuteOfTheSong(benchmark::State& state) {
  std::vector<int16_t> out(static_cast<size_t>(kRefillFrames) * 2);
  for (auto _ : state) {
    state.PauseTiming();
    music_build();
    state.ResumeTiming();
    for (int done = 0; done < kMinuteFrames; done += kRefillFrames) {
      g_masterMixer.render(out.data(), kRefillFrames);
      benchmark::DoNotOptimize(out.data());
    }
  }
  state.counters["x_realtime"] =
      benchmark::Counter(60.0 * static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_RenderOneMinuteOfTheSong)->Unit(benchmark::kMillisecond);

void BM_MusicBuild(benchmark::State& state) {
  for (auto _ : state) music_build();
}
BENCHMARK(BM_MusicBuild)->Unit(benchmark::kMillisecond);

}  // namespace
