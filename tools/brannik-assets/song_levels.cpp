// Order-by-order levels of the rendered song.
#include "brannik-assets/song_levels.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <thread>

#include "music/engine.h"

namespace assets {

namespace {

constexpr double kFullScale = 32768.0;

double toDb(double ratio) { return ratio > 0 ? 20.0 * std::log10(ratio) : -200.0; }

void addBlock(const int16_t* frames, int32_t count, LevelSums* s) {
  for (int32_t i = 0; i < count; ++i) {
    for (int32_t c = 0; c < 2; ++c) {
      const int32_t v = frames[2 * i + c];
      s->sum[c] += v;
      s->sumSquares += static_cast<double>(v) * v;
      s->peak = std::max(s->peak, std::abs(v));
      if (v == 32767 || v == -32768) ++s->clamped;
    }
  }
  s->frames += count;
}

}  // namespace

void LevelSums::add(const LevelSums& other) {
  frames += other.frames;
  sum[0] += other.sum[0];
  sum[1] += other.sum[1];
  sumSquares += other.sumSquares;
  peak = std::max(peak, other.peak);
  clamped += other.clamped;
}

double LevelSums::rmsDb() const {
  return frames > 0 ? toDb(std::sqrt(sumSquares / (2.0 * static_cast<double>(frames))) / kFullScale) : -200.0;
}

double LevelSums::peakDb() const { return toDb(peak / kFullScale); }

double LevelSums::dcOffset() const {
  if (frames == 0) return 0;
  const double n = static_cast<double>(frames) * kFullScale;
  return std::max(std::fabs(sum[0] / n), std::fabs(sum[1] / n));
}

LevelSums SongLevels::range(int32_t first, int32_t last) const {
  LevelSums total;
  for (const OrderLevels& o : orders) {
    if (o.order >= first && o.order <= last) total.add(o.sums);
  }
  return total;
}

const OrderLevels* SongLevels::order(int32_t o) const {
  const size_t i = static_cast<size_t>(o + 1);
  return o >= -1 && i < orders.size() ? &orders[i] : nullptr;
}

SongLevels measureSongLevels(int32_t extraOrders) {
  SongLevels levels;
  levels.songOrders = g_sequencer.songOrders();
  const int32_t rows = g_sequencer.rowsPerPattern;
  const int32_t endPosition = (levels.songOrders + extraOrders) * rows * 16;
  // A thread of its own, as --soundtrack renders: the voices' rand draws start where a thread's do.
  std::thread render([&] {
    int16_t block[kBlockSize * 2];
    while (g_sequencer.position <= endPosition) {
      // The block about to be rendered belongs to the row fired last (position - 16).
      const int32_t row = g_sequencer.position / 16 - 1;
      const int32_t order = row < 0 ? -1 : row / rows;
      if (levels.orders.empty() || levels.orders.back().order != order) {
        OrderLevels next;
        next.order = order;
        for (int32_t c = 0; c < 4; ++c) next.volume[c] = g_masterMixer.param(8 * c + kMasterVolume);
        levels.orders.push_back(next);
      }
      g_masterMixer.render(block, kBlockSize);
      addBlock(block, kBlockSize, &levels.orders.back().sums);
    }
  });
  render.join();
  return levels;
}

}  // namespace assets
