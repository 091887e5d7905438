// Coverage, culling, clipping and depth: which pixels a triangle owns under the top-left rule and
// Direct3D's pixel-centre convention, which winding each cull mode removes, what survives the near
// plane, and the order depth comparisons give.
#include <cmath>

#include "raster_fixture.h"

namespace {

constexpr D3DCOLOR kRed = 0xFFFF0000, kGreen = 0xFF00FF00, kBlack = 0xFF000000;

void drawTriangle(IDirect3DDevice8* device, float x0, float y0, float x1, float y1, float x2, float y2, DWORD color,
                  float z = 0.5f) {
  const TlVertex v[3] = {{x0, y0, z, 1.0f, color, 0, 0}, {x1, y1, z, 1.0f, color, 0, 0}, {x2, y2, z, 1.0f, color, 0, 0}};
  device->SetVertexShader(0x144);
  ASSERT_EQ(device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, v, sizeof(TlVertex)), D3D_OK);
}

using RasterCoverage = RasterTest;

// The square (0,0)-(5,5) split along its diagonal: the upper-right triangle owns rows 0..4 from the diagonal
// (a left edge, included) to x = 5 (a right edge, excluded): 5 + 4 + 3 + 2 + 1 = 15 pixels; the other
// owns the rest of the 25. Drawn additively, a pixel hit twice would turn yellow.
TEST_F(RasterCoverage, SharedDiagonalSplitsTheSquareFifteenAndTen) {
  device_->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
  device_->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_ONE);
  device_->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_ONE);
  device_->SetRenderState(D3DRS_ZENABLE, FALSE);
  drawTriangle(device_, 0, 0, 5, 0, 5, 5, kRed);
  drawTriangle(device_, 0, 5, 0, 0, 5, 5, kGreen);
  EXPECT_EQ(countPixels(kRed), 15);
  EXPECT_EQ(countPixels(kGreen), 10);
  EXPECT_EQ(countPixels(kBlack), 640 * 480 - 25);
  for (int y = 0; y < 5; ++y) {
    for (int x = 0; x < 5; ++x) EXPECT_EQ(pixel(x, y), x >= y ? kRed : kGreen) << x << "," << y;
  }
}

// Pixel centres sit on integers: a quad (0,0)-(4,4) covers centres 0..3 in each direction, and so does
// (-0.5,-0.5)-(3.5,3.5) (its left and top edges pass through no centre). A full-target quad covers W x H.
TEST_F(RasterCoverage, QuadsCoverTheirPixelCentresOnce) {
  struct Case {
    float x0, y0, x1, y1;
    int count;
    UINT lastX, lastY;
  };
  const Case cases[] = {{0, 0, 4, 4, 16, 3, 3}, {-0.5f, -0.5f, 3.5f, 3.5f, 16, 3, 3}, {0.5f, 0.5f, 4.5f, 4.5f, 16, 4, 4},
                        {0, 0, 640, 480, 640 * 480, 639, 479}, {-0.5f, -0.5f, 639.5f, 479.5f, 640 * 480, 639, 479}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.x0);
    clear(kBlack);
    drawQuad(c.x0, c.y0, c.x1, c.y1, kRed);
    EXPECT_EQ(countPixels(kRed), c.count);
    EXPECT_EQ(pixel(c.lastX, c.lastY), kRed);
    if (c.lastX + 1 < 640) {
      EXPECT_EQ(pixel(c.lastX + 1, c.lastY), kBlack);
    }
  }
}

// On screen (y down) (0,0),(10,0),(0,10) runs clockwise. CULL_CCW (the default) keeps it, CULL_CW drops it;
// the reversed order is the other way round; CULL_NONE keeps both.
TEST_F(RasterCoverage, CullModesRemoveTheirWinding) {
  struct Case {
    DWORD cull;
    bool clockwiseDrawn, counterClockwiseDrawn;
  };
  const Case cases[] = {{D3DCULL_NONE, true, true}, {D3DCULL_CW, false, true}, {D3DCULL_CCW, true, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.cull);
    device_->SetRenderState(D3DRS_CULLMODE, c.cull);
    clear(kBlack);
    drawTriangle(device_, 0, 0, 10, 0, 0, 10, kRed);
    EXPECT_EQ(pixel(2, 2), c.clockwiseDrawn ? kRed : kBlack);
    clear(kBlack);
    drawTriangle(device_, 0, 0, 0, 10, 10, 0, kRed);
    EXPECT_EQ(pixel(2, 2), c.counterClockwiseDrawn ? kRed : kBlack);
  }
}

