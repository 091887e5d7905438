// The feedback blur: rotation of coordinate pairs, target switching, and the pass structure as the
// device sees it (which target is drawn, which is sampled, ADD on the last passes, one random draw per
// pass, the halved zoom in the composite, the states left behind), plus a flat image through the passes.
#include <gtest/gtest.h>

#include <cstring>

#include "engine3d/feedback.h"
#include "engine3d/random.h"
#include "engine_fixture.h"

namespace {

class FeedbackTest : public EngineDeviceTest {
 protected:
  static ScreenVertex corner(const RecordedDraw& draw, int i) {
    ScreenVertex v;
    std::memcpy(&v, draw.vertices.data() + static_cast<size_t>(i) * draw.stride, sizeof v);
    return v;
  }
  const d3d8compat::Surface* backBuffer() const { return state().backBuffer; }
  static const d3d8compat::Surface* target(int k) { return levelZero(feedbackTarget(k)); }
  static const d3d8compat::Texture* targetTexture(int k) { return impl(feedbackTarget(k)); }
};

}  // namespace

TEST(RotateAround, QuarterTurnAboutTheCentre) {
  float uv[2] = {1.0f, 0.5f};
  rotateAround(uv, 0.0f, 0.5f, 0.5f);
  EXPECT_EQ(uv[0], 1.0f);
  EXPECT_EQ(uv[1], 0.5f);
  rotateAround(uv, 1.5707964f, 0.5f, 0.5f);
  EXPECT_NEAR(uv[0], 0.5f, 1e-6f);
  EXPECT_NEAR(uv[1], 1.0f, 1e-6f);
  float corner[2] = {0.0f, 0.0f};
  rotateAround(corner, 1.5707964f, 0.25f, 0.5f);  // (-0.25, -0.5) turns to (0.5, -0.25)
  EXPECT_NEAR(corner[0], 0.75f, 1e-6f);
  EXPECT_NEAR(corner[1], 0.25f, 1e-6f);
}

TEST_F(FeedbackTest, TargetsSwitchTheRenderTargetAndItsReportedSize) {
  renderToTarget(1);
  EXPECT_EQ(state().renderTarget, target(1));
  EXPECT_EQ(currentTargetWidth(), 256);
  EXPECT_EQ(currentTargetHeight(), 256);
  restoreRenderTarget();
  EXPECT_EQ(state().renderTarget, backBuffer());
  EXPECT_EQ(currentTargetWidth(), 640);
  EXPECT_EQ(currentTargetHeight(), 480);

  renderToTarget(0);
  g_device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF123456, 1.0f, 0);
  beginFeedbackFrame();
  EXPECT_EQ(state().renderTarget, target(0));
  EXPECT_EQ(pixel(*target(0), 17, 200), 0xFF000000u);
  restoreRenderTarget();
}

