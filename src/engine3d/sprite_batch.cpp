#include "engine3d/sprite_batch.h"

#include "platform/graphics.h"

SpriteBatch::SpriteBatch() : items_(new SpriteVertex[kCapacity]), count_(0), capacity_(kCapacity) {}

SpriteBatch::~SpriteBatch() { delete[] items_; }

void SpriteBatch::add(const Vec3& position, uint32_t color) {
  if (count_ == capacity_) flush();
  items_[count_++] = {position.x, position.y, position.z, color};
}

uint32_t spriteColor(float r, float g, float b) {
  const auto term = [](float c) { return static_cast<uint32_t>(static_cast<int32_t>(c * 255.0f)); };
  return 0xFF000000u | (term(r) & 0xFF) << 16 | term(g) << 8 | term(b);
}

void SpriteBatch::addRgb(const Vec3& position, float r, float g, float b) { add(position, spriteColor(r, g, b)); }

void beginPointSprites(float scaleC, float size) {
  setRenderState(D3DRS_POINTSCALE_A, floatBits(0.0f));
  setRenderState(D3DRS_POINTSCALE_B, floatBits(0.0f));
  setRenderState(D3DRS_POINTSCALE_C, floatBits(scaleC));
  setRenderState(D3DRS_POINTSPRITEENABLE, TRUE);
  setRenderState(D3DRS_POINTSIZE, floatBits(size));
  setRenderState(D3DRS_POINTSCALEENABLE, TRUE);
  setRenderState(D3DRS_ZWRITEENABLE, FALSE);
}

void endPointSprites() {
  setRenderState(D3DRS_POINTSPRITEENABLE, FALSE);
  setRenderState(D3DRS_ZWRITEENABLE, TRUE);
}

void SpriteBatch::flush() {
  beginPointSprites(0.5f, 0.25f);
  g_device->SetVertexShader(SPRITE_FVF);
  g_device->DrawPrimitiveUP(D3DPT_POINTLIST, static_cast<UINT>(count_), items_, sizeof(SpriteVertex));
  count_ = 0;
  endPointSprites();
}
