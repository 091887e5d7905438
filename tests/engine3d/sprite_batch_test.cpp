// The sprite batch: colours from floats (with green and blue spilling upwards), the flush of a full
// batch, the states around a flush and what the draw receives.
#include <gtest/gtest.h>

#include <cstring>

#include "engine3d/sprite_batch.h"
#include "engine_fixture.h"

namespace {

using SpriteBatchTest = EngineDeviceTest;

SpriteVertex recordedSprite(const RecordedDraw& draw, int i) {
  SpriteVertex v;
  std::memcpy(&v, draw.vertices.data() + static_cast<size_t>(i) * draw.stride, sizeof v);
  return v;
}

}  // namespace

TEST(SpriteColor, FloatComponentsPackIntoAnOpaqueColour) {
  EXPECT_EQ(spriteColor(1.0f, 0.5f, 0.0f), 0xFFFF7F00u);
  EXPECT_EQ(spriteColor(0.0f, 0.0f, 0.0f), 0xFF000000u);
  EXPECT_EQ(spriteColor(2.0f, 0.0f, 0.0f), 0xFFFE0000u);  // red alone is masked: 510 & 0xFF
}

TEST(SpriteColor, GreenAndBlueOfOneOrMoreSpillIntoTheByteAbove) {
  // Green 1.25: 318 = 0x13E, so 0x13E00 sets the low bit of red.
  EXPECT_EQ(spriteColor(0.0f, 1.25f, 0.0f), 0xFF013E00u);
  // Blue 1.1: 280 = 0x118 lands partly in green.
  EXPECT_EQ(spriteColor(0.0f, 0.0f, 1.1f), 0xFF000118u);
  // Exactly 1.0 is 255 and stays in its byte.
  EXPECT_EQ(spriteColor(0.0f, 1.0f, 1.0f), 0xFF00FFFFu);
}

TEST_F(SpriteBatchTest, TheSpriteAfterAFullBatchFlushesTheFirst4096) {
  recordDraws();
  SpriteBatch batch;
  for (int i = 0; i < 4097; ++i) batch.add(Vec3{static_cast<float>(i), 0.0f, 5.0f}, 0xFF000000u | i);
  ASSERT_EQ(draws_.size(), 1u);
  EXPECT_EQ(draws_[0].primitiveCount, 4096u);
  EXPECT_EQ(draws_[0].type, D3DPT_POINTLIST);
  EXPECT_EQ(batch.count(), 1);
  EXPECT_EQ(batch.item(0).x, 4096.0f);
  EXPECT_EQ(recordedSprite(draws_[0], 4095).x, 4095.0f);
}

TEST_F(SpriteBatchTest, FlushDrawsSpritesWithDepthWritesOffAndEmptiesTheBatch) {
  recordDraws();
  SpriteBatch batch;
  batch.add(Vec3{1.0f, 2.0f, 3.0f}, 0x12345678u);
  batch.addRgb(Vec3{4.0f, 5.0f, 6.0f}, 1.0f, 0.5f, 0.0f);
  batch.flush();
  ASSERT_EQ(draws_.size(), 1u);
  const RecordedDraw& draw = draws_[0];
  EXPECT_EQ(draw.fvf, 0x42u);
  EXPECT_EQ(draw.stride, 16u);
  EXPECT_EQ(draw.primitiveCount, 2u);
  EXPECT_EQ(draw.renderStates[D3DRS_POINTSPRITEENABLE], static_cast<DWORD>(TRUE));
  EXPECT_EQ(draw.renderStates[D3DRS_POINTSCALEENABLE], static_cast<DWORD>(TRUE));
  EXPECT_EQ(draw.renderStates[D3DRS_ZWRITEENABLE], static_cast<DWORD>(FALSE));
  EXPECT_EQ(draw.renderStates[D3DRS_POINTSIZE], floatBits(0.25f));
  EXPECT_EQ(draw.renderStates[D3DRS_POINTSCALE_A], floatBits(0.0f));
  EXPECT_EQ(draw.renderStates[D3DRS_POINTSCALE_B], floatBits(0.0f));
  EXPECT_EQ(draw.renderStates[D3DRS_POINTSCALE_C], floatBits(0.5f));
  const SpriteVertex second = recordedSprite(draw, 1);
  EXPECT_EQ(second.z, 6.0f);
  EXPECT_EQ(second.color, 0xFFFF7F00u);
  EXPECT_EQ(recordedSprite(draw, 0).color, 0x12345678u);
  EXPECT_EQ(batch.count(), 0);
}

TEST_F(SpriteBatchTest, FlushingAnEmptyBatchDrawsNothingAndLeavesTheSameStates) {
  recordDraws();
  SpriteBatch batch;
  setRenderState(D3DRS_POINTSPRITEENABLE, TRUE);
  setRenderState(D3DRS_ZWRITEENABLE, FALSE);
  batch.flush();
  EXPECT_TRUE(draws_.empty());
  EXPECT_EQ(renderState(D3DRS_POINTSPRITEENABLE), static_cast<DWORD>(FALSE));
  EXPECT_EQ(renderState(D3DRS_ZWRITEENABLE), static_cast<DWORD>(TRUE));
  EXPECT_EQ(renderState(D3DRS_POINTSCALEENABLE), static_cast<DWORD>(TRUE));  // left on
  EXPECT_EQ(renderState(D3DRS_POINTSIZE), floatBits(0.25f));
  EXPECT_EQ(batch.count(), 0);
}
