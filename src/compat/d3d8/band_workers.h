// Splitting a draw's pixels over the machine's cores: rows are dealt out in stripes of 16, stripe k to
// band k mod N, so every band holds about 1/N of any draw's pixels wherever they lie on the screen (a
// split into N blocks of rows would leave most bands idle for a draw covering a third of the screen).
// A draw has a band per thread, and each thread takes the next band no one has taken yet: a helper
// that wakes late leaves its band to the calling thread rather than making the frame wait for it. (Two
// bands a thread would also cover a helper held back mid-band, but every band repeats the set-up of
// the draw's triangles: the box scene did an eighth more work for no gain.) Each pixel belongs to
// exactly one band and is drawn in primitive order, so the picture is identical whatever the bands and
// threads. No work queue, no allocation per call.
#pragma once

namespace d3d8compat {

constexpr int kBandStripeShift = 4;  // 16-row stripes
// Past eight threads a full-screen draw has under four stripes a band, and each band repeats the set-up
// of every triangle: more threads stop paying.
constexpr int kMaxThreads = 8;
// Two bands a thread: enough for one thread to cover a late one; each band repeats set-up work.
constexpr int kBandsPerThread = 1;
constexpr int kMaxBands = kMaxThreads * kBandsPerThread;

// Whether row y belongs to `band` when `bands` share the draw.
inline bool rowInBand(int y, int band, int bands) {
  return bands == 1 || (y >> kBandStripeShift) % bands == band;
}

// Runs job(context, band) for every band 0 .. bands - 1 on up to `threads` threads, this one and
// helpers, and waits for all. Which thread draws which band varies from call to call.
void runBands(void (*job)(void* context, int band), void* context, int bands, int threads);

// How many threads draws may use, 1 .. kMaxThreads (clamped): 1 keeps everything on the calling
// thread. The default is the machine's hardware threads, at most kMaxThreads. For tests and benchmarks.
void setRasterThreads(int threads);
int rasterThreads();

}  // namespace d3d8compat
