// Splitting a draw's pixels over two cores: rows are dealt out in stripes of 16 (band 0 takes the even
// stripes, band 1 the odd ones); the calling thread renders band 0 while one helper thread renders band 1,
// and the call returns when both are done. Each pixel belongs to exactly one band and is drawn in
// primitive order, so the picture is identical whatever the split. No work queue, no allocation per call.
#pragma once

namespace d3d8compat {

constexpr int kBandStripeShift = 4;  // 16-row stripes

// Whether row y belongs to `band` when `bands` (1 or 2) share the draw.
inline bool rowInBand(int y, int band, int bands) { return bands == 1 || ((y >> kBandStripeShift) & 1) == band; }

// Runs job(context, 0) here and job(context, 1) on the helper thread, and waits for both.
void runTwoBands(void (*job)(void* context, int band), void* context);

// How many bands draws may use: 1 (everything on the calling thread) or 2. The default is 2 on machines
// with more than one core. For tests and benchmarks.
void setRasterBands(int bands);
int rasterBands();

}  // namespace d3d8compat
