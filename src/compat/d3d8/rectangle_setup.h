// Set-up of a point sprite as one screen-aligned rectangle instead of two triangles: the same snapped
// corners, the same covered pixel centres (left and top edges in, right and bottom edges out, as the
// top-left rule gives the two triangles) and the same attribute planes as the triangle set-up computes
// for them, so the picture is identical; rows are then whole runs with no edge walking and no diagonal
// splitting each row into two spans.
#pragma once

#include "compat/d3d8/triangle_setup.h"

namespace d3d8compat {

// corners: top-left, top-right, bottom-right, bottom-left (expandPoint's order). Fills the setup's box
// and planes (its edges accept every pixel of the box); false when no pixel centre is covered.
bool setupRectangle(const ScreenVertex corners[4], const ScissorRect& scissor, TriangleSetup* setup);

}  // namespace d3d8compat
