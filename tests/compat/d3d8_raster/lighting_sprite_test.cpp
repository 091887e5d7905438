// Vertex stage results seen on screen: directional lighting with material ambient and D3DRS_AMBIENT,
// NORMALIZENORMALS under a scaled world matrix, lit alpha; point sprite sizes at known distances, the
// size clamps, sprite texture coordinates, sprites partly off screen, and the sprite's single depth.
#include <cmath>
#include <utility>

#include "raster_fixture.h"

namespace {

class RasterLighting : public RasterTest {
 protected:
  void SetUp() override {
    RasterTest::SetUp();
    device_->SetRenderState(D3DRS_LIGHTING, TRUE);
    device_->SetRenderState(D3DRS_AMBIENT, 0xFFFFFFFF);
    D3DMATERIAL8 material{};
    material.Ambient = {8.0f / 255.0f, 8.0f / 255.0f, 8.0f / 255.0f, 1.0f};
    device_->SetMaterial(&material);
  }

  void setLight(DWORD index, D3DCOLORVALUE diffuse, D3DVECTOR direction) {
    D3DLIGHT8 light{};
    light.Type = D3DLIGHT_DIRECTIONAL;
    light.Diffuse = diffuse;
    light.Direction = direction;
    device_->SetLight(index, &light);
    device_->LightEnable(index, TRUE);
  }

  // A screen-covering triangle at z (identity transforms), facing the viewer (normal -z).
  D3DCOLOR drawLit(DWORD color, float z = 0.5f) {
    const LitVertex v[3] = {{-1, -1, z, 0, 0, -1, color, 0, 0}, {-1, 3, z, 0, 0, -1, color, 0, 0},
                            {3, -1, z, 0, 0, -1, color, 0, 0}};
    device_->SetVertexShader(0x152);
    EXPECT_EQ(device_->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, v, sizeof(LitVertex)), D3D_OK);
    return pixel(320, 240);
  }
};

// Vertex colour (r 128, g 64, b 32, a 128), material ambient 8/255 lit by AMBIENT white: each channel is
// 8 + colour * sum(light diffuse * max(0, N.L)). Light 0 (1, 0.5, 1) travels +z, straight at the face:
// r 8 + 128 = 136, g 8 + 32 = 40, b 8 + 32 = 40. Light 1 white at 60 degrees (N.L = 0.5) adds half the
// vertex colour: r 200, g 72, b 56. A light from behind adds nothing. Alpha is the vertex alpha.
TEST_F(RasterLighting, DirectionalLightsAndAmbient) {
  setLight(0, {1.0f, 0.5f, 1.0f, 1.0f}, {0, 0, 1});
  EXPECT_EQ(drawLit(0x80804020), D3DCOLOR_ARGB(0x80, 136, 40, 40));
  setLight(1, {1, 1, 1, 1}, {0, -0.8660254f, 0.5f});
  EXPECT_EQ(drawLit(0xFF804020), D3DCOLOR_ARGB(0xFF, 200, 72, 56));
  device_->LightEnable(1, FALSE);
  setLight(0, {1, 1, 1, 1}, {0, 0, -1});
  EXPECT_EQ(drawLit(0xFF804020), D3DCOLOR_ARGB(0xFF, 8, 8, 8));
}

// World scale 2: normals go through the inverse-transpose (scale 1/2), so N.L = 0.5 unless
// NORMALIZENORMALS restores unit length: r 8 + 64 = 72, then 8 + 128 = 136.
TEST_F(RasterLighting, NormalizeNormalsUnderAScaledWorld) {
  setLight(0, {1, 1, 1, 1}, {0, 0, 1});
  D3DMATRIX world = identityMatrix();
  world._11 = world._22 = world._33 = 2.0f;
  device_->SetTransform(D3DTS_WORLD, &world);
  EXPECT_EQ(channel(drawLit(0xFF800000, 0.25f), 2), 72);
  device_->SetRenderState(D3DRS_NORMALIZENORMALS, TRUE);
  EXPECT_EQ(channel(drawLit(0xFF800000, 0.25f), 2), 136);
}

class RasterSprites : public RasterTest {
 protected:
  void SetUp() override {
    RasterTest::SetUp();
    // Perspective: w = view z, z_clip = Q (z - 1), Q = 100/99 (near 1, far 100).
    D3DMATRIX projection{};
    projection._11 = projection._22 = 1.0f;
    projection._33 = 100.0f / 99.0f;
    projection._34 = 1.0f;
    projection._43 = -100.0f / 99.0f;
    device_->SetTransform(D3DTS_PROJECTION, &projection);
    device_->SetRenderState(D3DRS_POINTSCALEENABLE, TRUE);
    device_->SetRenderState(D3DRS_POINTSCALE_A, d3d8compat::floatAsState(0.0f));
    device_->SetRenderState(D3DRS_POINTSCALE_B, d3d8compat::floatAsState(0.0f));
    device_->SetRenderState(D3DRS_POINTSCALE_C, d3d8compat::floatAsState(1.0f));
    device_->SetRenderState(D3DRS_POINTSIZE, d3d8compat::floatAsState(1.0f));
  }
  void drawPoint(float distance, DWORD color = 0xFFFF0000) {
    const ColorVertex point = {0, 0, distance, color};
    device_->SetVertexShader(0x042);
    ASSERT_EQ(device_->DrawPrimitiveUP(D3DPT_POINTLIST, 1, &point, sizeof(ColorVertex)), D3D_OK);
  }
};