// A triangle reaching behind the eye. Projection: x, y unchanged, w = view z, z_clip = Q (z - 1) with
// Q = 10/9 (near 1, far 10). Vertices (-1,-1,2), (1,-1,2), (0,1,-1): the near plane cuts the two edges to
// the third vertex at t = 1/3, at (-2/3,-1/3,1) and (2/3,-1/3,1). On screen (X = 320 + 320 x/w,
// Y = 240 - 240 y/w) that is the trapezoid (160,360), (480,360), (533.3,320), (106.7,320). Projected
// without clipping, the vertex behind the eye would land at (320, 480) and pull the triangle down there.
TEST_F(RasterCoverage, NearPlaneClipsATriangleThroughTheEye) {
  D3DMATRIX projection{};
  const float q = 10.0f / 9.0f;
  projection._11 = projection._22 = 1.0f;
  projection._33 = q;
  projection._34 = 1.0f;
  projection._43 = -q;
  device_->SetTransform(D3DTS_PROJECTION, &projection);
  const ColorVertex v[3] = {{-1, -1, 2, kRed}, {1, -1, 2, kRed}, {0, 1, -1, kRed}};
  device_->SetVertexShader(0x042);
  ASSERT_EQ(device_->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, v, sizeof(ColorVertex)), D3D_OK);
  EXPECT_EQ(pixel(320, 340), kRed);
  EXPECT_EQ(pixel(120, 325), kRed);   // left edge at y = 325: x = 106.7 + 53.3 * 5/40 = 113.3
  EXPECT_EQ(pixel(110, 325), kBlack);
  EXPECT_EQ(pixel(320, 319), kBlack);  // above the near-plane cut
  EXPECT_EQ(pixel(320, 361), kBlack);
  EXPECT_EQ(pixel(320, 420), kBlack);
  EXPECT_EQ(pixel(530, 321), kRed);   // right edge at y = 321: x = 533.3 - 53.3/40 = 532
}

// LESSEQUAL (the default): the nearer surface wins whichever comes first; without depth writes the later
// draw wins; GREATER keeps the farther one; a tie passes LESSEQUAL but not LESS.
TEST_F(RasterCoverage, DepthTestOrdersSurfaces) {
  struct Case {
    DWORD func;
    bool write;
    float firstZ, secondZ;
    D3DCOLOR expected;  // first drawn red, second green
  };
  const Case cases[] = {{D3DCMP_LESSEQUAL, true, 0.2f, 0.6f, kRed}, {D3DCMP_LESSEQUAL, true, 0.6f, 0.2f, kGreen},
                        {D3DCMP_LESSEQUAL, false, 0.2f, 0.6f, kGreen}, {D3DCMP_GREATER, true, 0.6f, 0.2f, kRed},
                        {D3DCMP_LESSEQUAL, true, 0.4f, 0.4f, kGreen}, {D3DCMP_LESS, true, 0.4f, 0.4f, kRed}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.func * 10 + c.write);
    device_->SetRenderState(D3DRS_ZFUNC, D3DCMP_LESSEQUAL);
    device_->SetRenderState(D3DRS_ZWRITEENABLE, c.write);
    clear(kBlack, c.func == D3DCMP_GREATER ? 0.0f : 1.0f);
    if (c.func == D3DCMP_GREATER) device_->SetRenderState(D3DRS_ZFUNC, D3DCMP_GREATER);
    drawQuad(0, 0, 8, 8, kRed, c.firstZ);
    device_->SetRenderState(D3DRS_ZFUNC, c.func);
    drawQuad(0, 0, 8, 8, kGreen, c.secondZ);
    EXPECT_EQ(pixel(4, 4), c.expected);
  }
}

// Pre-transformed vertices are not clipped in z: text at z = 3 with depth off stays visible; with depth on
// the value is clamped to 1.0 and passes LESSEQUAL against a cleared 1.0.
TEST_F(RasterCoverage, PretransformedDepthOutsideTheRangeIsDrawnClamped) {
  device_->SetRenderState(D3DRS_ZENABLE, FALSE);
  drawQuad(0, 0, 8, 8, kRed, 3.0f);
  EXPECT_EQ(pixel(4, 4), kRed);
  device_->SetRenderState(D3DRS_ZENABLE, TRUE);
  drawQuad(0, 0, 8, 8, kGreen, 3.0f);
  EXPECT_EQ(pixel(4, 4), kGreen);
  EXPECT_EQ(pixelAt(*state().depthStencil, 4, 4) >> 8, 0xFFFFFFu);
}

