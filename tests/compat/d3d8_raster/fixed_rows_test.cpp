// Fixed-point rows against the float group routines: the same draws rendered both ways agree within one
// step per channel (texture weights, modulation and frame-buffer blends all round differently), over
// noise textures with and without alpha, both address modes, each blend, the alpha test and depth,
// perspective with each mip filter, and the feedback blur's two-stage draws.
#include <random>

#include "compat/d3d8/pixel_routine.h"
#include "raster_fixture.h"

namespace {

class RasterFixed : public RasterTest {
 protected:
  void TearDown() override {
    d3d8compat::setFixedPoint(true);
    RasterTest::TearDown();
  }

  using Comparison = PictureComparison;

  // Renders `draw` over `background` with fixed-point rows and without.
  template <typename Draw>
  Comparison compare(D3DCOLOR background, Draw draw) {
    return renderBothWays(background, d3d8compat::setFixedPoint, draw);
  }

  // The feedback blur's two-stage shape, without depth: stage 0 SELECTARG1 on a noise texture (seed) with
  // the diffuse alpha, stage 1 on coordinate set 1 and another (seed + 1) with alpha; stage 1's colour
  // operation is the test's.
  void setTwoStageBlur(unsigned seed) {
    device_->SetTexture(0, noise(D3DFMT_X8R8G8B8, seed));
    device_->SetTexture(1, noise(D3DFMT_A8R8G8B8, seed + 1));
    setFilters(0, D3DTEXF_LINEAR);
    setFilters(1, D3DTEXF_LINEAR);
    device_->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
    device_->SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_DIFFUSE);
    device_->SetTextureStageState(1, D3DTSS_COLORARG1, D3DTA_TEXTURE);
    device_->SetTextureStageState(1, D3DTSS_COLORARG2, D3DTA_CURRENT);
    device_->SetTextureStageState(1, D3DTSS_TEXCOORDINDEX, 1);
    device_->SetRenderState(D3DRS_ZENABLE, FALSE);
  }

  // A 64 x 64 noise mip chain down to 1 x 1.
  IDirect3DTexture8* noiseChain(unsigned seed, D3DFORMAT format = D3DFMT_A8R8G8B8) {
    std::mt19937 random(seed);
    std::vector<std::vector<D3DCOLOR>> levels;
    for (UINT size = 64; size >= 1; size /= 2) {
      std::vector<D3DCOLOR> texels(size * size);
      for (D3DCOLOR& t : texels) t = static_cast<D3DCOLOR>(random());
      levels.push_back(texels);
    }
    return makeTexture(64, 64, format, levels);
  }

  // 32 x 32 noise, every channel anywhere in 0..255.
  IDirect3DTexture8* noise(D3DFORMAT format, unsigned seed) {
    std::mt19937 random(seed);
    std::vector<D3DCOLOR> texels(32 * 32);
    for (D3DCOLOR& t : texels) t = static_cast<D3DCOLOR>(random());
    return makeTexture(32, 32, format, {texels});
  }
};

