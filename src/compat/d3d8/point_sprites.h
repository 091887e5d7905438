// Point expansion of the software pipeline: a point becomes a screen-aligned S x S quad (two clockwise
// triangles sharing one depth and rhw) around its projected centre, with S from the vertex stage's size
// clamped to [POINTSIZE_MIN, min(MaxPointSize, POINTSIZE_MAX)]. Points whose centre is outside the
// near/far range are dropped whole; a quad partly outside the viewport keeps its visible part.
#pragma once

#include "compat/d3d8/clipper.h"
#include "compat/d3d8/device_state.h"
#include "compat/d3d8/pipeline_types.h"

namespace d3d8compat {

struct PointRules {
  float minSize, maxSize;
  bool spriteCoordinates;  // POINTSPRITEENABLE: (0,0) at the top-left corner .. (1,1) at the bottom-right
  bool transformed;        // RHW input: the position is already in pixels and never clipped in z
};
PointRules makePointRules(const DeviceState& state, bool transformed);

// The clamped screen size of a point of unclamped size `size`.
float clampPointSize(float size, const PointRules& rules);

// Writes the quad's corners top-left, top-right, bottom-right, bottom-left; false when nothing can show.
bool expandPoint(const PipelineVertex& point, const PointRules& rules, const ViewportMap& map,
                 const D3DVIEWPORT8& viewport, ScreenVertex corners[4]);

}  // namespace d3d8compat
