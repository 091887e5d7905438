// Frame times of every scene as the presentation draws them: the real start-up (textures, meshes,
// font), then 120 frames per scene at song positions spread over its orders, each timed from
// beginFrame to the end of Present (gamma pulse, scene, flash overlay). A fake clock replaces the audio
// stream. Argument 1: every pixel on the calling thread; argument 2: rows split over two threads.
// Reports the median, 99th percentile and worst frame in milliseconds.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <vector>

#include "compat/d3d8/band_workers.h"
#include "compat/win32/headless.h"
#include "director/demo.h"
#include "director/timeline.h"
#include "platform/graphics.h"

namespace {

// 114 beats a minute, four rows a beat; the first second of the stream is the silent lead-in.
constexpr double kRowSeconds = 60.0 / 114.0 / 4.0;

struct Presentation {
  Presentation() {
    win32compat::setHeadless(true);
    initGraphics("ZAQ", 640, 480, 0, 32);
    startUp();
  }
  ~Presentation() { shutDown(); }
};

Presentation& presentation() {
  static Presentation p;
  return p;
}

struct SceneSpan {
  const char* name;
  int firstOrder;
  int lastOrder;
};

const SceneSpan kScenes[] = {{"scroller", 0, 7}, {"box", 8, 15},      {"zoom", 16, 23}, {"tunnel", 24, 24},
                             {"banners", 25, 40}, {"helix", 41, 48},  {"zoom2", 49, 57}, {"banners2", 58, 73},
                             {"box2", 74, 89},    {"ending", 90, 91}};

void sceneFrames(benchmark::State& state) {
  presentation();
  const SceneSpan& scene = kScenes[state.range(0)];
  d3d8compat::setRasterThreads(static_cast<int>(state.range(1)));
  state.SetLabel(scene.name);
  const int firstRow = scene.firstOrder * 16;
  const int rows = (scene.lastOrder + 1 - scene.firstOrder) * 16;
  std::vector<double> ms;
  for (auto _ : state) {
    ms.clear();
    resetTimeline();
    for (int i = 0; i < 120; ++i) {
      const int row = firstRow + i * rows / 120;
      const double time = row * kRowSeconds + (i % 7) * 0.011;  // several frames per row, as live
      g_time = static_cast<float>(time);
      const auto began = std::chrono::steady_clock::now();
      beginFrame(0);
      drawTimelineFrame(g_time, row, row >> 4, static_cast<float>(row) * 0.25f);
      const std::chrono::duration<double, std::milli> took = std::chrono::steady_clock::now() - began;
      ms.push_back(took.count());
    }
  }
  std::sort(ms.begin(), ms.end());
  state.counters["median_ms"] = ms[ms.size() / 2];
  state.counters["p99_ms"] = ms[(ms.size() * 99) / 100];
  state.counters["worst_ms"] = ms.back();
}

BENCHMARK(sceneFrames)
    ->ArgsProduct({benchmark::CreateDenseRange(0, 9, 1), {1, 2}})
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

}  // namespace