// Every blend with and without the alpha test, MODULATE and SELECTARG1 for colour and alpha (the alpha
// also from the diffuse colour, depth tested), both address modes, textures with and without alpha; quads at fractional positions, magnified, minified a
// little and read past the texture's edges, in colours from white to dark; and a turned quad with a
// colour per corner.
TEST_F(RasterFixed, AgreeWithFloatWithinOneStep) {
  const DWORD blends[3][3] = {{FALSE, D3DBLEND_ONE, D3DBLEND_ZERO},
                              {TRUE, D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA},
                              {TRUE, D3DBLEND_ONE, D3DBLEND_ONE}};
  const DWORD colors[4] = {0xFFFFFFFF, 0x80402010, 0xC0FF8000, 0x01FEFDFC};
  int differing = 0;
  for (int b = 0; b < 3; ++b) {
    for (int variant = 0; variant < 5; ++variant) {
      SCOPED_TRACE(testing::Message() << "blend " << b << ", variant " << variant);
      const D3DFORMAT format = variant % 2 == 0 ? D3DFMT_A8R8G8B8 : D3DFMT_X8R8G8B8;
      device_->SetTexture(0, noise(format, static_cast<unsigned>(10 * b + variant)));
      setFilters(0, D3DTEXF_LINEAR);
      const DWORD address = variant < 2 ? D3DTADDRESS_WRAP : D3DTADDRESS_CLAMP;
      device_->SetTextureStageState(0, D3DTSS_ADDRESSU, address);
      device_->SetTextureStageState(0, D3DTSS_ADDRESSV, address);
      device_->SetTextureStageState(0, D3DTSS_COLOROP, variant < 2 || variant == 4 ? D3DTOP_MODULATE : D3DTOP_SELECTARG1);
      device_->SetTextureStageState(0, D3DTSS_ALPHAOP, variant % 3 == 0 || variant == 4 ? D3DTOP_SELECTARG1 : D3DTOP_MODULATE);
      // Variant 4: the texture's colour times the diffuse colour, the diffuse alpha.
      device_->SetTextureStageState(0, D3DTSS_ALPHAARG1, variant == 4 ? D3DTA_DIFFUSE : D3DTA_TEXTURE);
      device_->SetRenderState(D3DRS_ALPHABLENDENABLE, blends[b][0]);
      device_->SetRenderState(D3DRS_SRCBLEND, blends[b][1]);
      device_->SetRenderState(D3DRS_DESTBLEND, blends[b][2]);
      device_->SetRenderState(D3DRS_ALPHATESTENABLE, variant >= 2 ? TRUE : FALSE);
      device_->SetRenderState(D3DRS_ZENABLE, variant == 4 ? TRUE : FALSE);  // depth tested and written
      device_->SetRenderState(D3DRS_ALPHAFUNC, D3DCMP_GREATER);
      device_->SetRenderState(D3DRS_ALPHAREF, 0x50);
      const Comparison result = compare(0xFF305070, [&] {
        for (int i = 0; i < 8; ++i) {
          const float x = 1.3f + 160.0f * static_cast<float>(i % 4) + 0.37f * static_cast<float>(i);
          const float y = 2.6f + 240.0f * static_cast<float>(i / 4);
          const float repeat = 0.4f + 0.3f * static_cast<float>(i);  // magnified, then minified a little
          drawQuad(x, y, x + 150.0f - static_cast<float>(i), y + 200.0f + 0.5f * static_cast<float>(i), colors[i % 4],
                   0.5f, -0.2f, 0.1f, repeat - 0.2f, repeat + 0.1f);
        }
      });
      // Turned, a colour per corner: u and v, and the colour, change along every row. Drawn on its own,
      // so that each pixel takes one blend.
      const Comparison turned = compare(0xFF305070, [&] {
        const TlVertex corners[4] = {{320, 10, 0.5f, 1, 0xFFFF0000, 0, 0},
                                     {630, 240, 0.5f, 1, 0x8000FF00, 3, 0},
                                     {320, 470, 0.5f, 1, 0x400000FF, 3, 3},
                                     {10, 240, 0.5f, 1, 0xFFFFFFFF, 0, 3}};
        device_->SetVertexShader(0x144);
        ASSERT_EQ(device_->DrawPrimitiveUP(D3DPT_TRIANGLEFAN, 2, corners, sizeof(TlVertex)), D3D_OK);
      });
      for (const Comparison& c : {result, turned}) {
        EXPECT_GE(c.changed, 50000);
        EXPECT_LE(c.worst, 1) << c.differing << " pixels differ";
        differing += c.differing;
      }
    }
  }
  EXPECT_GT(differing, 0) << "the fixed-point rows never ran";
  device_->SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_TEXTURE);
  device_->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
  device_->SetRenderState(D3DRS_ALPHATESTENABLE, FALSE);
}

