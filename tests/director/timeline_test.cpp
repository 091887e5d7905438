#include <gtest/gtest.h>

#include "director/timeline.h"

namespace {

TEST(Timeline, OrdersPickTheirScenesAndNinetyTwoEnds) {
  EXPECT_EQ(sceneForOrder(-1), SCENE_BLANK);
  EXPECT_EQ(sceneForOrder(0), SCENE_SCROLLER);
  EXPECT_EQ(sceneForOrder(7), SCENE_SCROLLER);
  EXPECT_EQ(sceneForOrder(8), SCENE_BOX);
  EXPECT_EQ(sceneForOrder(16), SCENE_ZOOM);
  EXPECT_EQ(sceneForOrder(23), SCENE_ZOOM);
  EXPECT_EQ(sceneForOrder(24), SCENE_TUNNEL);  // one order only
  EXPECT_EQ(sceneForOrder(25), SCENE_BANNERS);
  EXPECT_EQ(sceneForOrder(41), SCENE_HELIX);
  EXPECT_EQ(sceneForOrder(49), SCENE_ZOOM);
  EXPECT_EQ(sceneForOrder(58), SCENE_BANNERS);
  EXPECT_EQ(sceneForOrder(74), SCENE_BOX);
  EXPECT_EQ(sceneForOrder(89), SCENE_BOX);
  EXPECT_EQ(sceneForOrder(90), SCENE_ENDING);
  EXPECT_EQ(sceneForOrder(91), SCENE_ENDING);
  EXPECT_EQ(sceneForOrder(92), SCENE_END);
  EXPECT_EQ(sceneForOrder(500), SCENE_END);
}

TEST(Timeline, BarWaveRisesThroughEvenOrdersAndFallsThroughOdd) {
  EXPECT_FLOAT_EQ(barWaveOf(0.0f), 0.0f);
  EXPECT_FLOAT_EQ(barWaveOf(2.0f), 0.5f);
  EXPECT_FLOAT_EQ(barWaveOf(4.0f), 1.0f);   // boundary between an even and the next odd order
  EXPECT_FLOAT_EQ(barWaveOf(6.0f), 0.5f);
  EXPECT_FLOAT_EQ(barWaveOf(8.0f), 0.0f);   // the next even order's start
  EXPECT_FLOAT_EQ(barWaveOf(12.0f), 1.0f);
  EXPECT_FLOAT_EQ(barWaveOf(-3.0f), -0.75f);  // negative positions pass through
}

}  // namespace

#include "director/demo.h"

namespace {

TEST(PresentationTime, MovesAQuarterOfTheGapPerFrameAndNeverOvershoots) {
  EXPECT_FLOAT_EQ(smoothTime(1.0f, 0.0f), 0.25f);
  EXPECT_FLOAT_EQ(smoothTime(1.0f, 0.25f), 0.4375f);
  // After a stall the clock is 2 s ahead; the time catches up over several frames, never jumping.
  float t = 10.0f;
  float gap = 2.0f;
  for (int frame = 0; frame < 20; ++frame) {
    const float next = smoothTime(12.0f, t);
    EXPECT_LT(next, 12.0f);
    EXPECT_NEAR(12.0f - next, gap * 0.75f, 1e-4f);
    gap = 12.0f - next;
    t = next;
  }
  // Starting from the silent lead-in, the time stays negative while the clock is.
  EXPECT_LT(smoothTime(-0.9f, 0.0f), 0.0f);
}

}  // namespace
