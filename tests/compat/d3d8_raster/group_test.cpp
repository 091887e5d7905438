// Four-pixel groups against the one-pixel routines: the same draws rendered both ways must agree to
// within one step per channel (the two evaluate the interpolants in a different order, and the group
// rounds an additive blend's source before adding), over spans of every length and alignment, both
// depth formats, the blends, the alpha test, trilinear groups whose pixels straddle mip levels, and
// two stages into a render-target texture. Also: a group running past a narrow row's end writes nothing
// beyond the span.
#include "compat/d3d8/pixel_routine.h"
#include "raster_fixture.h"

namespace {

class RasterGroups : public RasterTest {
 protected:
  // The float group routines are compared here; fixed-point rows are compared with them in their own test.
  void SetUp() override {
    RasterTest::SetUp();
    d3d8compat::setFixedPoint(false);
  }
  void TearDown() override {
    d3d8compat::setPixelGroups(true);
    d3d8compat::setFixedPoint(true);
    RasterTest::TearDown();
  }

  // Renders `draw` with groups and with one-pixel routines; both pictures must agree within one step per
  // channel, and at least `minimumChanged` pixels must differ from `background` (the draw did something).
  template <typename Draw>
  void expectSamePicture(D3DCOLOR background, int minimumChanged, Draw draw) {
    const PictureComparison result = renderBothWays(background, d3d8compat::setPixelGroups, draw);
    EXPECT_GE(result.changed, minimumChanged);
    EXPECT_LE(result.worst, 1) << result.differing << " pixels differ";
  }

  // A 64 x 64 texture with seven levels, each a checker of its own two colours with alpha varying by row.
  IDirect3DTexture8* checkerChain() {
    std::vector<std::vector<D3DCOLOR>> levels;
    for (UINT k = 0, size = 64; k < 7; ++k, size /= 2) {
      std::vector<D3DCOLOR> texels;
      for (UINT y = 0; y < size; ++y) {
        for (UINT x = 0; x < size; ++x) {
          const UINT alpha = 255 - (y * 255) / size;
          texels.push_back(((x ^ y) & 1) != 0 ? D3DCOLOR_ARGB(alpha, 40 * k, 255 - 30 * k, 90)
                                              : D3DCOLOR_ARGB(alpha, 250 - 20 * k, 20 * k, 200));
        }
      }
      levels.push_back(texels);
    }
    return makeTexture(64, 64, D3DFMT_A8R8G8B8, levels);
  }

  // A floor seen in perspective: far edge (rhw 1/8) narrow at the top, near edge wide at the bottom, the
  // texture repeated eight times, a colour per corner. Spans start and end at every alignment.
  void drawFloor(float farZ, float nearZ) {
    const TlVertex floor[4] = {{203.3f, 41.7f, farZ, 0.125f, 0xFFFF8040, 0, 0},
                               {437.9f, 41.7f, farZ, 0.125f, 0xFF40FF80, 8, 0},
                               {639.0f, 471.2f, nearZ, 1.0f, 0xFF8040FF, 8, 8},
                               {1.0f, 471.2f, nearZ, 1.0f, 0xFFFFFFFF, 0, 8}};
    device_->SetVertexShader(0x144);
    ASSERT_EQ(device_->DrawPrimitiveUP(D3DPT_TRIANGLEFAN, 2, floor, sizeof(TlVertex)), D3D_OK);
  }
};

// Trilinear perspective floor, depth tested and written, then the same floor again (LESSEQUAL) blended by
// source alpha with the alpha test on: the second pass passes the depth test exactly where the first one
// wrote, in both routines.
TEST_F(RasterGroups, PerspectiveTrilinearDepthBlendAndAlphaTest) {
  device_->SetTexture(0, checkerChain());
  setFilters(0, D3DTEXF_LINEAR, D3DTEXF_LINEAR);
  device_->SetRenderState(D3DRS_ZENABLE, TRUE);
  device_->SetRenderState(D3DRS_ZFUNC, D3DCMP_LESSEQUAL);
  expectSamePicture(0xFF102030, 100000, [&] {
    device_->SetRenderState(D3DRS_ZWRITEENABLE, TRUE);
    device_->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
    device_->SetRenderState(D3DRS_ALPHATESTENABLE, FALSE);
    drawFloor(0.9f, 0.1f);
    device_->SetRenderState(D3DRS_ZWRITEENABLE, FALSE);
    device_->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
    device_->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
    device_->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
    device_->SetRenderState(D3DRS_ALPHATESTENABLE, TRUE);
    device_->SetRenderState(D3DRS_ALPHAFUNC, D3DCMP_GREATER);
    device_->SetRenderState(D3DRS_ALPHAREF, 0x60);
    device_->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_ADD);
    drawFloor(0.9f, 0.1f);
    device_->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_MODULATE);
  });
}

