// Presets, fades, the fade overlay and the gamma effect: the fade ramp over time, the overlay's alpha
// clamping and colour, the ramp's posterised levels and its noise drawn from the thread's rand, and the
// ramp reaching the presented frame.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>

#include "director/demo.h"
#include "engine3d/presets.h"
#include "engine_fixture.h"
#include "music/mono_synth.h"
#include "music/thread_rand.h"

namespace {

using PresetsTest = EngineDeviceTest;

// The C library's rand recurrence, written out independently of the music side's.
struct Lcg {
  uint32_t state = 1;
  int next() {
    state = state * 214013u + 2531011u;
    return static_cast<int>((state >> 16) & 0x7FFF);
  }
};

uint32_t overlayColor(const RecordedDraw& draw) {
  uint32_t color;
  std::memcpy(&color, draw.vertices.data() + 16, sizeof color);  // x, y, z, rhw, colour
  return color;
}

class GammaRampTest : public ::testing::Test {
 protected:
  void SetUp() override { seedThreadRand(kThreadRandStart); }
  void TearDown() override {
    synth_coin.store(0, std::memory_order_relaxed);
    seedThreadRand(kThreadRandStart);
  }
};

}  // namespace

TEST(FadeLevel, InactiveStartedAndRunOut) {
  Fade fade;
  fade.duration = 0.3f;
  g_time = 10.0f;
  EXPECT_EQ(fade.level(), 0.0f);
  fade.begin();
  EXPECT_EQ(fade.start, 10.0f);
  EXPECT_EQ(fade.active, 1);
  EXPECT_FLOAT_EQ(fade.level(), 1.0f);
  g_time = 10.15f;
  EXPECT_NEAR(fade.level(), 0.5f, 1e-5f);
  g_time = 10.3f;
  EXPECT_NEAR(fade.level(), 0.0f, 1e-5f);
  g_time = 50.0f;
  EXPECT_EQ(fade.level(), 0.0f);
  g_time = 9.0f;  // before its start the ramp is clamped to 1
  EXPECT_EQ(fade.level(), 1.0f);

  Fade instant;  // an active fade of no length is never NaN
  instant.begin();
  EXPECT_EQ(instant.level(), 0.0f);
  g_time = 0.0f;
}

TEST_F(PresetsTest, FadeOverlayClampsAlphaAndKeepsOnlyTheRgbOfItsColour) {
  recordDraws();
  drawFadeOverlay(0, 0, 1, 1, 0x12345678u, 1.5f);
  drawFadeOverlay(0, 0, 1, 1, 0x00FFFFFFu, -1.0f);
  drawFadeOverlay(0, 0, 1, 1, 0xFFFFFFFFu, 0.5f);
  drawFadeOverlay(0.25f, 0, 1, 1, 0x00000010u, std::numeric_limits<float>::quiet_NaN());
  ASSERT_EQ(draws_.size(), 4u);
  EXPECT_EQ(overlayColor(draws_[0]), 0xFF345678u);
  EXPECT_EQ(overlayColor(draws_[1]), 0x00FFFFFFu);
  EXPECT_EQ(overlayColor(draws_[2]), 0x7FFFFFFFu);  // 127.5 truncated
  EXPECT_EQ(overlayColor(draws_[3]), 0x00000010u);
  float x0;
  std::memcpy(&x0, draws_[3].vertices.data(), sizeof x0);
  EXPECT_EQ(x0, 160.0f);  // a quarter of the 640-pixel back buffer
}

TEST_F(GammaRampTest, WithTheCoinClearRedAndBlueArePosterisedAndGreenIsNoise) {
  D3DGAMMARAMP ramp;
  buildGammaRamp(0.7, ramp);
  Lcg lcg;
  for (int i = 0; i < 256; ++i) {
    const WORD level = i < 52 ? 0 : i < 103 ? 26214 : i < 154 ? 32767 : 65535;
    EXPECT_EQ(ramp.red[i], level) << "entry " << i;
    EXPECT_EQ(ramp.blue[i], level) << "entry " << i;
    EXPECT_EQ(ramp.green[i], lcg.next()) << "entry " << i;
    lcg.next();  // the blend draw, unused while the coin is clear
  }
  EXPECT_EQ(threadRand(), lcg.next());  // two draws per entry, no more
}

TEST_F(GammaRampTest, WithTheCoinSetRedAndBlueBlendTowardsNoise) {
  synth_coin.store(1, std::memory_order_relaxed);
  D3DGAMMARAMP ramp;
  const double x = 0.25;
  buildGammaRamp(x, ramp);
  Lcg lcg;
  for (int i = 0; i < 256; ++i) {
    const double level = i < 52 ? 0.0 : i < 103 ? 0.4 * 65535 : i < 154 ? 0.5 * 65535 : 65535.0;
    lcg.next();  // the noise green, replaced below
    const int r = lcg.next();
    EXPECT_EQ(ramp.red[i], static_cast<WORD>(r * x + (1.0 - x) * level)) << "entry " << i;
    EXPECT_EQ(ramp.blue[i], ramp.red[i]);
    EXPECT_EQ(ramp.green[i], lcg.next()) << "entry " << i;
  }
}

TEST_F(PresetsTest, TheGammaEffectReachesThePresentedFrame) {
  seedThreadRand(kThreadRandStart);
  synth_coin.store(0, std::memory_order_relaxed);
  // Red 60 (posterised to 26214 >> 8 = 102), green 110 (noise), blue 180 (65535 >> 8 = 255).
  g_device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF3C6EB4, 1.0f, 0);
  setGammaEffect(0.0);
  g_device->Present(nullptr, nullptr, nullptr, nullptr);
  Lcg lcg;
  int green = 0;
  for (int i = 0; i <= 110; ++i) {
    green = lcg.next();
    lcg.next();
  }
  ASSERT_EQ(sink_.frame.size(), 640u * 480u);
  EXPECT_EQ(sink_.frame[1000], 0xFF000000u | 102u << 16 | static_cast<uint32_t>(green >> 8) << 8 | 255u);
  seedThreadRand(kThreadRandStart);
}
