// The warped full-screen backdrop: a 41 x 31 grid of screen-space vertices at fixed positions (laid out
// for the target current at construction, 640 x 480) whose texture coordinates follow a plasma-like
// formula around a wandering centre, recomputed each frame. Draws with the caller's texture and stage
// states; only culling is set (off). Does not follow later changes of the target size.
#pragma once

#include <cstdint>

#include "compat/d3d8/d3d8.h"

class WarpGrid {
 public:
  // Creates the vertex buffer, then the index buffer, and fills positions and indices. Needs the device.
  WarpGrid();
  // Every vertex's texture coordinates for time t (seconds) and its colour.
  void animate(float time, uint32_t color);
  void draw();
  // The index buffer, then the vertex buffer; both pointers cleared.
  void release();

  static constexpr int kColumns = 41;
  static constexpr int kRows = 31;

 private:
  IDirect3DIndexBuffer8* indexBuffer = nullptr;
  IDirect3DVertexBuffer8* vertexBuffer = nullptr;
  int32_t indexCount = 0;
  int32_t vertexCount = 0;
};
