// The tunnel: the curve's worked points, the rings and eye at time 0, the window of rings following the
// time, the dust sprites and their colours, and what shaping leaves alone.
#include <gtest/gtest.h>

#include <cmath>

#include "engine3d/mesh.h"
#include "engine3d/sprite_batch.h"
#include "engine3d/tunnel.h"
#include "engine_fixture.h"
#include "expect_vec.h"

namespace {

class TunnelTest : public EngineDeviceTest {
 protected:
  void SetUp() override {
    EngineDeviceTest::SetUp();
    tube_.buildTube(40, 40);
  }
  void TearDown() override {
    tube_.release();
    EngineDeviceTest::TearDown();
  }
  Mesh tube_;
  SpriteBatch sprites_;
  Vec3 eye_, look_;
};

}  // namespace

TEST(TunnelPath, WorkedPointsOfTheCurve) {
  expectVec(tunnelPath(0.0f), 0.0f, 13.0f, 0.0f, 1e-6f);
  // s' = 1.2: (16.5 sin 0.024, 13 cos^3 0.03276, 17 sin^3 0.02304 + 0.48).
  expectVec(tunnelPath(1.0f), 0.395962f, 12.979085f, 0.480208f, 2e-5f);
  expectVec(tunnelPath(33.5f), 11.882263f, 1.231496f, 21.847632f, 2e-4f);
}

TEST_F(TunnelTest, AtTimeZeroRingZeroSitsOnTheCurveStartAndTheEyeOneUnitOn) {
  tube_.shapeTunnel(0.0f, eye_, look_, 40, 40, 1.0f, sprites_);
  expectVec(eye_, 0.395962f, 12.979085f, 0.480208f, 2e-5f);
  // tunnelPath(-5) - tunnelPath(-6), unnormalised.
  expectVec(look_, 0.392546f, 0.221540f, 0.498665f, 2e-4f);
  // Ring 0 at p = 0: phi starts at 0 and the radius there is 0.9, along B (nearly straight down).
  expectVec(tube_.vertices[0].position, -0.019229f, 12.100508f, -0.023320f, 2e-5f);
  expectVec(tube_.vertices[1].position, 0.101944f, 11.989566f, -0.128067f, 2e-5f);
  // Every vertex of ring 0 lies in the plane through (0, 13, 0) across the curve, 0.5 to 1.3 out.
  const Vec3 t = (tunnelPath(1.0f) - tunnelPath(0.0f)).normalized();
  for (int j = 0; j < 40; ++j) {
    const Vec3 offset = tube_.vertices[j].position - Vec3{0.0f, 13.0f, 0.0f};
    EXPECT_NEAR(dot(offset, t), 0.0f, 1e-5f);
    const float radius = std::sqrt(offset.lengthSquared());
    EXPECT_GE(radius, 0.5f - 1e-5f);
    EXPECT_LE(radius, 1.3f + 1e-5f);
    EXPECT_FLOAT_EQ(tube_.vertices[j].v, 0.0f);
  }
}

TEST_F(TunnelTest, TheWindowOfRingsFollowsTheTime) {
  // base = 32.5 -> k0 = 32: ring i at p = 32 + i, the eye between rings 1 and 2.
  tube_.shapeTunnel(32.5f / 32.0f, eye_, look_, 40, 40, 1.0f, sprites_);
  expectVec(eye_, 11.882263f, 1.231496f, 21.847632f, 2e-4f);
  for (int i = 0; i <= 40; ++i) EXPECT_NEAR(tube_.vertices[i * 40].v, static_cast<float>(32 + i) * 0.1f, 1e-5f);
  const Vec3 ring2 = tunnelPath(34.0f), ring1 = tunnelPath(33.0f);
  EXPECT_GT(dot(eye_ - ring1, ring2 - ring1), 0.0f);
  EXPECT_LT(dot(eye_ - ring2, ring2 - ring1), 0.0f);

  // Backwards, the window starts at k0 = -32 (truncated towards zero).
  tube_.shapeTunnel(1.0f, eye_, look_, 40, 40, -1.0f, sprites_);
  EXPECT_NEAR(tube_.vertices[0].v, -3.2f, 1e-5f);
}

TEST_F(TunnelTest, EveryFourthVertexDropsADustSpriteColouredByItsSegment) {
  tube_.shapeTunnel(0.7f, eye_, look_, 40, 40, 1.0f, sprites_);
  ASSERT_EQ(sprites_.count(), 410);  // 41 rings x 10
  const int k0 = static_cast<int>(0.7f * 32.0f);
  for (int i = 0; i <= 40; ++i) {
    const Vec3 centre = tunnelPath(static_cast<float>(k0 + i));
    for (int s = 0; s < 10; ++s) {
      const int j = 4 * s;
      const SpriteVertex& sprite = sprites_.item(i * 10 + s);
      EXPECT_EQ(sprite.color, j % 8 == 0 ? 0x3F003F00u : 0x3F3F003Fu) << "segment " << j;
      // Unit-length offsets along B and N: within sqrt(2) of the centre line.
      const Vec3 offset = Vec3{sprite.x, sprite.y, sprite.z} - centre;
      EXPECT_LE(offset.lengthSquared(), 2.0f + 1e-4f);
    }
  }
}

TEST_F(TunnelTest, AMeshTooSmallForTheRingsIsLeftAlone) {
  Mesh small;
  small.buildTube(40, 10);
  small.restoreVertices();
  small.shapeTunnel(0.0f, eye_, look_, 40, 40, 1.0f, sprites_);
  EXPECT_EQ(sprites_.count(), 0);
  EXPECT_EQ(small.vertices[0].position.y, small.baseVertices[0].position.y);
  expectVec(eye_, 0.395962f, 12.979085f, 0.480208f, 2e-5f);
}