// S = Vh * size * sqrt(1 / (C De^2)) = 480 / De pixels, centred on (320, 240): De = 10 -> 48 (pixels
// 296..343 each way), De = 40 -> 12; De = 5 -> 96, clamped to MaxPointSize 64; POINTSIZE_MAX 30 -> 30;
// POINTSIZE_MIN 20 lifts the 12-pixel sprite to 20.
TEST_F(RasterSprites, SizeFollowsDistanceAndClamps) {
  struct Case {
    float distance, minSize, maxSize;
    int side;
  };
  const Case cases[] = {{10, 0, 64, 48}, {40, 0, 64, 12}, {5, 0, 64, 64}, {10, 0, 30, 30}, {40, 20, 64, 20}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.distance * 100 + c.maxSize);
    device_->SetRenderState(D3DRS_POINTSIZE_MIN, d3d8compat::floatAsState(c.minSize));
    device_->SetRenderState(D3DRS_POINTSIZE_MAX, d3d8compat::floatAsState(c.maxSize));
    clear(0xFF000000);
    drawPoint(c.distance);
    EXPECT_EQ(countPixels(0xFFFF0000), c.side * c.side);
    EXPECT_EQ(pixel(320 - c.side / 2, 240 - c.side / 2), 0xFFFF0000u);
    EXPECT_EQ(pixel(320 + c.side / 2 - 1, 240 + c.side / 2 - 1), 0xFFFF0000u);
  }
}

// An adapter made for a picture twice as large allows points twice as wide: De = 5 -> 96 pixels, no
// longer clamped; POINTSIZE_MAX still limits them.
TEST_F(RasterSprites, AWiderAdapterLetsPointsGrowPast64) {
  d3d8compat::AdapterProfile wide;
  wide.maxPointSize = 128.0f;
  d3d8compat::setAdapterProfile(wide);
  for (const auto& [maxSize, side] : {std::pair{128.0f, 96}, std::pair{64.0f, 64}}) {
    device_->SetRenderState(D3DRS_POINTSIZE_MAX, d3d8compat::floatAsState(maxSize));
    clear(0xFF000000);
    drawPoint(5);
    EXPECT_EQ(countPixels(0xFFFF0000), side * side) << maxSize;
  }
  d3d8compat::setAdapterProfile(d3d8compat::AdapterProfile{});
}

// Every pixel of the sprite has the centre's depth: Q (10 - 1) / 10 = 0.909090... for De = 10.
TEST_F(RasterSprites, DepthIsConstantAcrossTheSprite) {
  drawPoint(10);
  const uint32_t expected = d3d8compat::quantizeDepth(D3DFMT_D24S8, 0.9090909f);
  const uint32_t corner = pixelAt(*state().depthStencil, 296, 216) >> 8;
  EXPECT_EQ(pixelAt(*state().depthStencil, 343, 263) >> 8, corner);
  EXPECT_EQ(pixelAt(*state().depthStencil, 320, 240) >> 8, corner);
  EXPECT_NEAR(static_cast<double>(corner), static_cast<double>(expected), 4.0);
}

// POINTSPRITEENABLE: an 8-pixel sprite at (100, 100) spans 96..103; u = (px - 96) / 8, so a 2 x 2
// point-sampled texture shows texel (0, 0) in pixels 96..99 and texel (1, 1) in 100..103. A sprite centred
// off screen at x = -4 (size 20: -14..6) still shows its visible 6 x 20 pixels.
TEST_F(RasterSprites, SpriteTextureCoordinatesAndScreenEdge) {
  device_->SetRenderState(D3DRS_POINTSPRITEENABLE, TRUE);
  device_->SetRenderState(D3DRS_POINTSIZE, d3d8compat::floatAsState(8.0f));
  device_->SetTexture(0, makeTexture(2, 2, D3DFMT_A8R8G8B8, {{0xFF0000FF, 0xFF00FF00, 0xFFFF0000, 0xFFFFFFFF}}));
  setFilters(0, D3DTEXF_POINT);
  const TlVertex point = {100, 100, 0.5f, 1, 0xFFFFFFFF, 0, 0};
  device_->SetVertexShader(0x144);
  ASSERT_EQ(device_->DrawPrimitiveUP(D3DPT_POINTLIST, 1, &point, sizeof(TlVertex)), D3D_OK);
  EXPECT_EQ(pixel(96, 96), 0xFF0000FFu);
  EXPECT_EQ(pixel(99, 99), 0xFF0000FFu);
  EXPECT_EQ(pixel(103, 96), 0xFF00FF00u);
  EXPECT_EQ(pixel(96, 103), 0xFFFF0000u);
  EXPECT_EQ(pixel(103, 103), 0xFFFFFFFFu);
  EXPECT_EQ(pixel(104, 104), 0xFF000000u);

  device_->SetTexture(0, nullptr);
  clear(0xFF000000);
  device_->SetRenderState(D3DRS_POINTSIZE, d3d8compat::floatAsState(20.0f));
  const TlVertex edge = {-4, 100, 0.5f, 1, 0xFFFF0000, 0, 0};
  ASSERT_EQ(device_->DrawPrimitiveUP(D3DPT_POINTLIST, 1, &edge, sizeof(TlVertex)), D3D_OK);
  EXPECT_EQ(countPixels(0xFFFF0000), 6 * 20);
}

