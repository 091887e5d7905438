// Vertex stage features beyond the presentation's own draws, each against a value worked by hand:
// the specular term (non-local and local viewer, added after the cascade, read as D3DTA_SPECULAR),
// texture coordinate transforms, a stage reading coordinate set 3, normals under a singular or projective
// world * view, clipping at the far plane, and a viewport whose depth range reaches past 1.
#include <cmath>

#include "compat/d3d8/vertex_lighting.h"
#include "raster_fixture.h"

namespace {

constexpr D3DCOLOR kRed = 0xFFFF0000, kBlack = 0xFF000000;

void expectNear(D3DCOLOR actual, D3DCOLOR expected) {
  for (int c = 0; c < 4; ++c) {
    EXPECT_NEAR(channel(actual, c), channel(expected, c), 1) << std::hex << "got 0x" << actual << ", want 0x" << expected;
  }
}

class RasterVertexFeatures : public RasterTest {
 protected:
  // A screen-covering triangle at eye depth 0.5 (identity transforms, so eye = clip space), facing the
  // viewer (normal -z), whose first vertex (-1, 1) lands on the centre of pixel (0, 0).
  void drawLit(DWORD color, D3DVECTOR normal = {0, 0, -1}) {
    const LitVertex v[3] = {{-1, 1, 0.5f, normal.x, normal.y, normal.z, color, 0, 0},
                            {3, 1, 0.5f, normal.x, normal.y, normal.z, color, 0, 0},
                            {-1, -3, 0.5f, normal.x, normal.y, normal.z, color, 0, 0}};
    device_->SetVertexShader(0x152);
    ASSERT_EQ(device_->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, v, sizeof(LitVertex)), D3D_OK);
  }

  void setLight(D3DCOLORVALUE diffuse, D3DCOLORVALUE specular, D3DVECTOR direction) {
    D3DLIGHT8 light{};
    light.Type = D3DLIGHT_DIRECTIONAL;
    light.Diffuse = diffuse;
    light.Specular = specular;
    light.Direction = direction;
    ASSERT_EQ(device_->SetLight(0, &light), D3D_OK);
    ASSERT_EQ(device_->LightEnable(0, TRUE), D3D_OK);
  }
};

// Light travelling (0, -0.6, 0.8): L = (0, 0.6, -0.8), N.L = 0.8 on a black vertex, so only the specular
// colour shows. Viewer at infinity (-z): H = norm(0, 0.6, -1.8) = (0, 0.3162, -0.9487), N.H^10 = 0.9^5 =
// 0.5905; times light specular (1, 0.5, 0.25) and material specular 1: r 150.6, g 75.3, b 37.6, the same
// everywhere. Local viewer at pixel (0, 0), vertex (-1, 1, 0.5): towards the eye (2, -2, -1)/3,
// H = norm(0.6667, -0.0667, -1.1333), N.H = 0.8608, ^10 = 0.2234: r 57.0, g 28.5, b 14.2.
// SPECULARENABLE off adds nothing.
TEST_F(RasterVertexFeatures, SpecularHighlightOfAKnownLightNormalEyeAndPower) {
  device_->SetRenderState(D3DRS_LIGHTING, TRUE);
  D3DMATERIAL8 material{};
  material.Specular = {1, 1, 1, 1};
  material.Power = 10.0f;
  device_->SetMaterial(&material);
  setLight({0, 0, 0, 0}, {1.0f, 0.5f, 0.25f, 1.0f}, {0, -0.6f, 0.8f});
  device_->SetRenderState(D3DRS_SPECULARENABLE, TRUE);
  device_->SetRenderState(D3DRS_LOCALVIEWER, FALSE);
  drawLit(0xFF000000);
  expectNear(pixel(0, 0), D3DCOLOR_ARGB(0xFF, 151, 75, 38));
  expectNear(pixel(320, 240), D3DCOLOR_ARGB(0xFF, 151, 75, 38));

  device_->SetRenderState(D3DRS_LOCALVIEWER, TRUE);
  clear(kBlack);
  drawLit(0xFF000000);
  expectNear(pixel(0, 0), D3DCOLOR_ARGB(0xFF, 57, 28, 14));

  device_->SetRenderState(D3DRS_SPECULARENABLE, FALSE);
  clear(kRed);
  drawLit(0xFF000000);
  EXPECT_EQ(pixel(0, 0), kBlack);
}