// Vertex-stage geometry through the viewport: a full-screen quad at clip x, y = +-1 covers every pixel
// once, and a smaller viewport scissors what falls outside it.
TEST_F(RasterCoverage, ViewportMapsAndScissors) {
  const ColorVertex quad[4] = {{-1, 1, 0.5f, kRed}, {1, 1, 0.5f, kRed}, {1, -1, 0.5f, kRed}, {-1, -1, 0.5f, kRed}};
  device_->SetVertexShader(0x042);
  ASSERT_EQ(device_->DrawPrimitiveUP(D3DPT_TRIANGLEFAN, 2, quad, sizeof(ColorVertex)), D3D_OK);
  EXPECT_EQ(countPixels(kRed), 640 * 480);
  clear(kBlack);
  const D3DVIEWPORT8 viewport{100, 50, 20, 10, 0.0f, 1.0f};
  device_->SetViewport(&viewport);
  drawQuad(0, 0, 640, 480, kGreen);
  EXPECT_EQ(countPixels(kGreen), 200);
  EXPECT_EQ(pixel(100, 50), kGreen);
  EXPECT_EQ(pixel(119, 59), kGreen);
  EXPECT_EQ(pixel(120, 59), kBlack);
}

// FLAT shading colours fan triangle k with vertex k + 1, not the hub: a fan (hub red) of two triangles
// whose second and third vertices are green and blue shows green, then blue; GOURAUD blends instead.
TEST_F(RasterCoverage, FlatShadingTakesTheFirstVertexOfEachFanTriangle) {
  const TlVertex fan[4] = {{0, 0, 0.5f, 1, kRed, 0, 0}, {40, 0, 0.5f, 1, kGreen, 0, 0},
                           {40, 40, 0.5f, 1, 0xFF0000FF, 0, 0}, {0, 40, 0.5f, 1, kBlack, 0, 0}};
  device_->SetRenderState(D3DRS_SHADEMODE, D3DSHADE_FLAT);
  device_->SetVertexShader(0x144);
  ASSERT_EQ(device_->DrawPrimitiveUP(D3DPT_TRIANGLEFAN, 2, fan, sizeof(TlVertex)), D3D_OK);
  EXPECT_EQ(pixel(30, 5), kGreen);      // triangle (0, 1, 2)
  EXPECT_EQ(pixel(5, 30), 0xFF0000FFu);  // triangle (0, 2, 3)
  device_->SetRenderState(D3DRS_SHADEMODE, D3DSHADE_GOURAUD);
  ASSERT_EQ(device_->DrawPrimitiveUP(D3DPT_TRIANGLEFAN, 2, fan, sizeof(TlVertex)), D3D_OK);
  EXPECT_NE(pixel(30, 5), kGreen);
}

// Pre-transformed vertices far outside any sane range, or NaN, are refused at set-up (whose fixed point
// would overflow) instead of being drawn as garbage; an ordinary triangle in the same draw still shows.
TEST_F(RasterCoverage, HugeOrInvalidPretransformedTrianglesAreRefused) {
  const float nan = std::nanf("");
  const TlVertex v[6] = {{0, 0, 0.5f, 1, kRed, 0, 0}, {3e9f, 0, 0.5f, 1, kRed, 0, 0}, {0, 3e9f, 0.5f, 1, kRed, 0, 0},
                         {0, 0, 0.5f, 1, kGreen, 0, 0}, {8, 0, 0.5f, 1, kGreen, 0, 0}, {0, 8, 0.5f, 1, kGreen, 0, 0}};
  device_->SetVertexShader(0x144);
  ASSERT_EQ(device_->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 2, v, sizeof(TlVertex)), D3D_OK);
  EXPECT_EQ(countPixels(kRed), 0);
  EXPECT_EQ(pixel(1, 1), kGreen);
  const TlVertex bad[3] = {{nan, 0, 0.5f, 1, kRed, 0, 0}, {8, 0, 0.5f, 1, kRed, 0, 0}, {0, 8, 0.5f, 1, kRed, 0, 0}};
  ASSERT_EQ(device_->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, bad, sizeof(TlVertex)), D3D_OK);
  EXPECT_EQ(countPixels(kRed), 0);
}

}  // namespace