// Additive point sprites, depth tested against a floor and written (then only tested), as the
// presentation's particles draw them.
TEST_F(RasterFixed, DepthTestedSprites) {
  device_->SetTexture(0, noise(D3DFMT_A8R8G8B8, 7));
  setFilters(0, D3DTEXF_LINEAR);
  device_->SetRenderState(D3DRS_ZENABLE, TRUE);
  device_->SetRenderState(D3DRS_POINTSPRITEENABLE, TRUE);
  device_->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
  device_->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_ONE);
  device_->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_ONE);
  std::vector<TlVertex> points;
  for (int i = 0; i < 60; ++i) {
    const float t = static_cast<float>(i);
    points.push_back({20.0f + 10.1f * t, 30.0f + 6.7f * t, i % 2 == 0 ? 0.3f : 0.7f, 0.5f, 0xFF80C0FF, 0, 0});
  }
  int differing = 0;
  for (DWORD write : {TRUE, FALSE}) {
    SCOPED_TRACE(write);
    const Comparison result = compare(0xFF000000, [&] {
      device_->SetRenderState(D3DRS_ZWRITEENABLE, write);
      drawQuad(0, 0, 640, 480, 0xFF202020, 0.5f);
      device_->SetRenderState(D3DRS_POINTSIZE, d3d8compat::floatAsState(37.5f));
      device_->SetVertexShader(0x144);
      ASSERT_EQ(device_->DrawPrimitiveUP(D3DPT_POINTLIST, static_cast<UINT>(points.size()), points.data(),
                                         sizeof(TlVertex)), D3D_OK);
    });
    EXPECT_GE(result.changed, 30000);
    EXPECT_LE(result.worst, 1) << result.differing << " pixels differ";
    differing += result.differing;
  }
  EXPECT_GT(differing, 0) << "the fixed-point rows never ran";
  device_->SetRenderState(D3DRS_POINTSPRITEENABLE, FALSE);
  device_->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
}

// The feedback blur's two-stage shape (stage 0 SELECTARG1 texture with the diffuse alpha, stage 1
// BLENDFACTORALPHA or ADD with texture 1), into an X8R8G8B8 render-target texture and over it with
// each blend, both address modes (the rows read past both edges); the alpha test on the stages'
// constant alpha.
TEST_F(RasterFixed, TwoStageBlendsAgreeWithFloatWithinOneStep) {
  ASSERT_NE(drawToNewTexture(256, 256, D3DFMT_X8R8G8B8), nullptr);
  setTwoStageBlur(11);
  device_->SetRenderState(D3DRS_ALPHAFUNC, D3DCMP_GREATER);
  const Tl2Vertex quad[4] = {{0, 0, 0.5f, 1, 0xC0FFFFFF, 0.01f, 0.02f, 0.03f, -0.02f},
                             {255.5f, 0, 0.5f, 1, 0xC0FFFFFF, 1.01f, 0.02f, 1.03f, -0.02f},
                             {255.5f, 254.7f, 0.5f, 1, 0xC0FFFFFF, 1.01f, 1.02f, 1.03f, 0.98f},
                             {0, 254.7f, 0.5f, 1, 0xC0FFFFFF, 0.01f, 1.02f, 0.03f, 0.98f}};
  const DWORD blends[3][3] = {{FALSE, D3DBLEND_ONE, D3DBLEND_ZERO},
                              {TRUE, D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA},
                              {TRUE, D3DBLEND_ONE, D3DBLEND_ONE}};
  int differing = 0;
  for (int b = 0; b < 3; ++b) {
    for (DWORD op : {D3DTOP_BLENDFACTORALPHA, D3DTOP_ADD}) {
      for (DWORD reference : {0x00u, 0xFFu}) {  // the alpha test passes, then fails everywhere
        const DWORD address = op == D3DTOP_ADD ? D3DTADDRESS_CLAMP : D3DTADDRESS_WRAP;
        for (DWORD s = 0; s < 2; ++s) {
          device_->SetTextureStageState(s, D3DTSS_ADDRESSU, address);
          device_->SetTextureStageState(s, D3DTSS_ADDRESSV, address);
        }
        SCOPED_TRACE(testing::Message() << "blend " << b << ", op " << op << ", reference " << reference);
        device_->SetTextureStageState(1, D3DTSS_COLOROP, op);
        device_->SetRenderState(D3DRS_TEXTUREFACTOR, 0x5A000000);
        device_->SetRenderState(D3DRS_ALPHABLENDENABLE, blends[b][0]);
        device_->SetRenderState(D3DRS_SRCBLEND, blends[b][1]);
        device_->SetRenderState(D3DRS_DESTBLEND, blends[b][2]);
        device_->SetRenderState(D3DRS_ALPHATESTENABLE, TRUE);
        device_->SetRenderState(D3DRS_ALPHAREF, reference);
        const Comparison result = compare(0xFF405060, [&] {
          device_->SetVertexShader(0x244);
          ASSERT_EQ(device_->DrawPrimitiveUP(D3DPT_TRIANGLEFAN, 2, quad, sizeof(Tl2Vertex)), D3D_OK);
        });
        if (reference == 0) EXPECT_GE(result.changed, 60000); else EXPECT_EQ(result.changed, 0);
        EXPECT_LE(result.worst, 1) << result.differing << " pixels differ";
        differing += result.differing;
      }
    }
  }
  EXPECT_GT(differing, 0) << "the fixed-point rows never ran";
  device_->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
  device_->SetRenderState(D3DRS_ALPHATESTENABLE, FALSE);
  drawToBackBuffer();
}