// The specular colour as a vertex gives it (pre-transformed, XYZRHW | DIFFUSE | SPECULAR): added after the
// cascade and saturated (diffuse 0x80402010 + specular 0x00D01020 = r 255, g 0x30, b 0x30, alpha from the
// cascade), and read by a stage as D3DTA_SPECULAR (its colour, and its alpha 0x00 through ALPHAREPLICATE).
TEST_F(RasterVertexFeatures, GivenSpecularIsAddedAndReadAsAnArgument) {
  struct SpecularVertex {
    float x, y, z, rhw;
    DWORD diffuse, specular;
  };
  const SpecularVertex quad[4] = {{0, 0, 0.5f, 1, 0x80402010, 0x00D01020},
                                  {8, 0, 0.5f, 1, 0x80402010, 0x00D01020},
                                  {8, 8, 0.5f, 1, 0x80402010, 0x00D01020},
                                  {0, 8, 0.5f, 1, 0x80402010, 0x00D01020}};
  auto draw = [&] {
    clear(kBlack);
    device_->SetVertexShader(D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_SPECULAR);
    ASSERT_EQ(device_->DrawPrimitiveUP(D3DPT_TRIANGLEFAN, 2, quad, sizeof(SpecularVertex)), D3D_OK);
  };
  device_->SetRenderState(D3DRS_SPECULARENABLE, TRUE);
  draw();
  EXPECT_EQ(pixel(3, 3), 0x80FF3030u);

  device_->SetRenderState(D3DRS_SPECULARENABLE, FALSE);
  device_->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
  device_->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_SPECULAR);
  device_->SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_DIFFUSE);
  draw();
  EXPECT_EQ(pixel(3, 3), 0x80D01020u);
  device_->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_SPECULAR | D3DTA_ALPHAREPLICATE);
  draw();
  EXPECT_EQ(pixel(3, 3), 0x80000000u);
}

// A 4 x 1 texture (texels red, green, blue, white) across a full-screen quad of untransformed vertices,
// u 0..1, point sampled. TEXTURE0 scales u by 0.5 and moves it by 0.25 in the third row (2D coordinates
// are (u, v, 1, 0) to the matrix): u' = 0.5 u + 0.25, so pixel 100 (u 0.156 -> 0.328) shows green and
// pixel 540 (u 0.844 -> 0.672) blue, where the untransformed quad shows red and white. COUNT1 keeps u'
// and sets v to 0; DISABLE leaves the coordinates alone.
TEST_F(RasterVertexFeatures, TextureTransformScalesAndMovesCoordinates) {
  struct TexturedVertex {
    float x, y, z;
    DWORD color;
    float u, v;
  };
  const TexturedVertex quad[4] = {{-1, 1, 0.5f, 0xFFFFFFFF, 0, 0}, {1, 1, 0.5f, 0xFFFFFFFF, 1, 0},
                                  {1, -1, 0.5f, 0xFFFFFFFF, 1, 1}, {-1, -1, 0.5f, 0xFFFFFFFF, 0, 1}};
  device_->SetTexture(0, makeTexture(4, 1, D3DFMT_A8R8G8B8, {{0xFFFF0000, 0xFF00FF00, 0xFF0000FF, 0xFFFFFFFF}}));
  device_->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
  D3DMATRIX transform = identityMatrix();
  transform._11 = 0.5f;
  transform._31 = 0.25f;
  device_->SetTransform(D3DTS_TEXTURE0, &transform);
  auto draw = [&](DWORD flags) {
    device_->SetTextureStageState(0, D3DTSS_TEXTURETRANSFORMFLAGS, flags);
    clear(kBlack);
    device_->SetVertexShader(D3DFVF_XYZ | D3DFVF_DIFFUSE | D3DFVF_TEX1);
    ASSERT_EQ(device_->DrawPrimitiveUP(D3DPT_TRIANGLEFAN, 2, quad, sizeof(TexturedVertex)), D3D_OK);
  };
  draw(D3DTTFF_DISABLE);
  EXPECT_EQ(pixel(100, 240), 0xFFFF0000u);
  EXPECT_EQ(pixel(540, 240), 0xFFFFFFFFu);
  draw(D3DTTFF_COUNT2);
  EXPECT_EQ(pixel(100, 240), 0xFF00FF00u);
  EXPECT_EQ(pixel(540, 240), 0xFF0000FFu);
  draw(D3DTTFF_COUNT1);
  EXPECT_EQ(pixel(100, 240), 0xFF00FF00u);
}

