// Output merge: alpha blending with both factor pairs the program uses and their saturation, the alpha
// test (ALPHAREF 2, GREATEREQUAL) writing neither colour nor depth for rejected pixels, and state blocks
// captured and applied around a draw.
#include "raster_fixture.h"

namespace {

using RasterMerge = RasterTest;

// SRCALPHA / INVSRCALPHA over blue 0xFF0000FF with source 0x80FF0000 (As = 128/255): r 255 * 128/255 = 128,
// b 255 * 127/255 = 127, a (128/255)^2 + 127/255 = 0.75 -> 191. ONE / ONE: 0x80E01010 + 0xFF102030 =
// r 0xF0, g 0x30, b 0x40, a saturated; 0x80F01010 + 0xFF202020 saturates red.
TEST_F(RasterMerge, BlendingAndSaturation) {
  device_->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
  device_->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
  device_->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
  clear(0xFF0000FF);
  drawQuad(0, 0, 2, 2, 0x80FF0000);
  EXPECT_EQ(pixel(0, 0), 0xBF80007Fu);

  device_->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_ONE);
  device_->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_ONE);
  clear(0xFF102030);
  drawQuad(0, 0, 2, 2, 0x80E01010);
  EXPECT_EQ(pixel(0, 0), 0xFFF03040u);
  clear(0xFF202020);
  drawQuad(0, 0, 2, 2, 0x80F01010);
  EXPECT_EQ(pixel(0, 0), 0xFFFF3030u);

  // A pair outside the specialised ones: DESTCOLOR / ZERO multiplies: 0x80 * 0x40 / 255 = 32.1 -> 32.
  device_->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_DESTCOLOR);
  device_->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_ZERO);
  clear(0xFF404040);
  drawQuad(0, 0, 2, 2, 0xFF808080);
  EXPECT_EQ(pixel(0, 0), 0xFF202020u);
}

// Alpha 1 fails ALPHAREF 2 / GREATEREQUAL and writes neither colour nor depth, so a farther quad drawn
// after it still shows; alpha 2 passes.
TEST_F(RasterMerge, AlphaTestRejectsColourAndDepth) {
  device_->SetRenderState(D3DRS_ALPHATESTENABLE, TRUE);
  device_->SetRenderState(D3DRS_ALPHAREF, 2);
  device_->SetRenderState(D3DRS_ALPHAFUNC, D3DCMP_GREATEREQUAL);
  drawQuad(0, 0, 2, 2, 0x01FF0000, 0.2f);
  EXPECT_EQ(pixel(0, 0), 0xFF000000u);
  EXPECT_EQ(pixelAt(*state().depthStencil, 0, 0) >> 8, 0xFFFFFFu);
  drawQuad(0, 0, 2, 2, 0x0200FF00, 0.6f);
  EXPECT_EQ(pixel(0, 0), 0x0200FF00u);
}

// A recorded block changes nothing until applied; a second block captures the caller's state (blending
// off, no texture) and applying it afterwards restores exactly that.
TEST_F(RasterMerge, StateBlocksCaptureAndApply) {
  IDirect3DTexture8* texture = makeTexture(1, 1, D3DFMT_A8R8G8B8, {{0xFF00FF00}});
  auto record = [&](IDirect3DBaseTexture8* bound, BOOL blend) {
    DWORD token = 0;
    EXPECT_EQ(device_->BeginStateBlock(), D3D_OK);
    device_->SetTexture(0, bound);
    device_->SetRenderState(D3DRS_ALPHABLENDENABLE, blend);
    device_->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_ONE);
    device_->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_ONE);
    EXPECT_EQ(device_->EndStateBlock(&token), D3D_OK);
    return token;
  };
  const DWORD additive = record(texture, TRUE);
  const DWORD saved = record(nullptr, FALSE);
  clear(0xFF100000);
  drawQuad(0, 0, 2, 2, 0xFF0000FF);
  EXPECT_EQ(pixel(0, 0), 0xFF0000FFu);  // neither block is active yet

  ASSERT_EQ(device_->CaptureStateBlock(saved), D3D_OK);
  ASSERT_EQ(device_->ApplyStateBlock(additive), D3D_OK);
  clear(0xFF100000);
  drawQuad(0, 0, 2, 2, 0xFFFFFFFF);
  EXPECT_EQ(pixel(0, 0), 0xFF10FF00u);  // green texel added to the red clear colour

  ASSERT_EQ(device_->ApplyStateBlock(saved), D3D_OK);
  drawQuad(0, 0, 2, 2, 0xFF0000FF);
  EXPECT_EQ(pixel(0, 0), 0xFF0000FFu);
  device_->DeleteStateBlock(additive);
  device_->DeleteStateBlock(saved);
}

}  // namespace