// Additive quads of odd sizes over a textured background, the texture magnified with WRAP or CLAMP
// and read past its edges, no depth: pre-transformed quads whose v is constant along each row.
TEST_F(RasterGroups, AdditiveQuadsOfEveryAlignment) {
  device_->SetTexture(0, checkerChain());
  setFilters(0, D3DTEXF_LINEAR);
  expectSamePicture(0xFF000000, 250000, [&] {
    drawQuad(0, 0, 640, 480, 0xFF808080);
    device_->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
    device_->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_ONE);
    device_->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_ONE);
    for (int i = 0; i < 12; ++i) {
      // Side by side, not overlapping: each pixel takes one blend, so the pictures differ by one step at most.
      const float x = 3.3f + 160.0f * static_cast<float>(i % 4) + 0.25f * static_cast<float>(i);
      const float y = 5.7f + 160.0f * static_cast<float>(i / 4);
      const DWORD address = i % 3 == 0 ? D3DTADDRESS_CLAMP : D3DTADDRESS_WRAP;
      device_->SetTextureStageState(0, D3DTSS_ADDRESSU, address);
      device_->SetTextureStageState(0, D3DTSS_ADDRESSV, address);
      drawQuad(x, y, x + 1.0f + 11.7f * static_cast<float>(i), y + 90.0f, 0xFF406080, 0.5f, -0.3f, 0.2f, 1.4f, 1.7f);
    }
    device_->SetTextureStageState(0, D3DTSS_ADDRESSU, D3DTADDRESS_WRAP);
    device_->SetTextureStageState(0, D3DTSS_ADDRESSV, D3DTADDRESS_WRAP);
    device_->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
  });
}

// Pre-transformed quads minified by different amounts (the level of detail is the same at every pixel of
// such a quad), blended by source alpha, with each mip filter; the last quads reach the smallest levels.
TEST_F(RasterGroups, PreTransformedMinifiedQuads) {
  device_->SetTexture(0, checkerChain());
  expectSamePicture(0xFF203040, 60000, [&] {
    device_->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
    device_->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
    device_->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
    const DWORD mips[3] = {D3DTEXF_LINEAR, D3DTEXF_POINT, D3DTEXF_NONE};
    for (int i = 0; i < 12; ++i) {
      setFilters(0, D3DTEXF_LINEAR, mips[i % 3]);
      const float x = 2.6f + 160.0f * static_cast<float>(i % 4), y = 3.1f + 160.0f * static_cast<float>(i / 4);
      const float repeat = 0.7f + 3.3f * static_cast<float>(i);  // about 0.3 to 22 texels per pixel
      drawQuad(x, y, x + 150.0f, y + 150.0f, 0xFFFFC080, 0.5f, 0.05f, 0.1f, 0.05f + repeat, 0.1f + repeat);
    }
    device_->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
  });
}