TEST_F(FeedbackTest, PassesAlternateTargetsAndTheLastOnesAdd) {
  seedRandom(1234);
  const uint32_t r0 = nextRandom(), r1 = nextRandom(), r2 = nextRandom(), after = nextRandom();
  seedRandom(1234);
  recordDraws();
  IDirect3DTexture8* result = applyFeedbackBlur(3, 2, 0.4f, 0.5f, 0.25f, 0.3f);
  ASSERT_EQ(draws_.size(), 4u);
  const int drawn[3] = {1, 0, 1};
  const uint32_t colors[3] = {r0 | 0xFF000000, r1 | 0xFF000000, r2 | 0xFF000000};
  for (int i = 0; i < 3; ++i) {
    const RecordedDraw& pass = draws_[i];
    SCOPED_TRACE(i);
    EXPECT_EQ(pass.target, target(drawn[i]));
    EXPECT_EQ(pass.textures[0], targetTexture(1 - drawn[i]));
    EXPECT_EQ(pass.textures[1], targetTexture(1 - drawn[i]));
    EXPECT_EQ(pass.stageStates[1][D3DTSS_COLOROP],
              static_cast<DWORD>(i == 0 ? D3DTOP_BLENDFACTORALPHA : D3DTOP_ADD));
    EXPECT_EQ(pass.stageStates[0][D3DTSS_COLOROP], static_cast<DWORD>(D3DTOP_SELECTARG1));
    EXPECT_EQ(pass.stageStates[0][D3DTSS_ADDRESSU], static_cast<DWORD>(D3DTADDRESS_CLAMP));
    EXPECT_EQ(pass.stageStates[1][D3DTSS_ADDRESSV], static_cast<DWORD>(D3DTADDRESS_CLAMP));
    EXPECT_EQ(pass.renderStates[D3DRS_TEXTUREFACTOR], 0x80808080u);
    EXPECT_EQ(pass.renderStates[D3DRS_ZENABLE], static_cast<DWORD>(FALSE));
    EXPECT_EQ(pass.renderStates[D3DRS_ALPHABLENDENABLE], static_cast<DWORD>(FALSE));
    EXPECT_EQ(pass.fvf, 0x244u);
    EXPECT_EQ(pass.type, D3DPT_TRIANGLEFAN);
    EXPECT_EQ(corner(pass, 0).color, colors[i]);
    EXPECT_EQ(corner(pass, 2).x, 256.0f);
    EXPECT_EQ(corner(pass, 2).y, 256.0f);
    EXPECT_EQ(corner(pass, 2).u0, 1.0f);
  }
  EXPECT_EQ(nextRandom(), after);  // exactly one draw per pass

  const RecordedDraw& composite = draws_[3];
  EXPECT_EQ(composite.target, backBuffer());
  EXPECT_EQ(composite.textures[0], targetTexture(1));
  EXPECT_EQ(result, feedbackTarget(1));
  EXPECT_EQ(composite.renderStates[D3DRS_ALPHABLENDENABLE], static_cast<DWORD>(TRUE));
  EXPECT_EQ(composite.renderStates[D3DRS_SRCBLEND], static_cast<DWORD>(D3DBLEND_ONE));
  EXPECT_EQ(composite.renderStates[D3DRS_DESTBLEND], static_cast<DWORD>(D3DBLEND_ONE));
  EXPECT_EQ(corner(composite, 0).color, 0xFF3F7FCFu);
  EXPECT_EQ(corner(composite, 2).x, 640.0f);
  EXPECT_EQ(corner(composite, 2).y, 480.0f);
  // The composite's window uses the zoom halved three times (0.05), unturned: left = 1 - 1/1.025 + 0.0035,
  // top = 1 - 1/1.0125 + 0.0035, right = 1/1.025 - 0.0035, bottom = 1/1.0375 - 0.0035.
  EXPECT_NEAR(corner(composite, 0).u1, 0.0278902f, 1e-6f);
  EXPECT_NEAR(corner(composite, 0).v1, 0.0158457f, 1e-6f);
  EXPECT_NEAR(corner(composite, 2).u1, 0.9721098f, 1e-6f);
  EXPECT_NEAR(corner(composite, 2).v1, 0.9603554f, 1e-6f);
}

TEST_F(FeedbackTest, EachPassHalvesZoomAndTwist) {
  recordDraws();
  applyFeedbackBlur(2, 0, 1.0f, 0.5f, 0.5f, 1.5707964f);
  ASSERT_EQ(draws_.size(), 3u);
  // Pass 0: zoom terms 0.5 give left = top = 1 - 1/1.5 + 0.0035 = 0.3368333; a quarter turn about the
  // centre sends the top-left corner to (0.6631667, 0.3368333).
  EXPECT_NEAR(corner(draws_[0], 0).u1, 0.6631667f, 1e-5f);
  EXPECT_NEAR(corner(draws_[0], 0).v1, 0.3368333f, 1e-5f);
  // Pass 1: zoom 0.5 (terms 0.25): left = top = 0.2035, turned by an eighth about the centre.
  const float dx = 0.2035f - 0.5f, c = 0.70710677f;
  EXPECT_NEAR(corner(draws_[1], 0).u1, 0.5f + dx * c - dx * c, 1e-5f);
  EXPECT_NEAR(corner(draws_[1], 0).v1, 0.5f + dx * c + dx * c, 1e-5f);
  EXPECT_EQ(draws_[1].stageStates[1][D3DTSS_COLOROP], static_cast<DWORD>(D3DTOP_BLENDFACTORALPHA));
}

