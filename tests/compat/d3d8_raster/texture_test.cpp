// Sampling and the stage cascade: texel-centre convention and bilinear weights, WRAP against CLAMP,
// format expansion, mip level and trilinear weight from the level of detail, D3DRS_WRAP0 across the seam,
// each stage operation and argument used by the program, and rendering to a texture then sampling it.
#include "raster_fixture.h"

namespace {

using RasterTexture = RasterTest;

// Texel (x, y) of the 4 x 4 test texture: red 40x + 10y, green 255 - 40x, blue 7, alpha 255.
D3DCOLOR gridTexel(UINT x, UINT y) { return D3DCOLOR_ARGB(255, 40 * x + 10 * y, 255 - 40 * x, 7); }

std::vector<D3DCOLOR> gridTexels() {
  std::vector<D3DCOLOR> texels;
  for (UINT y = 0; y < 4; ++y) {
    for (UINT x = 0; x < 4; ++x) texels.push_back(gridTexel(x, y));
  }
  return texels;
}

// Shifted by half a pixel, pixel centre (i, j) samples u = (i + 0.5) / 4: a texel centre, so bilinear
// filtering returns each texel unchanged. Unshifted, pixel (1, 1) samples u = v = 1/4, the corner of
// texels (0..1, 0..1): red (0 + 40 + 10 + 50) / 4 = 25, green (255 + 215 + 255 + 215) / 4 = 235.
TEST_F(RasterTexture, BilinearFollowsTheTexelCentreConvention) {
  device_->SetTexture(0, makeTexture(4, 4, D3DFMT_A8R8G8B8, {gridTexels()}));
  setFilters(0, D3DTEXF_LINEAR);
  drawQuad(-0.5f, -0.5f, 3.5f, 3.5f, 0xFFFFFFFF);
  for (UINT y = 0; y < 4; ++y) {
    for (UINT x = 0; x < 4; ++x) EXPECT_EQ(pixel(x, y), gridTexel(x, y)) << x << "," << y;
  }
  clear(0xFF000000);
  drawQuad(0, 0, 4, 4, 0xFFFFFFFF);
  EXPECT_EQ(pixel(1, 1), D3DCOLOR_ARGB(255, 25, 235, 7));
  // Pixel (0, 0) samples u = v = 0: x = -0.5, between texel -1 (wrapping to 3) and 0 at weight 1/2 each
  // way: red (120 + 0 + 150 + 30) / 4 = 75, green (135 + 255 + 135 + 255) / 4 = 195.
  EXPECT_EQ(pixel(0, 0), D3DCOLOR_ARGB(255, 75, 195, 7));
}

// A 4 x 1 texture point-sampled at a constant u: WRAP reads texel floor(frac(u) * 4), CLAMP the edge texel.
TEST_F(RasterTexture, WrapAndClampAddressing) {
  const D3DCOLOR texels[4] = {0xFF0000FF, 0xFF00FF00, 0xFFFF0000, 0xFFFFFFFF};
  device_->SetTexture(0, makeTexture(4, 1, D3DFMT_A8R8G8B8, {{texels[0], texels[1], texels[2], texels[3]}}));
  setFilters(0, D3DTEXF_POINT);
  struct Case {
    DWORD address;
    float u;
    D3DCOLOR expected;
  };
  const Case cases[] = {{D3DTADDRESS_WRAP, -0.25f, texels[3]}, {D3DTADDRESS_WRAP, 1.25f, texels[1]},
                        {D3DTADDRESS_CLAMP, -0.25f, texels[0]}, {D3DTADDRESS_CLAMP, 1.25f, texels[3]},
                        {D3DTADDRESS_WRAP, 0.6f, texels[2]}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.u);
    device_->SetTextureStageState(0, D3DTSS_ADDRESSU, c.address);
    drawQuad(0, 0, 2, 2, 0xFFFFFFFF, 0.5f, c.u, 0.5f, c.u, 0.5f);
    EXPECT_EQ(pixel(0, 0), c.expected);
  }
}

// Formats without alpha sample alpha 1; 4-bit channels widen to c * 17; R5G6B5's 31 and 63 to 255.
TEST_F(RasterTexture, FormatsExpandToFullRange) {
  struct Case {
    D3DFORMAT format;
    D3DCOLOR stored, expected;
  };
  const Case cases[] = {{D3DFMT_X8R8G8B8, 0x00123456, 0xFF123456}, {D3DFMT_R5G6B5, 0x00FF00FF, 0xFFFF00FF},
                        {D3DFMT_A4R4G4B4, 0x88FF8800, 0x88FF8800}, {D3DFMT_A8R8G8B8, 0x40102030, 0x40102030}};
  setFilters(0, D3DTEXF_POINT);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.format);
    device_->SetTexture(0, makeTexture(1, 1, c.format, {{c.stored}}));
    drawQuad(0, 0, 2, 2, 0xFFFFFFFF);
    EXPECT_EQ(pixel(0, 0), c.expected);
  }
}

