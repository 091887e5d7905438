// Every texture operation the device reports in TextureOpCaps, checked against its worked value on
// both pixel paths (four-pixel groups and one pixel at a time): a reported op with no row here fails.
// Also: as many stages as MaxTextureBlendStages are evaluated, the BOTH* source blends, and a 16-bit
// target with blending off writes the source as it is.
#include "compat/d3d8/pixel_routine.h"
#include "raster_fixture.h"

namespace {

class RasterCascadeOps : public RasterTest {
 protected:
  void TearDown() override {
    d3d8compat::setPixelGroups(true);
    RasterTest::TearDown();
  }
};

// Each channel within one step of the expected word (the float rule, rounded at the write).
void expectNear(D3DCOLOR actual, D3DCOLOR expected) {
  for (int c = 0; c < 4; ++c) {
    EXPECT_NEAR(channel(actual, c), channel(expected, c), 1) << std::hex << "got 0x" << actual << ", want 0x" << expected;
  }
}

// Texel T = 0x40C06020 (alpha 0.251), diffuse D = 0x803090F0 (alpha 0.502), TEXTUREFACTOR alpha 0x66
// (0.4). Colour ops read (T, D) in stage 0, worked per channel r, g, b from T (192, 96, 32) and
// D (48, 144, 240); alpha is SELECTARG1(TEXTURE) = 0x40:
//   MODULATE T*D/255 = 36.1, 54.2, 30.1; 2X and 4X double and quadruple that (4X: 144.6, 216.8, 120.5);
//   ADD saturates blue (272); ADDSIGNED T + D - 127.5 = 112.5, 112.5, 144.5; 2X doubles (225, 225, 289);
//   SUBTRACT 144, 0, 0; ADDSMOOTH T + D - T*D/255 = 203.9, 185.8, 241.9;
//   BLENDTEXTUREALPHA T*0.251 + D*0.749 = 84.1, 132.0, 187.8; BLENDDIFFUSEALPHA with 0.502: 120.3, 119.9,
//   135.6; BLENDFACTORALPHA with 0.4: 105.6, 124.8, 156.8. BLENDCURRENTALPHA runs in stage 1, after a
//   stage 0 that passes D with alpha TFACTOR (0.4): the same 105.6, 124.8, 156.8, alpha 0x66.
//   DISABLE in stage 0 leaves the diffuse colour, alpha included.
struct OpCase {
  DWORD cap;
  DWORD op;
  bool inStage1;
  D3DCOLOR expected;
};
const OpCase kOps[] = {
    {D3DTEXOPCAPS_DISABLE, D3DTOP_DISABLE, false, 0x803090F0},
    {D3DTEXOPCAPS_SELECTARG1, D3DTOP_SELECTARG1, false, 0x40C06020},
    {D3DTEXOPCAPS_SELECTARG2, D3DTOP_SELECTARG2, false, 0x403090F0},
    {D3DTEXOPCAPS_MODULATE, D3DTOP_MODULATE, false, D3DCOLOR_ARGB(0x40, 36, 54, 30)},
    {D3DTEXOPCAPS_MODULATE2X, D3DTOP_MODULATE2X, false, D3DCOLOR_ARGB(0x40, 72, 108, 60)},
    {D3DTEXOPCAPS_MODULATE4X, D3DTOP_MODULATE4X, false, D3DCOLOR_ARGB(0x40, 145, 217, 120)},
    {D3DTEXOPCAPS_ADD, D3DTOP_ADD, false, D3DCOLOR_ARGB(0x40, 240, 240, 255)},
    {D3DTEXOPCAPS_ADDSIGNED, D3DTOP_ADDSIGNED, false, D3DCOLOR_ARGB(0x40, 113, 113, 145)},
    {D3DTEXOPCAPS_ADDSIGNED2X, D3DTOP_ADDSIGNED2X, false, D3DCOLOR_ARGB(0x40, 225, 225, 255)},
    {D3DTEXOPCAPS_SUBTRACT, D3DTOP_SUBTRACT, false, D3DCOLOR_ARGB(0x40, 144, 0, 0)},
    {D3DTEXOPCAPS_ADDSMOOTH, D3DTOP_ADDSMOOTH, false, D3DCOLOR_ARGB(0x40, 204, 186, 242)},
    {D3DTEXOPCAPS_BLENDTEXTUREALPHA, D3DTOP_BLENDTEXTUREALPHA, false, D3DCOLOR_ARGB(0x40, 84, 132, 188)},
    {D3DTEXOPCAPS_BLENDDIFFUSEALPHA, D3DTOP_BLENDDIFFUSEALPHA, false, D3DCOLOR_ARGB(0x40, 120, 120, 136)},
    {D3DTEXOPCAPS_BLENDFACTORALPHA, D3DTOP_BLENDFACTORALPHA, false, D3DCOLOR_ARGB(0x40, 106, 125, 157)},
    {D3DTEXOPCAPS_BLENDCURRENTALPHA, D3DTOP_BLENDCURRENTALPHA, true, D3DCOLOR_ARGB(0x66, 106, 125, 157)},
};

TEST_F(RasterCascadeOps, EveryReportedTextureOpHasItsWorkedValue) {
  D3DCAPS8 caps{};
  ASSERT_EQ(device_->GetDeviceCaps(&caps), D3D_OK);
  IDirect3DTexture8* texel = makeTexture(1, 1, D3DFMT_A8R8G8B8, {{0x40C06020}});
  device_->SetRenderState(D3DRS_TEXTUREFACTOR, 0x66FFFFFF);
  for (DWORD bit = 1; bit != 0; bit <<= 1) {
    if ((caps.TextureOpCaps & bit) == 0) continue;
    const OpCase* found = nullptr;
    for (const OpCase& c : kOps) found = c.cap == bit ? &c : found;
    if (found == nullptr) {
      ADD_FAILURE() << "TextureOpCaps reports 0x" << std::hex << bit << " but nothing here checks it";
      continue;
    }
    const OpCase& c = *found;
    const DWORD stage = c.inStage1 ? 1 : 0;
    device_->SetTexture(0, c.inStage1 ? nullptr : texel);
    device_->SetTexture(1, c.inStage1 ? texel : nullptr);
    if (c.inStage1) {
      device_->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
      device_->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_DIFFUSE);
      device_->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_SELECTARG1);
      device_->SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_TFACTOR);
    }
    device_->SetTextureStageState(stage, D3DTSS_COLOROP, c.op);
    device_->SetTextureStageState(stage, D3DTSS_COLORARG1, D3DTA_TEXTURE);
    device_->SetTextureStageState(stage, D3DTSS_COLORARG2, D3DTA_DIFFUSE);
    device_->SetTextureStageState(stage, D3DTSS_ALPHAOP, c.inStage1 ? D3DTOP_DISABLE : D3DTOP_SELECTARG1);
    device_->SetTextureStageState(stage, D3DTSS_ALPHAARG1, D3DTA_TEXTURE);
    device_->SetTextureStageState(stage + 1, D3DTSS_COLOROP, D3DTOP_DISABLE);
    for (int groups = 0; groups < 2; ++groups) {
      SCOPED_TRACE(testing::Message() << "op " << c.op << (groups != 0 ? ", groups" : ", one pixel"));
      d3d8compat::setPixelGroups(groups != 0);
      clear(0xFF000000);
      drawQuad(0, 0, 8, 8, 0x803090F0);
      expectNear(pixel(3, 3), c.expected);
    }
  }
}