// A floor in perspective with a colour per corner, over a noise mip chain, depth tested and written, the
// alpha test on: magnified near the bottom, minified towards the top, with each mip filter (groups whose
// pixels straddle levels take the float kernels' texels); then a pre-transformed quad minified.
TEST_F(RasterFixed, PerspectiveFloorWithinOneStep) {
  device_->SetTexture(0, noiseChain(5));
  device_->SetRenderState(D3DRS_ZENABLE, TRUE);
  device_->SetRenderState(D3DRS_ZWRITEENABLE, TRUE);
  device_->SetRenderState(D3DRS_ALPHATESTENABLE, TRUE);
  device_->SetRenderState(D3DRS_ALPHAFUNC, D3DCMP_GREATER);
  device_->SetRenderState(D3DRS_ALPHAREF, 0x30);
  const TlVertex floor[4] = {{203.3f, 41.7f, 0.9f, 0.125f, 0xFFFF8040, 0, 0},
                             {437.9f, 41.7f, 0.9f, 0.125f, 0xC040FF80, 12, 0},
                             {639.0f, 471.2f, 0.1f, 1.0f, 0x808040FF, 12, 12},
                             {1.0f, 471.2f, 0.1f, 1.0f, 0xFFFFFFFF, 0, 12}};
  int differing = 0;
  for (DWORD mip : {D3DTEXF_LINEAR, D3DTEXF_POINT, D3DTEXF_NONE}) {
    SCOPED_TRACE(mip);
    setFilters(0, D3DTEXF_LINEAR, mip);
    const Comparison result = compare(0xFF102030, [&] {
      device_->SetVertexShader(0x144);
      ASSERT_EQ(device_->DrawPrimitiveUP(D3DPT_TRIANGLEFAN, 2, floor, sizeof(TlVertex)), D3D_OK);
    });
    // The same chain minified on a pre-transformed quad: one level pair for the whole quad.
    const Comparison flat = compare(0xFF102030, [&] { drawQuad(20.5f, 10.25f, 620.0f, 470.0f, 0xE0C08040, 0.5f, 0, 0, 23.0f, 17.0f); });
    for (const Comparison& c : {result, flat}) {
      EXPECT_GE(c.changed, 50000);
      EXPECT_LE(c.worst, 1) << c.differing << " pixels differ";
      differing += c.differing;
    }
  }
  EXPECT_GT(differing, 0) << "the fixed-point rows never ran";
  device_->SetRenderState(D3DRS_ALPHATESTENABLE, FALSE);
}

}  // namespace