// A4R4G4B4 filters exactly as the same texels widened to A8R8G8B8 (c * 17), magnified, minified and under
// source-alpha blending, and a later lock's changes are what the next draw samples.
TEST_F(RasterTexture, FourBitTexturesFilterAsTheirWidenedTexels) {
  std::vector<D3DCOLOR> texels;
  for (UINT k = 0; k < 64; ++k) {  // every channel a 4-bit value times 17, so both formats hold it exactly
    texels.push_back(D3DCOLOR_ARGB((k * 7 + 3) % 16 * 17, (k * 5) % 16 * 17, (k * k) % 16 * 17, (k * 11 + 9) % 16 * 17));
  }
  IDirect3DTexture8* narrow = makeTexture(8, 8, D3DFMT_A4R4G4B4, {texels});
  setFilters(0, D3DTEXF_LINEAR);
  device_->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
  device_->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
  device_->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
  auto render = [&](IDirect3DTexture8* texture) {
    clear(0xFF405060);
    device_->SetTexture(0, texture);
    drawQuad(0.3f, 0.6f, 29.7f, 21.2f, 0xFFC0E0FF, 0.5f, -0.1f, 0.05f, 0.9f, 1.3f);
    drawQuad(32.0f, 0.0f, 35.3f, 2.9f, 0xFFFFFFFF);
    return targetPixels();
  };
  EXPECT_EQ(render(narrow), render(makeTexture(8, 8, D3DFMT_A8R8G8B8, {texels})));

  for (D3DCOLOR& texel : texels) texel = ~texel;
  D3DLOCKED_RECT locked;
  ASSERT_EQ(narrow->LockRect(0, &locked, nullptr, 0), D3D_OK);
  for (UINT k = 0; k < 64; ++k) {
    d3d8compat::storePixel(static_cast<BYTE*>(locked.pBits) + (k / 8) * locked.Pitch + (k % 8) * 2, 2,
                           d3d8compat::packColor(D3DFMT_A4R4G4B4, texels[k]));
  }
  narrow->UnlockRect(0);
  EXPECT_EQ(render(narrow), render(makeTexture(8, 8, D3DFMT_A8R8G8B8, {texels})));
}

// An 8 x 8 chain whose levels are solid red 0, 100, 200, 250. A quad of n x n pixels showing the whole
// texture has footprint rho = 8 / n texels per pixel, lambda = log2(rho): n = 2 -> level 2, n = 4 ->
// level 1, n = 8 and n = 16 (lambda <= 0, magnified) -> level 0. Trilinear at n = 8 / 2^1.5 (lambda 1.5)
// blends levels 1 and 2 half and half: 150.
TEST_F(RasterTexture, MipLevelFollowsTheFootprint) {
  device_->SetTexture(0, makeTexture(8, 8, D3DFMT_A8R8G8B8,
                                     {{0xFF000000}, {0xFF640000}, {0xFFC80000}, {0xFFFA0000}}));
  struct Case {
    float size;
    DWORD mip;
    int red;
  };
  const Case cases[] = {{2, D3DTEXF_POINT, 200}, {4, D3DTEXF_POINT, 100}, {8, D3DTEXF_POINT, 0},
                        {16, D3DTEXF_POINT, 0}, {1, D3DTEXF_POINT, 250}, {8.0f / 2.8284271f, D3DTEXF_LINEAR, 150},
                        {2, D3DTEXF_NONE, 0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.size);
    setFilters(0, D3DTEXF_LINEAR, c.mip);
    clear(0xFF000000);
    drawQuad(-0.5f, -0.5f, c.size - 0.5f, c.size - 0.5f, 0xFFFFFFFF);
    EXPECT_NEAR(channel(pixel(0, 0), 2), c.red, 1);
  }
}