// The alpha op blends too: BLENDTEXTUREALPHA(TFACTOR 0x66, DIFFUSE 0x80) by the texel's 0.251 is
// 102 * 0.251 + 128 * 0.749 = 121.5, while the colour op selects the texel.
TEST_F(RasterCascadeOps, AlphaOpBlendsByTheTexelAlpha) {
  device_->SetTexture(0, makeTexture(1, 1, D3DFMT_A8R8G8B8, {{0x40C06020}}));
  device_->SetRenderState(D3DRS_TEXTUREFACTOR, 0x66FFFFFF);
  device_->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
  device_->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_BLENDTEXTUREALPHA);
  device_->SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_TFACTOR);
  device_->SetTextureStageState(0, D3DTSS_ALPHAARG2, D3DTA_DIFFUSE);
  drawQuad(0, 0, 8, 8, 0x803090F0);
  expectNear(pixel(3, 3), 0x79C06020);
}

// Each of the MaxTextureBlendStages stages adds TEXTUREFACTOR 0x20 to black: the last one evaluated
// leaves 0x20 times the reported count, so a count larger than what the cascade runs fails.
TEST_F(RasterCascadeOps, AsManyStagesAsReportedAreEvaluated) {
  D3DCAPS8 caps{};
  ASSERT_EQ(device_->GetDeviceCaps(&caps), D3D_OK);
  ASSERT_GE(caps.MaxTextureBlendStages, 2u);
  EXPECT_LE(caps.MaxSimultaneousTextures, caps.MaxTextureBlendStages);
  device_->SetRenderState(D3DRS_TEXTUREFACTOR, 0xFF202020);
  for (DWORD s = 0; s < caps.MaxTextureBlendStages; ++s) {
    device_->SetTextureStageState(s, D3DTSS_COLOROP, D3DTOP_ADD);
    device_->SetTextureStageState(s, D3DTSS_COLORARG1, D3DTA_CURRENT);
    device_->SetTextureStageState(s, D3DTSS_COLORARG2, D3DTA_TFACTOR);
    device_->SetTextureStageState(s, D3DTSS_ALPHAOP, D3DTOP_SELECTARG1);
    device_->SetTextureStageState(s, D3DTSS_ALPHAARG1, D3DTA_DIFFUSE);
  }
  drawQuad(0, 0, 8, 8, 0xFF000000);
  const int expected = static_cast<int>(0x20 * caps.MaxTextureBlendStages);
  EXPECT_EQ(channel(pixel(3, 3), 2), std::min(expected, 255));
}