// Eight pixels at a time (AVX2) against four: the feedback blur's two-stage shape in quads of every
// width from 1 to 47 pixels at fractional positions, magnified and copied, both address modes (rows
// read past the texture's edges), every third turned (a v of its own at every pixel), opaque and
// additive: the same bytes.
TEST_F(RasterFixed, EightPixelGroupsGiveTheSameBytesAsFour) {
  if (!d3d8compat::wideGroupsAvailable()) GTEST_SKIP() << "no AVX2 on this processor";
  ASSERT_NE(drawToNewTexture(256, 256, D3DFMT_X8R8G8B8), nullptr);
  setTwoStageBlur(21);
  device_->SetRenderState(D3DRS_TEXTUREFACTOR, 0x5A000000);
  device_->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_ONE);
  device_->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_ONE);
  device_->SetVertexShader(0x244);
  for (BOOL additive : {FALSE, TRUE}) {
    for (DWORD op : {D3DTOP_BLENDFACTORALPHA, D3DTOP_ADD}) {
      const DWORD address = op == D3DTOP_ADD ? D3DTADDRESS_CLAMP : D3DTADDRESS_WRAP;
      for (DWORD s = 0; s < 2; ++s) {
        device_->SetTextureStageState(s, D3DTSS_ADDRESSU, address);
        device_->SetTextureStageState(s, D3DTSS_ADDRESSV, address);
      }
      device_->SetTextureStageState(1, D3DTSS_COLOROP, op);
      device_->SetRenderState(D3DRS_ALPHABLENDENABLE, additive);
      SCOPED_TRACE(testing::Message() << "additive " << additive << ", op " << op);
      const PictureComparison result = renderBothWays(0xFF405060, d3d8compat::setWideGroups, [&] {
        for (int i = 0; i < 47; ++i) {
          // Magnified (a texel spans 8 pixels) in the odd quads, copied (one texel a pixel) in the even.
          const float x = 3.0f + 5.3f * static_cast<float>(i % 8) + 0.37f * static_cast<float>(i), y = 5.0f * i + 0.4f;
          const float width = 1.0f + static_cast<float>(i), scale = i % 2 != 0 ? 1.0f / 256.0f : 1.0f / 32.0f;
          const float u0 = 0.01f * i - 0.3f, u1 = u0 + width * scale, v = 0.02f * i;
          const float turn = i % 3 == 0 ? 0.07f : 0.0f;  // v along the row
          const Tl2Vertex quad[4] = {
              {x, y, 0.5f, 1, 0xC0FFFFFF, u0, v, u1 + 0.2f, v},
              {x + width, y, 0.5f, 1, 0xC0FFFFFF, u1, v + turn, u1 * 2.0f + 0.2f, v + turn},
              {x + width, y + 4.0f, 0.5f, 1, 0xC0FFFFFF, u1, v + 0.1f + turn, u1 * 2.0f + 0.2f, v + 0.05f + turn},
              {x, y + 4.0f, 0.5f, 1, 0xC0FFFFFF, u0, v + 0.1f, u1 + 0.2f, v + 0.05f}};
          ASSERT_EQ(device_->DrawPrimitiveUP(D3DPT_TRIANGLEFAN, 2, quad, sizeof(Tl2Vertex)), D3D_OK);
        }
      });
      EXPECT_GE(result.changed, 4000);
      EXPECT_EQ(result.differing, 0) << "largest difference " << result.worst;
    }
  }
  d3d8compat::setWideGroups(true);
  device_->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
  drawToBackBuffer();
}

