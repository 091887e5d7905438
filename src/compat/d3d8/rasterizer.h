// Rasterizer of the software pipeline: walks a set-up triangle row by row and finds, exactly from the
// integer edge functions, the run of covered pixel centres in each row; each run goes to a span
// function (the draw's specialised pixel routine). It neither shades nor tests depth.
#pragma once

#include "compat/d3d8/band_workers.h"
#include "compat/d3d8/pipeline_types.h"

namespace d3d8compat {

// Shades pixels xBegin .. xEnd - 1 of row y; `context` is the caller's pixel state.
using SpanFunction = void (*)(const void* context, const TriangleSetup& setup, int y, int xBegin, int xEnd);

// Shades every run of a set-up triangle (or, `rectangle`, every row of its box) in `band`, for routines
// that work out once what all the triangle's rows share.
using TriangleFunction = void (*)(const void* context, const TriangleSetup& setup, bool rectangle, int band, int bands);

// Rows outside `band` of `bands` (see band_workers.h) are skipped.
void rasterizeTriangle(const TriangleSetup& setup, SpanFunction span, const void* context, int band = 0,
                       int bands = 1);

// Every pixel of the setup's box, row by row (rectangles: point sprites). Rows outside `band` skipped.
void rasterizeRectangle(const TriangleSetup& setup, SpanFunction span, const void* context, int band = 0,
                        int bands = 1);

// The covered run of row y: [*xBegin, *xEnd), empty when *xBegin >= *xEnd. Exposed for tests.
void coveredSpan(const TriangleSetup& setup, int y, int* xBegin, int* xEnd);

// Calls span(y, xBegin, xEnd) for each non-empty run in `band`: the covered runs of a triangle, or the
// whole rows of a rectangle's box.
template <typename Span>
inline void forEachSpan(const TriangleSetup& setup, bool rectangle, int band, int bands, Span&& span) {
  for (int y = setup.minY; y <= setup.maxY; ++y) {
    if (!rowInBand(y, band, bands)) {
      y |= (1 << kBandStripeShift) - 1;  // on to the first row of the next stripe
      continue;
    }
    if (rectangle) {
      span(y, setup.minX, setup.maxX + 1);
      continue;
    }
    int xBegin, xEnd;
    coveredSpan(setup, y, &xBegin, &xEnd);
    if (xBegin < xEnd) span(y, xBegin, xEnd);
  }
}

}  // namespace d3d8compat