TEST_F(FeedbackTest, NoPassesCompositesTargetZeroAndDrawsNoRandom) {
  seedRandom(99);
  const uint32_t first = nextRandom();
  seedRandom(99);
  recordDraws();
  IDirect3DTexture8* result = applyFeedbackBlur(0, 0, 0.4f, 0.5f, 0.5f, 0.0f);
  ASSERT_EQ(draws_.size(), 1u);
  EXPECT_EQ(draws_[0].target, backBuffer());
  EXPECT_EQ(draws_[0].textures[0], targetTexture(0));
  EXPECT_EQ(result, feedbackTarget(0));
  EXPECT_EQ(nextRandom(), first);
}

TEST_F(FeedbackTest, LeavesTheDocumentedStatesBehind) {
  setRenderState(D3DRS_LIGHTING, TRUE);
  setRenderState(D3DRS_CULLMODE, D3DCULL_CCW);
  beginFeedbackFrame();
  applyFeedbackBlur(2, 1, 0.4f, 0.5f, 0.5f, 0.3f);
  EXPECT_EQ(state().renderTarget, backBuffer());
  EXPECT_FALSE(g_renderingToTexture);
  EXPECT_EQ(renderState(D3DRS_ZENABLE), static_cast<DWORD>(TRUE));
  EXPECT_EQ(renderState(D3DRS_ALPHABLENDENABLE), static_cast<DWORD>(FALSE));
  EXPECT_EQ(renderState(D3DRS_LIGHTING), static_cast<DWORD>(FALSE));
  EXPECT_EQ(renderState(D3DRS_CULLMODE), static_cast<DWORD>(D3DCULL_NONE));
  EXPECT_EQ(renderState(D3DRS_SRCBLEND), static_cast<DWORD>(D3DBLEND_ONE));
  EXPECT_EQ(renderState(D3DRS_DESTBLEND), static_cast<DWORD>(D3DBLEND_ONE));
  EXPECT_EQ(stageState(0, D3DTSS_COLOROP), static_cast<DWORD>(D3DTOP_MODULATE));
  EXPECT_EQ(stageState(0, D3DTSS_COLORARG2), static_cast<DWORD>(D3DTA_DIFFUSE));
  EXPECT_EQ(stageState(1, D3DTSS_COLOROP), static_cast<DWORD>(D3DTOP_DISABLE));
  EXPECT_EQ(stageState(1, D3DTSS_ALPHAOP), static_cast<DWORD>(D3DTOP_DISABLE));
  for (DWORD s = 0; s < 2; ++s) {
    EXPECT_EQ(stageState(s, D3DTSS_ADDRESSU), static_cast<DWORD>(D3DTADDRESS_WRAP));
    EXPECT_EQ(stageState(s, D3DTSS_ADDRESSV), static_cast<DWORD>(D3DTADDRESS_WRAP));
    EXPECT_EQ(state().textures[s], nullptr);
  }
}

TEST_F(FeedbackTest, AFlatImageKeepsItsLevelThenTheAddingPassDoublesIt) {
  // Averaging a flat grey with itself keeps it; the last pass adds it to itself. The composite draws
  // with stage 1 still adding, so it doubles once more over the black screen.
  g_device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000, 1.0f, 0);
  beginFeedbackFrame();
  g_device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF202020, 1.0f, 0);
  IDirect3DTexture8* result = applyFeedbackBlur(4, 1, 0.4f, 0.5f, 0.5f, 0.2f);
  const uint32_t last = pixel(*levelZero(result), 128, 128);
  const uint32_t beforeLast = pixel(*levelZero(feedbackTarget(result == feedbackTarget(0) ? 1 : 0)), 128, 128);
  const uint32_t screen = pixel(*backBuffer(), 320, 240);
  for (int c = 0; c < 3; ++c) {
    EXPECT_NEAR(static_cast<int>((beforeLast >> (8 * c)) & 0xFF), 0x20, 1) << "channel " << c;
    EXPECT_NEAR(static_cast<int>((last >> (8 * c)) & 0xFF), 0x40, 2) << "channel " << c;
    EXPECT_NEAR(static_cast<int>((screen >> (8 * c)) & 0xFF), 0x80, 4) << "channel " << c;
  }
}
