// The group routines' lean cascade against the full one: every op the usual routines evaluate, with
// plain, merged, complemented and alpha-replicated arguments, in one and two stages, must give the same
// bits for inputs spread over 0..1 (including 0, 1 and values just past them). A lean form that drops a
// term which is not zero, or skips a multiply that is not by 1, shows up here as a differing bit.
#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "compat/d3d8/stage_cascade.h"

namespace {

using d3d8compat::Cascade;
using d3d8compat::CascadeBlend;
using d3d8compat::DeviceState;
using d3d8compat::LeanForm;

const DWORD kOps[] = {D3DTOP_SELECTARG1, D3DTOP_SELECTARG2, D3DTOP_MODULATE,  D3DTOP_MODULATE2X,
                      D3DTOP_MODULATE4X, D3DTOP_ADD,        D3DTOP_ADDSIGNED, D3DTOP_ADDSIGNED2X,
                      D3DTOP_SUBTRACT,   D3DTOP_ADDSMOOTH,  D3DTOP_BLENDFACTORALPHA};
const DWORD kArgs[] = {D3DTA_TEXTURE, D3DTA_DIFFUSE, D3DTA_CURRENT, D3DTA_TFACTOR, D3DTA_TEXTURE | D3DTA_COMPLEMENT,
                       D3DTA_DIFFUSE | D3DTA_ALPHAREPLICATE};

bool sameBits(__m128 a, __m128 b) {
  float x[4], y[4];
  _mm_storeu_ps(x, a);
  _mm_storeu_ps(y, b);
  return std::memcmp(x, y, sizeof x) == 0;
}

__m128 randomColor(std::mt19937& random) {
  // Mostly inside 0..1, with the edges and slightly outside them (interpolated colours overshoot).
  std::uniform_real_distribution<float> inside(0.0f, 1.0f);
  float lanes[4];
  for (float& lane : lanes) {
    const unsigned pick = random() % 8;
    lane = pick == 0 ? 0.0f : pick == 1 ? 1.0f : pick == 2 ? 1.0f + inside(random) * 1e-3f : inside(random);
  }
  return _mm_loadu_ps(lanes);
}

class LeanCascade : public testing::Test {
 protected:
  void SetUp() override {
    d3d8compat::setCreationDefaults(state_, false, 64, 64);
    state_.textures[0] = state_.textures[1] = reinterpret_cast<d3d8compat::Texture*>(&textureStandIn_);
    state_.renderStates[D3DRS_TEXTUREFACTOR] = 0x80C0A040;
  }

  // Runs both cascades over many inputs; returns how many inputs were compared (all agreed) or -1.
  int compare(std::mt19937& random) {
    Cascade cascade;
    CascadeBlend blends[d3d8compat::kCascadeStages];
    d3d8compat::compileCascade(state_, &cascade, blends);
    if (cascade.general || cascade.count == 0) return 0;
    const __m128 factor = _mm_setr_ps(0x40 / 255.0f, 0xA0 / 255.0f, 0xC0 / 255.0f, 0x80 / 255.0f);
    for (int i = 0; i < 200; ++i) {
      const __m128 diffuse = randomColor(random);
      const __m128 textures[2] = {randomColor(random), randomColor(random)};
      const __m128 full = d3d8compat::runCascade(cascade, diffuse, factor, textures);
      const __m128 lean = d3d8compat::runLeanCascade(cascade, diffuse, factor, textures);
      if (!sameBits(full, lean)) return -1;
    }
    forms_[static_cast<int>(cascade.lean[cascade.count - 1].form)] += 1;
    return 200;
  }

