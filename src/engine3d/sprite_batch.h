// SpriteBatch: a fixed batch of 4 096 coloured point sprites in world space, drawn with one
// DrawPrimitiveUP per flush and flushed early whenever it is full. The caller sets the texture, blending
// and transforms; the flush sets only the point-sprite states and turns depth writes off while drawing.
// Allocated once at construction; nothing is allocated afterwards.
#pragma once

#include <cstdint>

#include "compat/d3d8/d3d8_types.h"
#include "engine3d/vec3.h"

// D3DFVF_XYZ | D3DFVF_DIFFUSE.
constexpr DWORD SPRITE_FVF = 0x42;

struct SpriteVertex {
  float x, y, z;
  uint32_t color;  // A8R8G8B8
};
static_assert(sizeof(SpriteVertex) == 16);

class SpriteBatch {
 public:
  static constexpr int32_t kCapacity = 4096;

  SpriteBatch();
  ~SpriteBatch();
  SpriteBatch(const SpriteBatch&) = delete;
  SpriteBatch& operator=(const SpriteBatch&) = delete;

  void add(const Vec3& position, uint32_t color);
  // Opaque colour from float components. Only red is masked to its byte: a green or blue product of 256
  // or more spills into the byte above it (the helix's colours rely on this).
  void addRgb(const Vec3& position, float r, float g, float b);
  void flush();  // draws every stored sprite and empties the batch
  int count() const { return count_; }
  const SpriteVertex& item(int i) const { return items_[i]; }
  void clear() { count_ = 0; }  // empties the batch without drawing

 private:
  SpriteVertex* items_;
  int32_t count_;
  int32_t capacity_;
};

// Point-sprite drawing on: scale factors A = B = 0 and C, sprites on, base size, distance scaling on,
// depth writes off (in that order; floats as bit patterns). The flush uses C = 0.5, size 0.25.
void beginPointSprites(float scaleC, float size);
// Sprites off and depth writes on again; distance scaling stays on.
void endPointSprites();

// The colour addRgb stores, in 32-bit arithmetic with truncation towards zero.
uint32_t spriteColor(float r, float g, float b);