// BOTHSRCALPHA takes SRCALPHA / INVSRCALPHA whatever DESTBLEND says, BOTHINVSRCALPHA the reverse:
// source 0x40FF0000 (As 0.251) over blue 0xFF0000FF gives r 64, b 191, then r 191, b 64.
TEST_F(RasterCascadeOps, BothSourceAlphaBlendsSetBothFactors) {
  device_->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
  device_->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_ZERO);
  device_->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_BOTHSRCALPHA);
  clear(0xFF0000FF);
  drawQuad(0, 0, 8, 8, 0x40FF0000);
  expectNear(pixel(3, 3) & 0x00FFFFFF, 0x004000BF);
  device_->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_BOTHINVSRCALPHA);
  clear(0xFF0000FF);
  drawQuad(0, 0, 8, 8, 0x40FF0000);
  expectNear(pixel(3, 3) & 0x00FFFFFF, 0x00BF0040);
}

// An R5G6B5 target with ALPHABLENDENABLE off but SRCALPHA / INVSRCALPHA left set: the source is written
// as it is (red 0x80FF0000 -> 0xF800), not blended over the cleared blue.
TEST_F(RasterCascadeOps, SixteenBitTargetWithBlendingOffWritesTheSource) {
  ASSERT_NE(drawToNewTexture(16, 16, D3DFMT_R5G6B5), nullptr);
  device_->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
  device_->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
  clear(0xFF0000FF);
  drawQuad(0, 0, 8, 8, 0x80FF0000);
  EXPECT_EQ(pixelAt(*state().renderTarget, 3, 3), 0xF800u);
}

}  // namespace