  DeviceState state_{};
  int textureStandIn_ = 0;
  int forms_[5] = {0, 0, 0, 0, 0};
};

TEST_F(LeanCascade, EveryOpAndArgumentShapeGivesTheSameBits) {
  std::mt19937 random(7);
  for (const DWORD op : kOps) {
    for (const DWORD arg1 : kArgs) {
      for (const DWORD arg2 : kArgs) {
        for (int stages = 1; stages <= 2; ++stages) {
          const int s = stages - 1;
          state_.stageStates[0][D3DTSS_COLOROP] = stages == 1 ? op : D3DTOP_SELECTARG1;
          state_.stageStates[1][D3DTSS_COLOROP] = stages == 1 ? D3DTOP_DISABLE : op;
          state_.stageStates[s][D3DTSS_COLORARG1] = arg1;
          state_.stageStates[s][D3DTSS_COLORARG2] = arg2;
          // The alpha op differs from the colour op in every other case, so forms span both lanes.
          const bool sameAlpha = ((arg1 ^ arg2) & 1) == 0;
          state_.stageStates[s][D3DTSS_ALPHAOP] = sameAlpha ? op : D3DTOP_SELECTARG2;
          state_.stageStates[s][D3DTSS_ALPHAARG1] = arg2 & ~D3DTA_ALPHAREPLICATE;
          state_.stageStates[s][D3DTSS_ALPHAARG2] = arg1 & ~D3DTA_ALPHAREPLICATE;
          SCOPED_TRACE(testing::Message() << "op " << op << ", args " << arg1 << " " << arg2 << ", stages " << stages);
          ASSERT_GE(compare(random), 0);
        }
      }
    }
  }
  // Every lean form was reached, so none of them went untested.
  for (int form = 0; form < 5; ++form) EXPECT_GT(forms_[form], 0) << "form " << form;
}

// The feedback blur's two stages (averaging or adding) take the short forms, a selection then a linear
// blend, and are recognised as a texture blend whose own evaluation gives the same bits. Alpha
// replicated on stage 1's texture is not that shape.
TEST_F(LeanCascade, TheBlurStagesAreATextureBlend) {
  std::mt19937 random(11);
  const __m128 factor = _mm_set1_ps(0x80 / 255.0f);
  for (const DWORD op : {D3DTOP_BLENDFACTORALPHA, D3DTOP_ADD}) {
    for (const DWORD modifier : {DWORD{0}, DWORD{D3DTA_ALPHAREPLICATE}}) {
      SCOPED_TRACE(testing::Message() << "op " << op << ", modifier " << modifier);
      state_.stageStates[0][D3DTSS_COLOROP] = D3DTOP_SELECTARG1;
      state_.stageStates[0][D3DTSS_COLORARG1] = D3DTA_TEXTURE;
      state_.stageStates[0][D3DTSS_ALPHAARG1] = D3DTA_DIFFUSE;
      state_.stageStates[1][D3DTSS_COLOROP] = op;
      state_.stageStates[1][D3DTSS_COLORARG1] = D3DTA_TEXTURE | modifier;
      state_.stageStates[1][D3DTSS_COLORARG2] = D3DTA_CURRENT;
      Cascade cascade;
      CascadeBlend blends[d3d8compat::kCascadeStages];
      d3d8compat::compileCascade(state_, &cascade, blends);
      ASSERT_EQ(cascade.count, 2);
      EXPECT_EQ(cascade.lean[0].form, LeanForm::kSelect1);
      EXPECT_EQ(cascade.lean[1].form, LeanForm::kLinear);
      EXPECT_EQ(cascade.textureBlend, modifier == 0);
      EXPECT_EQ(compare(random), 200);
      if (!cascade.textureBlend) continue;
      for (int i = 0; i < 500; ++i) {
        const __m128 diffuse = randomColor(random);
        const __m128 textures[2] = {randomColor(random), randomColor(random)};
        const __m128 lean = d3d8compat::runLeanCascade(cascade, diffuse, factor, textures);
        const __m128 blend = d3d8compat::runTextureBlend(cascade.stages[1].k1, cascade.stages[1].k2, diffuse,
                                                         textures[0], textures[1]);
        ASSERT_TRUE(sameBits(lean, blend)) << "input " << i;
      }
    }
  }
}

}  // namespace