// A pre-transformed vertex with four coordinate sets; stage 0 reads set 3 (u 0.625: texel 2, blue), where
// sets 0..2 would give texel 0 (red).
TEST_F(RasterVertexFeatures, AStageReadsCoordinateSetThree) {
  struct FourSetVertex {
    float x, y, z, rhw;
    DWORD color;
    float uv[4][2];
  };
  FourSetVertex quad[4] = {{0, 0, 0.5f, 1, 0xFFFFFFFF, {}}, {8, 0, 0.5f, 1, 0xFFFFFFFF, {}},
                           {8, 8, 0.5f, 1, 0xFFFFFFFF, {}}, {0, 8, 0.5f, 1, 0xFFFFFFFF, {}}};
  for (FourSetVertex& v : quad) v.uv[3][0] = 0.625f;
  device_->SetTexture(0, makeTexture(4, 1, D3DFMT_A8R8G8B8, {{0xFFFF0000, 0xFF00FF00, 0xFF0000FF, 0xFFFFFFFF}}));
  device_->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
  device_->SetTextureStageState(0, D3DTSS_TEXCOORDINDEX, 3);
  device_->SetVertexShader(D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX4);
  ASSERT_EQ(device_->DrawPrimitiveUP(D3DPT_TRIANGLEFAN, 2, quad, sizeof(FourSetVertex)), D3D_OK);
  EXPECT_EQ(pixel(3, 3), 0xFF0000FFu);
}

// World scales x by 2 and flattens z to 0 (moved to depth 0.5): singular, so normals go through the
// matrix itself: N (0, 1, 0) stays (0, 1, 0), lit head-on by a white light travelling -y, and the vertex
// colour (128, 64, 32) shows in full (a zero normal transform would leave it black).
TEST_F(RasterVertexFeatures, SingularWorldTransformsNormalsByItself) {
  device_->SetRenderState(D3DRS_LIGHTING, TRUE);
  setLight({1, 1, 1, 1}, {0, 0, 0, 0}, {0, -1, 0});
  D3DMATRIX world = identityMatrix();
  world._11 = 2.0f;
  world._33 = 0.0f;
  world._43 = 0.5f;
  device_->SetTransform(D3DTS_WORLD, &world);
  drawLit(0xFF804020, {0, 1, 0});
  EXPECT_EQ(pixel(320, 240), D3DCOLOR_ARGB(0xFF, 128, 64, 32));
}

// The normal matrix is the upper 3 x 3 of the whole 4 x 4's inverse-transpose. With identity A, fourth
// column b = (1, 0, 0), bottom row c = (1, 0, 0), corner 2: that block of the inverse is
// (A - b c / 2)^-1 = diag(2, 1, 1), where the 3 x 3 alone would give the identity. A singular matrix
// gives its own upper 3 x 3.
TEST(NormalMatrix, InverseTransposeOfTheWholeMatrixOrTheMatrixWhenSingular) {
  D3DMATRIX projective = identityMatrix();
  projective._14 = 1.0f;
  projective._41 = 1.0f;
  projective._44 = 2.0f;
  const D3DMATRIX n = d3d8compat::normalMatrix(projective);
  const float expected[3][3] = {{2, 0, 0}, {0, 1, 0}, {0, 0, 1}};
  for (int i = 0; i < 3; ++i) {
    for (int j = 0; j < 3; ++j) EXPECT_FLOAT_EQ(n.m[i][j], expected[i][j]) << i << ", " << j;
  }
  D3DMATRIX flat = identityMatrix();
  flat._11 = 3.0f;
  flat._22 = 0.0f;
  flat._43 = 5.0f;
  const D3DMATRIX same = d3d8compat::normalMatrix(flat);
  EXPECT_EQ(same._11, 3.0f);
  EXPECT_EQ(same._22, 0.0f);
  EXPECT_EQ(same._33, 1.0f);
  EXPECT_EQ(same._43, 0.0f);  // upper 3 x 3 only
}

