// Splitting a draw's pixels over the machine's cores: rows are dealt out in stripes of 16, stripe k to
// band k mod N, so every band holds about 1/N of any draw's pixels wherever they lie on the screen (a
// split into N blocks of rows would leave most bands idle for a draw covering a third of the screen).
// The calling thread renders band 0 while helper threads render the others, and the call returns when
// all are done. Each pixel belongs to exactly one band and is drawn in primitive order, so the picture
// is identical whatever N. No work queue, no allocation per call.
#pragma once

namespace d3d8compat {

constexpr int kBandStripeShift = 4;  // 16-row stripes
// Past eight bands a full-screen draw has under four stripes a band, and each band repeats the set-up
// of every triangle: more threads stop paying.
constexpr int kMaxBands = 8;

// Whether row y belongs to `band` when `bands` share the draw.
inline bool rowInBand(int y, int band, int bands) {
  return bands == 1 || (y >> kBandStripeShift) % bands == band;
}

// Runs job(context, 0) here and job(context, 1 .. bands - 1) on helper threads, and waits for all.
void runBands(void (*job)(void* context, int band), void* context, int bands);

// How many bands draws may use, 1 .. kMaxBands (clamped): 1 keeps everything on the calling thread. The
// default is the machine's hardware threads, at most kMaxBands. For tests and benchmarks.
void setRasterBands(int bands);
int rasterBands();

}  // namespace d3d8compat
