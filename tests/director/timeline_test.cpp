#include <gtest/gtest.h>

#include "director/timeline.h"

namespace {

TEST(Timeline, OrdersPickTheirScenesAndNinetyTwoEnds) {
  // Every boundary, both sides.
  const struct {
    int32_t order;
    SceneId scene;
  } boundaries[] = {{-1, SCENE_BLANK},    {0, SCENE_SCROLLER}, {7, SCENE_SCROLLER}, {8, SCENE_BOX},
                    {15, SCENE_BOX},      {16, SCENE_ZOOM},    {23, SCENE_ZOOM},     {24, SCENE_TUNNEL},
                    {25, SCENE_BANNERS},  {40, SCENE_BANNERS}, {41, SCENE_HELIX},    {48, SCENE_HELIX},
                    {49, SCENE_ZOOM},     {57, SCENE_ZOOM},    {58, SCENE_BANNERS},  {73, SCENE_BANNERS},
                    {74, SCENE_BOX},      {89, SCENE_BOX},     {90, SCENE_ENDING},   {91, SCENE_ENDING},
                    {92, SCENE_END}};
  for (const auto& b : boundaries) EXPECT_EQ(sceneForOrder(b.order), b.scene) << "order " << b.order;
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

#include "director/scenes.h"

namespace {

// A fake clock: the song position of row `row` at the smoothed time `time` (16 rows an order, 4 a beat).
class TimelineDrive : public ::testing::Test {
 protected:
  void SetUp() override {
    state_ = DirectorState{};
    g_time = 0.0f;
  }
  SceneId frame(int32_t row, float time) {
    g_time = time;
    return advanceTimeline(state_, sync_, time, row, row >> 4, static_cast<float>(row) * 0.25f);
  }
  DirectorState state_;
  FrameSync sync_{};
};

TEST_F(TimelineDrive, ARowIsNewOnlyOnItsFirstDrawnFrameAndASkippedRowNeverCounts) {
  frame(130, 10.0f);
  EXPECT_TRUE(sync_.newRow);
  frame(130, 10.02f);
  EXPECT_FALSE(sync_.newRow);
  frame(132, 10.3f);  // row 131 passed between two frames
  EXPECT_TRUE(sync_.newRow);
  EXPECT_EQ(state_.lastRow, 132);
  EXPECT_EQ(sync_.rowInBar, 4);
  frame(-3, 0.0f);  // rowInBar stays in 0..15 for negative rows
  EXPECT_EQ(sync_.rowInBar, 13);
}

TEST_F(TimelineDrive, TheGammaPulseStartsOncePerAccentedRowOnly) {
  for (int32_t row = 128; row < 160; ++row) {
    const float t = static_cast<float>(row) * 0.13f;
    frame(row, t);
    const bool accented = (row & 15) == 4 || (row & 15) == 12;
    EXPECT_EQ(state_.gammaFade.active != 0 && state_.gammaFade.start == t, accented) << "row " << row;
    // A second frame in the same row does not restart it.
    frame(row, t + 0.01f);
    if (accented) {
      EXPECT_EQ(state_.gammaFade.start, t);
    }
  }
}

TEST_F(TimelineDrive, TheScrollerFlashesOnSixRowsOfOrderSevenOnly) {
  std::vector<int32_t> flashes;
  for (int32_t row = 0; row < 128; ++row) {
    const float t = static_cast<float>(row);  // one second a row keeps every start distinct
    frame(row, t);
    if (state_.flashFade.active != 0 && state_.flashFade.start == t) flashes.push_back(row);
  }
  EXPECT_EQ(flashes, (std::vector<int32_t>{112, 115, 118, 121, 124, 127}));
}

TEST_F(TimelineDrive, TheFlashFromRow127StillShowsOverTheBox) {
  frame(127, 20.0f);
  ASSERT_EQ(state_.flashFade.start, 20.0f);
  EXPECT_EQ(frame(129, 20.2f), SCENE_BOX);
  EXPECT_NEAR(state_.flashFade.level(), 0.6f, 1e-5f);
  frame(130, 20.6f);
  EXPECT_EQ(state_.flashFade.level(), 0.0f);
}

TEST_F(TimelineDrive, TheTunnelFlashesOnItsFirstFrameOncePerRun) {
  EXPECT_EQ(frame(384, 50.0f), SCENE_TUNNEL);
  EXPECT_FALSE(state_.tunnelFlashPending);
  EXPECT_EQ(state_.flashFade.start, 50.0f);
  frame(390, 51.0f);
  EXPECT_EQ(state_.flashFade.start, 50.0f);
  frame(400, 52.0f);  // banners
  frame(384, 53.0f);  // even back in the tunnel, never again
  EXPECT_EQ(state_.flashFade.start, 50.0f);
}

TEST_F(TimelineDrive, OrderNinetyTwoEndsWithoutStartingAnything) {
  frame(91 * 16 + 15, 100.0f);
  const DirectorState before = state_;
  EXPECT_EQ(frame(92 * 16 + 4, 101.0f), SCENE_END);  // an accented row, but the song is over
  EXPECT_EQ(state_.gammaFade.start, before.gammaFade.start);
}

TEST(SceneTiming, ZoomRestartsOnItsFirstFrameAfterTenSecondsAwayAndEveryTenSeconds) {
  DirectorState state;
  EXPECT_EQ(zoomTime(state, 33.0f), 0.0f);  // first frame: no zoom yet
  EXPECT_NEAR(zoomTime(state, 42.9f), 9.9f, 1e-5f);
  EXPECT_EQ(zoomTime(state, 43.01f), 0.0f);  // ten seconds in
  EXPECT_EQ(state.zoomStart, 43.01f);
  EXPECT_NEAR(zoomTime(state, 45.01f), 2.0f, 1e-5f);
  EXPECT_EQ(zoomTime(state, 100.0f), 0.0f);  // back after more than ten seconds away
  EXPECT_EQ(state.zoomStart, 100.0f);
}

TEST(SceneTiming, TheEndingFadesThePictureAndMoreSlowlyTheCaption) {
  EXPECT_EQ(endingFade(360.0f), 1.0f);
  EXPECT_EQ(endingCaptionAlpha(endingFade(360.0f)), 255u);
  EXPECT_NEAR(endingFade(363.0f), 1.0f - 3.0f * 0.145f, 1e-6f);
  EXPECT_EQ(endingCaptionAlpha(endingFade(363.0f)), 221u);  // 0.565^(1/4) * 255 = 221.1
  EXPECT_EQ(endingFade(366.9f), 0.0f);
  EXPECT_EQ(endingCaptionAlpha(endingFade(366.9f)), 0u);
  EXPECT_EQ(endingFade(300.0f), 1.0f);  // before beat 360 clamped to full
}

}  // namespace
