// The scenes drawn on the headless device after the real start-up: what each leaves on the camera,
// the lights and the picture, and the frame they leave for the next scene.
#include <gtest/gtest.h>

#include <cmath>

#include "compat/d3d8/d3d8_host.h"
#include "compat/d3d8/surface.h"
#include "compat/win32/headless.h"
#include "director/demo.h"
#include "director/scenes.h"
#include "frame_sync_at.h"
#include "platform/graphics.h"

namespace {

class Scenes : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    win32compat::resetUser32ForTests();
    win32compat::setHeadless(true);
    ASSERT_EQ(initGraphics("ZAQ", 640, 480, 0, 32), 1);
    startUp();
  }
  static void TearDownTestSuite() {
    shutDown();
    win32compat::resetUser32ForTests();
  }

  // Share of back-buffer pixels with any light in them, and of clearly warm and clearly cool ones.
  struct Light {
    double lit = 0, warm = 0, cool = 0;
  };
  static Light backBufferLight() {
    const d3d8compat::Surface& back = *d3d8compat::deviceState(g_device).backBuffer;
    Light l;
    for (UINT y = 0; y < back.height(); ++y) {
      const auto* row = reinterpret_cast<const uint32_t*>(back.row(y));
      for (UINT x = 0; x < back.width(); ++x) {
        const int r = (row[x] >> 16) & 0xFF, g = (row[x] >> 8) & 0xFF, b = row[x] & 0xFF;
        if (r + g + b > 24) l.lit += 1;
        if (r > b + 40) l.warm += 1;
        if (b > r + 40) l.cool += 1;
      }
    }
    const double n = static_cast<double>(back.width()) * back.height();
    return {l.lit / n, l.warm / n, l.cool / n};
  }

  static void frame(SceneId scene, const FrameSync& sync) {
    beginFrame(0);
    drawScene(scene, sync);
    g_device->EndScene();
  }
};

TEST_F(Scenes, TheBoxIsSeenFromFourTimesAsFarFromOrder40On) {
  frame(SCENE_BOX, frameSyncAt(30.0f, 15 * 16 + 3));
  EXPECT_EQ(g_scene.camera->eye.z, -2.5f);
  const Light near = backBufferLight();
  frame(SCENE_BOX, frameSyncAt(30.0f, 74 * 16 + 3));
  EXPECT_EQ(g_scene.camera->eye.z, -10.5f);
  const Light far = backBufferLight();
  // Same time, same box: the farther one covers less of the screen.
  EXPECT_GT(near.lit, far.lit);
  // The world matrix carries the bob: translation (sin 3.2t, -cos 2.3t, 0).
  const D3DMATRIX& world = d3d8compat::deviceState(g_device).world;
  EXPECT_NEAR(world._41, std::sin(3.2 * 30.0), 1e-4);
  EXPECT_NEAR(world._42, -std::cos(2.3 * 30.0), 1e-4);
  EXPECT_EQ(world._43, 0.0f);
  EXPECT_FALSE(g_renderingToTexture);
}

// Light 0 as the device holds it (never set: all zero).
D3DLIGHT8 lightZero() {
  const d3d8compat::LightSlot* slot = d3d8compat::findLight(d3d8compat::deviceState(g_device), 0);
  return slot != nullptr ? slot->light : D3DLIGHT8{};
}

TEST_F(Scenes, TheTunnelAlternatesSolidAndPointsEveryFourRows) {
  // Rows 388..391 (bit 2 set) show points: the lights are not touched.
  const D3DLIGHT8 before = lightZero();
  frame(SCENE_TUNNEL, frameSyncAt(51.0f, 24 * 16 + 5));
  const D3DLIGHT8 afterPoints = lightZero();
  EXPECT_EQ(afterPoints.Direction.x, before.Direction.x);
  EXPECT_EQ(afterPoints.Direction.y, before.Direction.y);
  const Light points = backBufferLight();

  // Row 392 (bit 2 clear): the lit tube; light 0 points from (cos 1.6t, 1, 1).
  const float t = 52.0f;
  frame(SCENE_TUNNEL, frameSyncAt(t, 24 * 16 + 8));
  const D3DLIGHT8 warm = lightZero();
  const Vec3 toLight = Vec3{static_cast<float>(std::cos(1.6f * t)), 1.0f, 1.0f}.normalized();
  EXPECT_NEAR(warm.Direction.x, -toLight.x, 1e-5);
  EXPECT_NEAR(warm.Direction.z, -toLight.z, 1e-5);
  const Light solid = backBufferLight();
  EXPECT_GT(solid.lit, 0.5) << "the tube's wall fills most of the screen";
  EXPECT_GT(solid.warm, 0.05) << "the orange light";
  EXPECT_GT(solid.cool, 0.004) << "the blue light";
  EXPECT_LT(points.lit, solid.lit);
  EXPECT_EQ(g_scene.sprites->count(), 0) << "the dust sprites were flushed";
}

TEST_F(Scenes, TheHelixDrawsFiveHundredSpritesInOneBatch) {
  const FrameSync sync = frameSyncAt(90.0f, 44 * 16);
  fillHelix(*g_scene.sprites, sync.time);
  EXPECT_EQ(g_scene.sprites->count(), 500);
  g_scene.sprites->flush();
  frame(SCENE_HELIX, sync);
  EXPECT_EQ(g_scene.sprites->count(), 0);
  EXPECT_GT(backBufferLight().lit, 0.1);
}

TEST_F(Scenes, BannerLinesMeetInTheMiddleAtHalfWave) {
  const BannerColumns half = bannerColumns(0.5f);
  EXPECT_FLOAT_EQ(half.a, 0.5f);
  EXPECT_FLOAT_EQ(half.b, 0.5f);
  const BannerColumns start = bannerColumns(0.0f);
  EXPECT_FLOAT_EQ(start.a, 2.6f);
  EXPECT_FLOAT_EQ(start.b, -1.6f);
}

TEST_F(Scenes, EveryScenePutsTheBackBufferBackAsTarget) {
  const SceneId all[] = {SCENE_SCROLLER, SCENE_BOX, SCENE_ZOOM, SCENE_TUNNEL,
                         SCENE_BANNERS,  SCENE_HELIX, SCENE_ENDING};
  for (SceneId scene : all) {
    frame(scene, frameSyncAt(60.0f, 90 * 16));
    EXPECT_FALSE(g_renderingToTexture) << scene;
    const d3d8compat::DeviceState& state = d3d8compat::deviceState(g_device);
    EXPECT_EQ(state.renderTarget, state.backBuffer) << scene;
    EXPECT_EQ(currentTargetWidth(), 640) << scene;
  }
}

}  // namespace