// One stage, eight pixels at a time (AVX2) against four: quads of one colour, 8 to 55 pixels wide at
// fractional positions, magnified and copied or a mip chain minified (two levels blended at every
// pixel), both address modes, textures with and without alpha,
// MODULATE or the diffuse alpha, each blend, with and without the alpha test, without depth and
// overlapping at other depths (tested and written, or only tested): the same bytes.
TEST_F(RasterFixed, OneStageEightPixelGroupsGiveTheSameBytesAsFour) {
  if (!d3d8compat::wideGroupsAvailable()) GTEST_SKIP() << "no AVX2 on this processor";
  const DWORD blends[3][3] = {{FALSE, D3DBLEND_ONE, D3DBLEND_ZERO},
                              {TRUE, D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA},
                              {TRUE, D3DBLEND_ONE, D3DBLEND_ONE}};
  const DWORD colors[4] = {0xFFFFFFFF, 0x80402010, 0xC0FF8000, 0x01FEFDFC};
  setFilters(0, D3DTEXF_LINEAR);
  device_->SetRenderState(D3DRS_ZENABLE, FALSE);
  device_->SetRenderState(D3DRS_ALPHAFUNC, D3DCMP_GREATER);
  device_->SetRenderState(D3DRS_ALPHAREF, 0x50);
  for (int b = 0; b < 3; ++b) {
    for (int variant = 0; variant < 6; ++variant) {
      SCOPED_TRACE(testing::Message() << "blend " << b << ", variant " << variant);
      // Variants 4 and 5: a mip chain minified, two levels blended (trilinear) at every pixel.
      const bool minified = variant >= 4;
      setFilters(0, D3DTEXF_LINEAR, minified ? D3DTEXF_LINEAR : D3DTEXF_NONE);
      device_->SetTexture(0, minified ? noiseChain(static_cast<unsigned>(40 + variant))
                                      : noise(variant % 2 == 0 ? D3DFMT_A8R8G8B8 : D3DFMT_X8R8G8B8, static_cast<unsigned>(40 + variant)));
      const DWORD address = variant < 2 ? D3DTADDRESS_WRAP : D3DTADDRESS_CLAMP;
      device_->SetTextureStageState(0, D3DTSS_ADDRESSU, address);
      device_->SetTextureStageState(0, D3DTSS_ADDRESSV, address);
      device_->SetTextureStageState(0, D3DTSS_ALPHAARG1, variant == 3 ? D3DTA_DIFFUSE : D3DTA_TEXTURE);
      device_->SetTextureStageState(0, D3DTSS_ALPHAOP, variant == 2 ? D3DTOP_MODULATE : D3DTOP_SELECTARG1);
      device_->SetRenderState(D3DRS_ALPHABLENDENABLE, blends[b][0]);
      device_->SetRenderState(D3DRS_SRCBLEND, blends[b][1]);
      device_->SetRenderState(D3DRS_DESTBLEND, blends[b][2]);
      device_->SetRenderState(D3DRS_ALPHATESTENABLE, variant >= 1 ? TRUE : FALSE);
      for (int depth = 0; depth < 3; ++depth) {
        SCOPED_TRACE(testing::Message() << "depth " << depth);
        device_->SetRenderState(D3DRS_ZENABLE, depth != 0 ? TRUE : FALSE);
        device_->SetRenderState(D3DRS_ZWRITEENABLE, depth == 1 ? TRUE : FALSE);
        device_->SetRenderState(D3DRS_ZFUNC, D3DCMP_LESS);
        const PictureComparison result = renderBothWays(0xFF305070, d3d8compat::setWideGroups, [&] {
          device_->Clear(0, nullptr, D3DCLEAR_ZBUFFER, 0, 0.6f, 0);
          for (int i = 0; i < 48; ++i) {
            const float x = 2.0f + 13.1f * static_cast<float>(i % 8) + 0.37f * static_cast<float>(i), y = 9.0f * i + 0.4f;
            // 8 to 55 pixels wide: rows too short to blend once per column, and longer ones.
            const float width = 8.0f + static_cast<float>(i);
            const float scale = minified ? 0.05f + 0.002f * static_cast<float>(i) : i % 2 != 0 ? 1.0f / 256.0f : 1.0f / 32.0f;
            const float u0 = 0.013f * i - 0.3f, v0 = 0.021f * i;
            const float z = i % 3 == 0 ? 0.7f : 0.3f + 0.01f * static_cast<float>(i % 5);  // some behind the cleared depth
            drawQuad(x, y, x + width, y + 12.0f, colors[i % 4], z, u0, v0, u0 + width * scale, v0 + 0.2f);
          }
        });
        EXPECT_GE(result.changed, 3000);
        EXPECT_EQ(result.differing, 0) << "largest difference " << result.worst;
      }
    }
  }
  device_->SetRenderState(D3DRS_ZENABLE, FALSE);
  device_->SetRenderState(D3DRS_ZWRITEENABLE, TRUE);
  d3d8compat::setWideGroups(true);
  device_->SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_TEXTURE);
  device_->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_SELECTARG1);
  device_->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
  device_->SetRenderState(D3DRS_ALPHATESTENABLE, FALSE);
}

