// Rasterizer of the software pipeline: walks a set-up triangle row by row and finds, exactly from the
// integer edge functions, the run of covered pixel centres in each row; each run goes to a span
// function (the draw's specialised pixel routine). It neither shades nor tests depth.
#pragma once

#include "compat/d3d8/pipeline_types.h"

namespace d3d8compat {

// Shades pixels xBegin .. xEnd - 1 of row y; `context` is the caller's pixel state.
using SpanFunction = void (*)(const void* context, const TriangleSetup& setup, int y, int xBegin, int xEnd);

// Rows outside `band` of `bands` (see band_workers.h) are skipped.
void rasterizeTriangle(const TriangleSetup& setup, SpanFunction span, const void* context, int band = 0,
                       int bands = 1);

// Every pixel of the setup's box, row by row (rectangles: point sprites). Rows outside `band` skipped.
void rasterizeRectangle(const TriangleSetup& setup, SpanFunction span, const void* context, int band = 0,
                        int bands = 1);

// The covered run of row y: [*xBegin, *xEnd), empty when *xBegin >= *xEnd. Exposed for tests.
void coveredSpan(const TriangleSetup& setup, int y, int* xBegin, int* xEnd);

}  // namespace d3d8compat