// A point behind the near plane is dropped whole.
TEST_F(RasterSprites, PointBehindTheNearPlaneIsDropped) {
  drawPoint(0.5f);
  EXPECT_EQ(countPixels(0xFFFF0000), 0);
}

// Sprites are filled as rectangles: the same pixels and colours, byte for byte, as the two triangles
// (top-left, top-right, bottom-right) and (top-left, bottom-right, bottom-left) they stand for. Sizes and
// centres off the pixel grid, rhw below 1, bilinear texture, additive overlap, a sprite across the left
// edge and one across the bottom-right corner.
TEST_F(RasterSprites, RectanglesDrawWhatTheirTwoTrianglesDraw) {
  device_->SetRenderState(D3DRS_POINTSCALEENABLE, FALSE);
  device_->SetRenderState(D3DRS_POINTSPRITEENABLE, TRUE);
  device_->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
  device_->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_ONE);
  device_->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_ONE);
  std::vector<D3DCOLOR> texels;
  for (UINT y = 0; y < 8; ++y) {
    for (UINT x = 0; x < 8; ++x) texels.push_back(D3DCOLOR_ARGB(255, 30 * x, 30 * y, (x * y * 7) & 0xFF));
  }
  device_->SetTexture(0, makeTexture(8, 8, D3DFMT_A8R8G8B8, {texels}));
  setFilters(0, D3DTEXF_LINEAR);
  struct Sprite {
    float x, y, size;
    DWORD color;
  };
  const Sprite sprites[] = {{100.3f, 80.7f, 13.4f, 0xFF8040C0}, {107.5f, 86.5f, 20.0f, 0xFF204080},
                            {2.2f, 200.9f, 33.3f, 0xFFFFFFFF}, {636.6f, 477.1f, 17.7f, 0xFF808080},
                            {320.0f, 240.0f, 63.9f, 0xFF102030}, {400.49f, 300.51f, 1.5f, 0xFFFF0000}};
  auto picture = [&] {
    std::vector<D3DCOLOR> pixels;
    for (UINT y = 0; y < 480; ++y) {
      for (UINT x = 0; x < 640; ++x) pixels.push_back(pixel(x, y));
    }
    return pixels;
  };
  device_->SetVertexShader(0x144);
  clear(0xFF000000);
  for (const Sprite& sp : sprites) {
    device_->SetRenderState(D3DRS_POINTSIZE, d3d8compat::floatAsState(sp.size));
    const TlVertex point = {sp.x, sp.y, 0.25f, 0.5f, sp.color, 0, 0};
    ASSERT_EQ(device_->DrawPrimitiveUP(D3DPT_POINTLIST, 1, &point, sizeof(TlVertex)), D3D_OK);
  }
  const std::vector<D3DCOLOR> asRectangles = picture();
  clear(0xFF000000);
  for (const Sprite& sp : sprites) {
    const float h = sp.size * 0.5f, l = sp.x - h, r = sp.x + h, t = sp.y - h, b = sp.y + h;
    const TlVertex quad[6] = {{l, t, 0.25f, 0.5f, sp.color, 0, 0}, {r, t, 0.25f, 0.5f, sp.color, 1, 0},
                              {r, b, 0.25f, 0.5f, sp.color, 1, 1}, {l, t, 0.25f, 0.5f, sp.color, 0, 0},
                              {r, b, 0.25f, 0.5f, sp.color, 1, 1}, {l, b, 0.25f, 0.5f, sp.color, 0, 1}};
    ASSERT_EQ(device_->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 2, quad, sizeof(TlVertex)), D3D_OK);
  }
  const std::vector<D3DCOLOR> asTriangles = picture();
  int lit = 0, differing = 0;
  for (size_t i = 0; i < asTriangles.size(); ++i) {
    lit += asTriangles[i] != 0xFF000000u ? 1 : 0;
    differing += asTriangles[i] != asRectangles[i] ? 1 : 0;
  }
  EXPECT_GT(lit, 5000);
  EXPECT_EQ(differing, 0);
}

}  // namespace
