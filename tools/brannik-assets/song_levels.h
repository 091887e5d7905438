// Levels of the built song measured order by order: the engine (music_build or music_buildFrom first)
// rendered block by block exactly as --soundtrack renders it, each block counted in the order whose row
// it follows (the blocks before the first row form the lead-in, order -1). It measures; judging the
// figures is the song table's and the tests' business. It renders, so it leaves the engine played through.
#pragma once

#include <cstdint>
#include <vector>

namespace assets {

// Sums over a stretch of the soundtrack (16-bit stereo; full scale 32768).
struct LevelSums {
  int64_t frames = 0;
  double sum[2] = {0, 0};  // left and right, for the DC offset
  double sumSquares = 0;   // both channels together
  int32_t peak = 0;        // largest |sample|
  int64_t clamped = 0;     // samples at -32768 or 32767

  void add(const LevelSums& other);
  double rmsDb() const;   // dBFS; -200 for silence
  double peakDb() const;  // dBFS
  double dcOffset() const;  // the larger |mean| of the two channels, as a fraction of full scale
};

struct OrderLevels {
  int32_t order = -1;
  LevelSums sums;
  int32_t volume[4] = {0, 0, 0, 0};  // the master's channel volumes as the order starts
};

struct SongLevels {
  std::vector<OrderLevels> orders;  // lead-in (order -1), then 0 to the last order rendered
  int32_t songOrders = 0;           // the soundtrack's length: orders 0 to songOrders - 1

  // Sums over orders first to last (inclusive; -1 takes the lead-in); ranges outside are clipped.
  LevelSums range(int32_t first, int32_t last) const;
  // The soundtrack as --soundtrack writes it: the lead-in and every order of the song.
  LevelSums soundtrack() const { return range(-1, songOrders - 1); }
  const OrderLevels* order(int32_t o) const;
};

// Renders the built engine from its current (just built) state through the song and `extraOrders`
// orders after it, on a thread of its own as the audio thread would (its rand sequence starts afresh).
SongLevels measureSongLevels(int32_t extraOrders);

}  // namespace assets