// The feedback blur's shape into a 200 x 200 X8R8G8B8 render-target texture: stage 0 SELECTARG1 on set
// 0, stage 1 BLENDFACTORALPHA on set 1.
TEST_F(RasterGroups, TwoStagesIntoARenderTargetTexture) {
  ASSERT_NE(drawToNewTexture(200, 200, D3DFMT_X8R8G8B8), nullptr);
  IDirect3DTexture8* checker = checkerChain();
  device_->SetTexture(0, checker);
  device_->SetTexture(1, checker);
  setFilters(0, D3DTEXF_LINEAR);
  setFilters(1, D3DTEXF_LINEAR);
  device_->SetRenderState(D3DRS_TEXTUREFACTOR, 0x80808080);
  device_->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
  device_->SetTextureStageState(1, D3DTSS_COLOROP, D3DTOP_BLENDFACTORALPHA);
  device_->SetTextureStageState(1, D3DTSS_COLORARG1, D3DTA_TEXTURE);
  device_->SetTextureStageState(1, D3DTSS_COLORARG2, D3DTA_CURRENT);
  device_->SetTextureStageState(1, D3DTSS_TEXCOORDINDEX, 1);
  const Tl2Vertex quad[4] = {{0, 0, 0.5f, 1, 0xFFFFFFFF, 0, 0, 0.03f, 0.02f},
                             {199.5f, 0, 0.5f, 1, 0xFFFFFFFF, 1, 0, 1.03f, 0.02f},
                             {199.5f, 197.2f, 0.5f, 1, 0xFFFFFFFF, 1, 1, 1.03f, 1.02f},
                             {0, 197.2f, 0.5f, 1, 0xFFFFFFFF, 0, 1, 0.03f, 1.02f}};
  expectSamePicture(0xFF000000, 30000, [&] {
    device_->SetVertexShader(0x244);
    ASSERT_EQ(device_->DrawPrimitiveUP(D3DPT_TRIANGLEFAN, 2, quad, sizeof(Tl2Vertex)), D3D_OK);
  });
  drawToBackBuffer();
}

// With a 16-bit depth buffer: a near floor, then a far one that the depth test hides where they overlap.
TEST_F(RasterGroups, SixteenBitDepth) {
  device_->Release();
  device_ = nullptr;
  D3DPRESENT_PARAMETERS params = fullScreenParams();
  params.AutoDepthStencilFormat = D3DFMT_D16;
  createDevice(params);
  device_->SetRenderState(D3DRS_LIGHTING, FALSE);
  device_->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
  device_->SetRenderState(D3DRS_ZENABLE, TRUE);
  expectSamePicture(0xFF000000, 100000, [&] {
    device_->SetTexture(0, nullptr);
    drawFloor(0.6f, 0.2f);
    drawQuad(100.5f, 20.25f, 517.75f, 400.5f, 0xFF30C0F0, 0.4f);
  });
}

// A 6 x 2 render target: a row's second group holds two pixels and would run two pixels past the row,
// into the next row's storage (or past the surface's end). Drawing only row 0 must leave row 1 as
// cleared; drawing row 1 must stay inside the surface.
TEST_F(RasterGroups, GroupPastANarrowRowWritesNothingBeyondTheSpan) {
  ASSERT_NE(drawToNewTexture(6, 2, D3DFMT_A8R8G8B8), nullptr);
  for (DWORD alphaBlend : {FALSE, TRUE}) {
    SCOPED_TRACE(alphaBlend);
    clear(0xFF0000FF);
    device_->SetRenderState(D3DRS_ALPHABLENDENABLE, alphaBlend);
    device_->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_ONE);
    device_->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_ONE);
    drawQuad(0, 0, 6, 1, 0xFFFF0000);
    const D3DCOLOR drawn = alphaBlend ? 0xFFFF00FFu : 0xFFFF0000u;
    for (UINT x = 0; x < 6; ++x) {
      EXPECT_EQ(pixel(x, 0), drawn) << x;
      EXPECT_EQ(pixel(x, 1), 0xFF0000FFu) << x;
    }
    // The last row's last group ends where the surface's storage ends.
    drawQuad(0, 1, 6, 2, 0xFFFF0000);
    for (UINT x = 0; x < 6; ++x) EXPECT_EQ(pixel(x, 1), drawn) << x;
  }
  device_->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
  drawToBackBuffer();
}

}  // namespace