// Identity transforms, so the far plane is z = w = 1 and depth is off (a depth clamp would otherwise hide
// missing clipping). A triangle at z 1.5 vanishes; a quad whose z runs 0.5 .. 1.5 from left to right
// (z = 1 + x/2) is cut at x = 0, the middle column 320 of the screen.
TEST_F(RasterVertexFeatures, FarPlaneRemovesAndCuts) {
  device_->SetRenderState(D3DRS_ZENABLE, FALSE);
  device_->SetVertexShader(0x042);
  const ColorVertex beyond[3] = {{-1, -1, 1.5f, kRed}, {-1, 1, 1.5f, kRed}, {1, 1, 1.5f, kRed}};
  ASSERT_EQ(device_->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, beyond, sizeof(ColorVertex)), D3D_OK);
  EXPECT_EQ(countPixels(kRed), 0);

  const ColorVertex crossing[4] = {{-1, 1, 0.5f, kRed}, {1, 1, 1.5f, kRed}, {1, -1, 1.5f, kRed}, {-1, -1, 0.5f, kRed}};
  ASSERT_EQ(device_->DrawPrimitiveUP(D3DPT_TRIANGLEFAN, 2, crossing, sizeof(ColorVertex)), D3D_OK);
  EXPECT_EQ(pixel(0, 240), kRed);
  EXPECT_EQ(pixel(318, 240), kRed);
  EXPECT_EQ(pixel(322, 240), kBlack);
  EXPECT_EQ(pixel(639, 240), kBlack);
}

// A viewport with MaxZ 7.5 is accepted and maps z/w 0.1 to depth 0.75 (stored round(0.75 * 0xFFFFFF) =
// 0xBFFFFF) and z/w 0.5 to 3.75, clamped to 1 as it is written (0xFFFFFF, and it passes LESSEQUAL against
// the cleared 1). MinZ above MaxZ is accepted too: {1, 0} maps 0.25 to 0.75.
TEST_F(RasterVertexFeatures, ViewportDepthRangePastOneClampsAsItWrites) {
  device_->SetRenderState(D3DRS_ZENABLE, TRUE);
  auto drawAt = [&](float z) {
    const ColorVertex v[3] = {{-1, 1, z, kRed}, {3, 1, z, kRed}, {-1, -3, z, kRed}};
    device_->SetVertexShader(0x042);
    ASSERT_EQ(device_->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, v, sizeof(ColorVertex)), D3D_OK);
  };
  const D3DVIEWPORT8 deep{0, 0, 640, 480, 0.0f, 7.5f};
  ASSERT_EQ(device_->SetViewport(&deep), D3D_OK);
  D3DVIEWPORT8 read{};
  device_->GetViewport(&read);
  EXPECT_EQ(read.MaxZ, 7.5f);
  drawAt(0.1f);
  EXPECT_EQ(pixelAt(*state().depthStencil, 320, 240) >> 8, 0xBFFFFFu);
  clear(kBlack);
  drawAt(0.5f);
  EXPECT_EQ(pixel(320, 240), kRed);
  EXPECT_EQ(pixelAt(*state().depthStencil, 320, 240) >> 8, 0xFFFFFFu);

  const D3DVIEWPORT8 reversed{0, 0, 640, 480, 1.0f, 0.0f};
  ASSERT_EQ(device_->SetViewport(&reversed), D3D_OK);
  clear(kBlack);
  drawAt(0.25f);
  EXPECT_EQ(pixelAt(*state().depthStencil, 320, 240) >> 8, 0xBFFFFFu);
}

}  // namespace