// Eight pixels at a time against four in perspective: a floor over a noise mip chain with a colour per
// corner, magnified near the bottom and minified towards the top, with each mip filter (where two fours
// choose different levels they go four by four), each blend, the alpha test off and on, the alpha from
// the texture or the diffuse colour, wrapped with alpha or clamped without; then thin triangles across
// it, partly in front of it, whose spans are 1 to 20 pixels long. Depth tested and written. The same
// bytes.
TEST_F(RasterFixed, PerspectiveEightPixelGroupsGiveTheSameBytesAsFour) {
  if (!d3d8compat::wideGroupsAvailable()) GTEST_SKIP() << "no AVX2 on this processor";
  IDirect3DTexture8* const textures[2] = {noiseChain(9), noiseChain(10, D3DFMT_X8R8G8B8)};
  device_->SetRenderState(D3DRS_ZENABLE, TRUE);
  device_->SetRenderState(D3DRS_ZWRITEENABLE, TRUE);
  device_->SetRenderState(D3DRS_ALPHAFUNC, D3DCMP_GREATER);
  device_->SetRenderState(D3DRS_ALPHAREF, 0x30);
  device_->SetVertexShader(0x144);
  const TlVertex floor[4] = {{203.3f, 41.7f, 0.9f, 0.125f, 0xFFFF8040, 0, 0},
                             {437.9f, 41.7f, 0.9f, 0.125f, 0xC040FF80, 12, 0},
                             {639.0f, 471.2f, 0.1f, 1.0f, 0x808040FF, 12, 12},
                             {1.0f, 471.2f, 0.1f, 1.0f, 0xFFFFFFFF, 0, 12}};
  std::vector<TlVertex> thin;
  for (int i = 0; i < 24; ++i) {
    const float x = 15.3f + 26.1f * static_cast<float>(i), y = 60.0f + 15.0f * static_cast<float>(i % 7);
    const float near = 0.2f + 0.03f * static_cast<float>(i % 5);
    thin.push_back({x, y, 0.05f, near, 0xFF20C0A0, 0, 0});
    thin.push_back({x + 1.0f + static_cast<float>(i % 20), y + 200.0f, 0.6f, 1.0f, 0x80FFFFFF, 3, 9});
    thin.push_back({x - 0.5f, y + 260.0f, 0.5f, 0.7f, 0xC0804020, 0, 11});
  }
  const DWORD blends[3][3] = {{FALSE, D3DBLEND_ONE, D3DBLEND_ZERO},
                              {TRUE, D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA},
                              {TRUE, D3DBLEND_ONE, D3DBLEND_ONE}};
  for (int b = 0; b < 3; ++b) {
    device_->SetRenderState(D3DRS_ALPHABLENDENABLE, blends[b][0]);
    device_->SetRenderState(D3DRS_SRCBLEND, blends[b][1]);
    device_->SetRenderState(D3DRS_DESTBLEND, blends[b][2]);
    for (int variant = 0; variant < 4; ++variant) {
      // Variant 3: the chain without alpha, clamped.
      device_->SetTexture(0, textures[variant == 3 ? 1 : 0]);
      const DWORD address = variant == 3 ? D3DTADDRESS_CLAMP : D3DTADDRESS_WRAP;
      device_->SetTextureStageState(0, D3DTSS_ADDRESSU, address);
      device_->SetTextureStageState(0, D3DTSS_ADDRESSV, address);
      device_->SetRenderState(D3DRS_ALPHATESTENABLE, variant >= 1 ? TRUE : FALSE);
      device_->SetTextureStageState(0, D3DTSS_ALPHAARG1, variant == 2 ? D3DTA_DIFFUSE : D3DTA_TEXTURE);
      for (DWORD mip : {D3DTEXF_LINEAR, D3DTEXF_POINT, D3DTEXF_NONE}) {
        SCOPED_TRACE(testing::Message() << "blend " << b << ", variant " << variant << ", mip filter " << mip);
        setFilters(0, D3DTEXF_LINEAR, mip);
        const PictureComparison result = renderBothWays(0xFF102030, d3d8compat::setWideGroups, [&] {
          device_->Clear(0, nullptr, D3DCLEAR_ZBUFFER, 0, 1.0f, 0);
          ASSERT_EQ(device_->DrawPrimitiveUP(D3DPT_TRIANGLEFAN, 2, floor, sizeof(TlVertex)), D3D_OK);
          ASSERT_EQ(device_->DrawPrimitiveUP(D3DPT_TRIANGLELIST, static_cast<UINT>(thin.size() / 3), thin.data(),
                                             sizeof(TlVertex)), D3D_OK);
        });
        EXPECT_GE(result.changed, 50000);
        EXPECT_EQ(result.differing, 0) << "largest difference " << result.worst;
      }
    }
  }
  d3d8compat::setWideGroups(true);
  device_->SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_TEXTURE);
  device_->SetTextureStageState(0, D3DTSS_ADDRESSU, D3DTADDRESS_WRAP);
  device_->SetTextureStageState(0, D3DTSS_ADDRESSV, D3DTADDRESS_WRAP);
  device_->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
  device_->SetRenderState(D3DRS_ALPHATESTENABLE, FALSE);
}