// D3DRS_WRAP0 on a triangle with u = 0.9, 0.1 (right), 0.9 (below) over a 4 x 1 texture A B C D.
// Wrapped, u runs 0.9 -> 1.1 to the right: at x = 10, u = 0.95 (texel D); at x = 30, 1.05 = 0.05 (A).
// Unwrapped it runs 0.9 -> 0.1 through the middle: 0.7 (C) and 0.3 (B).
TEST_F(RasterTexture, Wrap0TakesTheShortWayAcrossTheSeam) {
  const D3DCOLOR a = 0xFF0000FF, b = 0xFF00FF00, c = 0xFFFF0000, d = 0xFFFFFFFF;
  device_->SetTexture(0, makeTexture(4, 1, D3DFMT_A8R8G8B8, {{a, b, c, d}}));
  setFilters(0, D3DTEXF_POINT);
  const TlVertex triangle[3] = {{0, 0, 0.5f, 1, 0xFFFFFFFF, 0.9f, 0.5f},
                                {40, 0, 0.5f, 1, 0xFFFFFFFF, 0.1f, 0.5f},
                                {0, 40, 0.5f, 1, 0xFFFFFFFF, 0.9f, 0.5f}};
  device_->SetVertexShader(0x144);
  device_->SetRenderState(D3DRS_WRAP0, D3DWRAP_U);
  device_->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, triangle, sizeof(TlVertex));
  EXPECT_EQ(pixel(10, 2), d);
  EXPECT_EQ(pixel(30, 2), a);
  device_->SetRenderState(D3DRS_WRAP0, 0);
  device_->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, triangle, sizeof(TlVertex));
  EXPECT_EQ(pixel(10, 2), c);
  EXPECT_EQ(pixel(30, 2), b);
}

// One stage over a 1 x 1 texture T = 0x80FF8040 and diffuse D = 0xFF808080 (TFACTOR 0x11223344).
// MODULATE: r 255 * 128/255 = 128, g 128 * 128 / 255 = 64.25 -> 64, b 64 * 128 / 255 = 32.1 -> 32.
// ADD: r, g saturate, b 64 + 128 = 192. Alpha is SELECTARG1(TEXTURE) = 0x80 throughout.
TEST_F(RasterTexture, StageOperationsAndArguments) {
  device_->SetTexture(0, makeTexture(1, 1, D3DFMT_A8R8G8B8, {{0x80FF8040}}));
  setFilters(0, D3DTEXF_POINT);
  device_->SetRenderState(D3DRS_TEXTUREFACTOR, 0x11223344);
  struct Case {
    DWORD op, arg1, arg2;
    D3DCOLOR expected;
  };
  const Case cases[] = {
      {D3DTOP_MODULATE, D3DTA_TEXTURE, D3DTA_DIFFUSE, 0x80804020},
      {D3DTOP_ADD, D3DTA_TEXTURE, D3DTA_CURRENT, 0x80FFFFC0},
      {D3DTOP_SELECTARG1, D3DTA_TEXTURE, D3DTA_DIFFUSE, 0x80FF8040},
      {D3DTOP_SELECTARG2, D3DTA_TEXTURE, D3DTA_DIFFUSE, 0x80808080},
      {D3DTOP_SELECTARG1, D3DTA_TFACTOR, D3DTA_DIFFUSE, 0x80223344},
      {D3DTOP_SELECTARG1, D3DTA_TEXTURE | D3DTA_COMPLEMENT, D3DTA_DIFFUSE, 0x80007FBF},
      {D3DTOP_SELECTARG1, D3DTA_TEXTURE | D3DTA_ALPHAREPLICATE, D3DTA_DIFFUSE, 0x80808080},
      // BLENDFACTORALPHA, factor alpha 0x11 = 17/255: r 255 * 17/255 + 128 * 238/255 = 136.47 -> 136,
      // g 128 * 17/255 + 128 * 238/255 = 128, b 64 * 17/255 + 128 * 238/255 = 123.73 -> 124.
      {D3DTOP_BLENDFACTORALPHA, D3DTA_TEXTURE, D3DTA_DIFFUSE, 0x8088807C},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.op * 100 + c.arg1);
    device_->SetTextureStageState(0, D3DTSS_COLOROP, c.op);
    device_->SetTextureStageState(0, D3DTSS_COLORARG1, c.arg1);
    device_->SetTextureStageState(0, D3DTSS_COLORARG2, c.arg2);
    drawQuad(0, 0, 2, 2, 0xFF808080);
    EXPECT_EQ(pixel(0, 0), c.expected);
  }
}

