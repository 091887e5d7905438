#include <gtest/gtest.h>

#include "compat/win32/user32.h"
#include "director/demo.h"
#include "director/seek.h"
#include "director/timeline.h"
#include "music/engine.h"
#include "music/stream.h"
#include "music/stream_ring.h"

namespace {

TEST(SceneRuns, EachOrderKnowsWhereItsSceneStartsAndTheNextOne) {
  const struct {
    int32_t order, start, next;
  } runs[] = {{0, 0, 8},    {7, 0, 8},    {8, 8, 16},   {23, 16, 24}, {24, 24, 25}, {25, 25, 41},
              {40, 25, 41}, {41, 41, 49}, {48, 41, 49}, {49, 49, 58}, {57, 49, 58}, {58, 58, 74},
              {73, 58, 74}, {74, 74, 90}, {89, 74, 90}, {90, 90, 92}, {91, 90, 92}};
  for (const auto& r : runs) {
    EXPECT_EQ(sceneStartOrder(r.order), r.start) << "order " << r.order;
    EXPECT_EQ(nextSceneOrder(r.order), r.next) << "order " << r.order;
  }
}

TEST(SceneRuns, AnEarlierEndOrderEndsTheRunThereWithoutStartingAnything) {
  DirectorState state;
  state.endOrder = 49;
  FrameSync sync{};
  EXPECT_EQ(advanceTimeline(state, sync, 50.0f, 48 * 16 + 15, 48, 195.75f), SCENE_HELIX);
  EXPECT_EQ(advanceTimeline(state, sync, 50.1f, 49 * 16 + 4, 49, 196.0f), SCENE_END);  // accented row
  EXPECT_EQ(state.gammaFade.active, 0);
}

TEST(SceneKeys, ArrowsPagesAndHomeAreTheSceneKeys) {
  EXPECT_EQ(sceneKeyOf(VK_RIGHT), SceneKey::NextScene);
  EXPECT_EQ(sceneKeyOf(VK_NEXT), SceneKey::NextScene);
  EXPECT_EQ(sceneKeyOf(VK_LEFT), SceneKey::RestartScene);
  EXPECT_EQ(sceneKeyOf(VK_PRIOR), SceneKey::RestartScene);
  EXPECT_EQ(sceneKeyOf(VK_HOME), SceneKey::RestartPresentation);
  EXPECT_EQ(sceneKeyOf(VK_SPACE), SceneKey::None);
  EXPECT_EQ(sceneKeyOf(0), SceneKey::None);
}

TEST(SceneKeys, RestartGoesOneSceneBackPerPressWithinASecond) {
  SceneKeyMemory memory;
  const struct {
    SceneKey key;
    int32_t order;  // playing when pressed
    int64_t ms;
    int32_t target;
  } presses[] = {
      {SceneKey::NextScene, 3, 0, 8},
      {SceneKey::RestartScene, 45, 10000, 41},        // the helix again
      {SceneKey::RestartScene, 41, 10600, 25},        // within a second: the banners before it
      {SceneKey::RestartScene, 25, 11500, 24},        // and again: the tunnel
      {SceneKey::RestartScene, 24, 12600, 24},        // 1.1 s later: the tunnel again
      {SceneKey::RestartScene, 2, 20000, 0},          // the scroller
      {SceneKey::RestartScene, 0, 20300, 0},          // nothing before the first scene
      {SceneKey::RestartScene, 50, 30000, 49},
      {SceneKey::NextScene, 49, 30200, 58},           // any other key ends the double press
      {SceneKey::RestartScene, 58, 30400, 58},
      {SceneKey::RestartPresentation, 80, 40000, 0},
      {SceneKey::NextScene, 91, 50000, kEndOrder},    // past the ending: the end of the run
  };
  for (const auto& p : presses) {
    EXPECT_EQ(sceneKeyTarget(p.key, p.order, p.ms, memory), p.target) << "at " << p.ms << " ms";
  }
}

// A start leaves the director as a fresh run has it, the end order in place, and g_time at the clock
// time where the start order begins.
TEST(StartPosition, ResetsTheDirectorAndPutsTheTimeAtTheStart) {
  music_build();
  const int32_t rowSamples = g_sequencer.rowSamples();
  setPlayRange(PlayRange{30, 60});
  for (const int32_t order : {41, 24, 0}) {
    g_director.lastRow = 600;
    g_director.gammaFade.begin();
    g_director.flashFade.begin();
    g_director.zoomStart = 12.0f;
    g_director.tunnelFlashPending = order > 24;  // the opposite of what the start must leave
    const float from = startPresentationAt(order);
    EXPECT_EQ(g_director.lastRow, -1);
    EXPECT_EQ(g_director.gammaFade.active, 0);
    EXPECT_EQ(g_director.flashFade.active, 0);
    EXPECT_EQ(g_director.zoomStart, -1.0f);
    EXPECT_EQ(g_director.tunnelFlashPending, order <= 24) << "order " << order;
    EXPECT_EQ(g_director.endOrder, 60);
    EXPECT_EQ(music_startBytes(), musicStartBytes(order, rowSamples));
    EXPECT_EQ(from, musicSecondsAt(music_startBytes()));
    EXPECT_EQ(g_time, from);
    // The clock reads the start order from there, and the order before it one byte earlier.
    if (order > 0) {
      EXPECT_EQ(musicOrderAt(music_startBytes(), rowSamples), order);
      EXPECT_EQ(musicOrderAt(music_startBytes() - 1, rowSamples), order - 1);
    }
  }
  EXPECT_EQ(g_time, 0.0f);  // order 0: a whole run's start
  music_close();            // forgets the start
  EXPECT_EQ(music_startBytes(), 0);
  setPlayRange(PlayRange{});
}

}  // namespace