// The feedback pass: stage 0 SELECTARG1(TEXTURE) on set 0 (red 255), stage 1 BLENDFACTORALPHA(TEXTURE,
// CURRENT) on set 1 (green 255) with factor 0x80808080: red 127/255 * 255 = 127, green 128. Alpha comes
// from stage 0 (SELECTARG1 DIFFUSE = 0x40) and passes stage 1 unchanged (ALPHAOP DISABLE). With COLOROP
// ADD instead both saturate to 255. A disabled or texture-less stage 1 leaves stage 0's result.
TEST_F(RasterTexture, TwoStageCascade) {
  device_->SetTexture(0, makeTexture(2, 1, D3DFMT_A8R8G8B8, {{0xFFFF0000, 0xFF000000}}));
  IDirect3DTexture8* second = makeTexture(2, 1, D3DFMT_A8R8G8B8, {{0xFF000000, 0xFF00FF00}});
  device_->SetTexture(1, second);
  setFilters(0, D3DTEXF_POINT);
  setFilters(1, D3DTEXF_POINT);
  device_->SetRenderState(D3DRS_TEXTUREFACTOR, 0x80808080);
  device_->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
  device_->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_SELECTARG1);
  device_->SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_DIFFUSE);
  device_->SetTextureStageState(1, D3DTSS_COLOROP, D3DTOP_BLENDFACTORALPHA);
  device_->SetTextureStageState(1, D3DTSS_COLORARG1, D3DTA_TEXTURE);
  device_->SetTextureStageState(1, D3DTSS_COLORARG2, D3DTA_CURRENT);
  device_->SetTextureStageState(1, D3DTSS_TEXCOORDINDEX, 1);
  // Set 0 reads texel 0 of the first texture (u = 0.25), set 1 texel 1 of the second (u = 0.75).
  const Tl2Vertex quad[4] = {{0, 0, 0.5f, 1, 0x40FFFFFF, 0.25f, 0, 0.75f, 0}, {2, 0, 0.5f, 1, 0x40FFFFFF, 0.25f, 0, 0.75f, 0},
                             {2, 2, 0.5f, 1, 0x40FFFFFF, 0.25f, 0, 0.75f, 0}, {0, 2, 0.5f, 1, 0x40FFFFFF, 0.25f, 0, 0.75f, 0}};
  auto draw = [&] {
    device_->SetVertexShader(0x244);
    device_->DrawPrimitiveUP(D3DPT_TRIANGLEFAN, 2, quad, sizeof(Tl2Vertex));
    return pixel(0, 0);
  };
  EXPECT_EQ(draw(), 0x407F8000u);
  device_->SetTextureStageState(1, D3DTSS_COLOROP, D3DTOP_ADD);
  EXPECT_EQ(draw(), 0x40FFFF00u);
  device_->SetTextureStageState(1, D3DTSS_COLOROP, D3DTOP_DISABLE);
  EXPECT_EQ(draw(), 0x40FF0000u);
  device_->SetTextureStageState(1, D3DTSS_COLOROP, D3DTOP_ADD);
  device_->SetTexture(1, nullptr);
  EXPECT_EQ(draw(), 0x40FF0000u);
  device_->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_DISABLE);
  EXPECT_EQ(draw(), 0x40FFFFFFu);  // no stage at all: the diffuse colour
}

// With no texture bound, default stage 0 (MODULATE of TEXTURE and CURRENT) is disabled: diffuse shows.
TEST_F(RasterTexture, MissingTextureLeavesDiffuse) {
  drawQuad(0, 0, 2, 2, 0x80402010);
  EXPECT_EQ(pixel(0, 0), 0x80402010u);
}

// Render into a 256 x 256 texture sharing the 640 x 480 depth buffer, then sample it texel for texel.
// A 640 x 480 quad drawn into the texture touches only its 256 x 256 pixels.
TEST_F(RasterTexture, RenderToTextureThenSample) {
  IDirect3DTexture8* target = drawToNewTexture(256, 256, D3DFMT_X8R8G8B8);
  ASSERT_NE(target, nullptr);
  device_->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF0000FF, 1.0f, 0);
  drawQuad(0, 0, 640, 480, 0x00FF0000, 0.5f);  // alpha 0: the X8R8G8B8 target stores it opaque
  drawQuad(0, 0, 128, 256, 0xFF00FF00, 0.25f);
  EXPECT_EQ(pixel(255, 255), 0xFFFF0000u);
  EXPECT_EQ(pixel(0, 0), 0xFF00FF00u);
  drawToBackBuffer();
  device_->SetTexture(0, target);
  setFilters(0, D3DTEXF_POINT);
  device_->SetRenderState(D3DRS_ZENABLE, FALSE);
  drawQuad(-0.5f, -0.5f, 255.5f, 255.5f, 0xFFFFFFFF);
  EXPECT_EQ(pixel(127, 10), 0xFF00FF00u);
  EXPECT_EQ(pixel(128, 10), 0xFFFF0000u);
  EXPECT_EQ(pixel(256, 10), 0xFF000000u);
  device_->SetTexture(0, nullptr);
}

}  // namespace
