// Walks the rest of the caps the device reports: every comparison in ZCmpCaps and AlphaCmpCaps, every
// factor in SrcBlendCaps and DestBlendCaps against a worked value, and every bit of ShadeCaps,
// TextureCaps, TextureFilterCaps, TextureAddressCaps, DevCaps and FVFCaps against a test in this program
// that shows it (a set bit with neither fails). Bits a device reports by leaving them clear (no POW2, no
// SQUAREONLY: any texture size addresses and filters alike) have their own worked values here.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "raster_fixture.h"

namespace {

constexpr D3DCOLOR kGreen = 0xFF00FF00, kBlack = 0xFF000000;

// Each channel of `got` within one step of `want` (the reference's rounding allowance).
testing::AssertionResult nearColor(D3DCOLOR got, D3DCOLOR want) {
  for (int c = 0; c < 4; ++c) {
    if (std::abs(channel(got, c) - channel(want, c)) > 1) {
      char text[48];
      std::snprintf(text, sizeof text, "0x%08X is not 0x%08X", got, want);
      return testing::AssertionFailure() << text;
    }
  }
  return testing::AssertionSuccess();
}

// Calls `run` with the row of every bit set in `reported`; a set bit without a row fails.
template <class Row, class Run>
void walkBits(const char* field, DWORD reported, const std::vector<Row>& rows, Run run) {
  for (DWORD bit = 1; bit != 0; bit <<= 1) {
    if ((reported & bit) == 0) continue;
    const Row* found = nullptr;
    for (const Row& row : rows) found = row.bit == bit ? &row : found;
    if (found == nullptr) {
      ADD_FAILURE() << field << " reports 0x" << std::hex << bit << " but nothing here exercises it";
      continue;
    }
    SCOPED_TRACE(testing::Message() << field << " bit 0x" << std::hex << bit);
    run(*found);
  }
}

class RasterCapsFields : public RasterTest {
 protected:
  void SetUp() override {
    RasterTest::SetUp();
    ASSERT_EQ(device_->GetDeviceCaps(&caps_), D3D_OK);
  }
  D3DCAPS8 caps_{};
};

// A comparison against a reference, given for a value below, equal to and above it.
struct CompareRow {
  DWORD bit;
  D3DCMPFUNC func;
  bool below, equal, above;
};
const std::vector<CompareRow> kCompares = {
    {D3DPCMPCAPS_NEVER, D3DCMP_NEVER, false, false, false},
    {D3DPCMPCAPS_LESS, D3DCMP_LESS, true, false, false},
    {D3DPCMPCAPS_EQUAL, D3DCMP_EQUAL, false, true, false},
    {D3DPCMPCAPS_LESSEQUAL, D3DCMP_LESSEQUAL, true, true, false},
    {D3DPCMPCAPS_GREATER, D3DCMP_GREATER, false, false, true},
    {D3DPCMPCAPS_NOTEQUAL, D3DCMP_NOTEQUAL, true, false, true},
    {D3DPCMPCAPS_GREATEREQUAL, D3DCMP_GREATEREQUAL, false, true, true},
    {D3DPCMPCAPS_ALWAYS, D3DCMP_ALWAYS, true, true, true},
};

// Depth: against a cleared 0.5, quads at 0.25, 0.5 and 0.75 (writes off) side by side. Alpha: against
// ALPHAREF 0x80, quads of alpha 0x7F, 0x80 and 0x81. A quad shows where its comparison passes.
TEST_F(RasterCapsFields, EveryReportedComparisonOrdersDepthAndAlpha) {
  auto expectShown = [&](const CompareRow& row) {
    EXPECT_EQ(pixel(1, 1) != kBlack, row.below) << "below";
    EXPECT_EQ(pixel(5, 1) != kBlack, row.equal) << "equal";
    EXPECT_EQ(pixel(9, 1) != kBlack, row.above) << "above";
  };
  device_->SetRenderState(D3DRS_ZWRITEENABLE, FALSE);
  walkBits("ZCmpCaps", caps_.ZCmpCaps, kCompares, [&](const CompareRow& row) {
    clear(kBlack, 0.5f);
    device_->SetRenderState(D3DRS_ZFUNC, row.func);
    drawQuad(0, 0, 3, 3, kGreen, 0.25f);
    drawQuad(4, 0, 7, 3, kGreen, 0.5f);
    drawQuad(8, 0, 11, 3, kGreen, 0.75f);
    expectShown(row);
  });
  device_->SetRenderState(D3DRS_ZENABLE, FALSE);
  device_->SetRenderState(D3DRS_ALPHATESTENABLE, TRUE);
  device_->SetRenderState(D3DRS_ALPHAREF, 0x80);
  walkBits("AlphaCmpCaps", caps_.AlphaCmpCaps, kCompares, [&](const CompareRow& row) {
    clear(kBlack);
    device_->SetRenderState(D3DRS_ALPHAFUNC, row.func);
    drawQuad(0, 0, 3, 3, 0x7F00FF00);
    drawQuad(4, 0, 7, 3, 0x8000FF00);
    drawQuad(8, 0, 11, 3, 0x8100FF00);
    expectShown(row);
  });
}

// Source S = 0x80FF8040 over destination D = 0x402080C0, each factor alone (the other ZERO), worked per
// channel (a, r, g, b) as c * f rounded: e.g. SRCALPHA takes S * 128/255 = 64.25, 128, 64.25, 32.1;
// INVDESTCOLOR as a destination factor D * (1 - D) = 47.9, 28.0, 63.8, 47.4; SRCALPHASAT's factor is
// min(As, 1 - Ad) = 128/255 for colour and 1 for alpha. BOTHSRCALPHA is S * As + D * (1 - As) = 96.1,
// 143.9, 128, 127.8 whatever DESTBLEND says; BOTHINVSRCALPHA S * (1 - As) + D * As = 95.9, 143.1, 128, 128.3.
TEST_F(RasterCapsFields, EveryReportedBlendFactorHasItsWorkedValue) {
  struct BlendRow {
    DWORD bit;
    D3DBLEND blend;
    D3DCOLOR asSource, asDestination;
  };
  const std::vector<BlendRow> rows = {
      {D3DPBLENDCAPS_ZERO, D3DBLEND_ZERO, 0x00000000, 0x00000000},
      {D3DPBLENDCAPS_ONE, D3DBLEND_ONE, 0x80FF8040, 0x402080C0},
      {D3DPBLENDCAPS_SRCCOLOR, D3DBLEND_SRCCOLOR, 0x40FF4010, 0x20204030},
      {D3DPBLENDCAPS_INVSRCCOLOR, D3DBLEND_INVSRCCOLOR, 0x40004030, 0x20004090},
      {D3DPBLENDCAPS_SRCALPHA, D3DBLEND_SRCALPHA, 0x40804020, 0x20104060},
      {D3DPBLENDCAPS_INVSRCALPHA, D3DBLEND_INVSRCALPHA, 0x407F4020, 0x20104060},
      {D3DPBLENDCAPS_DESTALPHA, D3DBLEND_DESTALPHA, 0x20402010, 0x10082030},
      {D3DPBLENDCAPS_INVDESTALPHA, D3DBLEND_INVDESTALPHA, 0x60BF6030, 0x30186090},
      {D3DPBLENDCAPS_DESTCOLOR, D3DBLEND_DESTCOLOR, 0x20204030, 0x10044091},
      {D3DPBLENDCAPS_INVDESTCOLOR, D3DBLEND_INVDESTCOLOR, 0x60DF4010, 0x301C402F},
      {D3DPBLENDCAPS_SRCALPHASAT, D3DBLEND_SRCALPHASAT, 0x80804020, 0x40104060},
      {D3DPBLENDCAPS_BOTHSRCALPHA, D3DBLEND_BOTHSRCALPHA, 0x60908080, 0},
      {D3DPBLENDCAPS_BOTHINVSRCALPHA, D3DBLEND_BOTHINVSRCALPHA, 0x608F8080, 0},
  };
  device_->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
  auto blendOnce = [&](D3DBLEND source, D3DBLEND destination) {
    device_->SetRenderState(D3DRS_SRCBLEND, source);
    device_->SetRenderState(D3DRS_DESTBLEND, destination);
    clear(0x402080C0);
    drawQuad(0, 0, 2, 2, 0x80FF8040);
    return pixel(0, 0);
  };
  walkBits("SrcBlendCaps", caps_.SrcBlendCaps, rows,
           [&](const BlendRow& row) { EXPECT_TRUE(nearColor(blendOnce(row.blend, D3DBLEND_ZERO), row.asSource)); });
  walkBits("DestBlendCaps", caps_.DestBlendCaps, rows, [&](const BlendRow& row) {
    EXPECT_TRUE(nearColor(blendOnce(D3DBLEND_ZERO, row.blend), row.asDestination));
  });
}

// Point and linear filtering chosen per direction, on a 4 x 1 texture of red 0, 100, 200, 40 drawn on
// a quad shifted by half a pixel (pixel k samples u = (k + 0.5) / width). Minified onto 2 pixels
// (lambda 1), pixel 0 samples u = 0.25, x = 0.5: POINT reads texel 1 (100), LINEAR halves texels 0 and 1
// (50). Magnified onto 8 pixels, pixel 1 samples u = 0.1875, x = 0.25: POINT texel 0 (0), LINEAR
// 0.75 * 0 + 0.25 * 100 (25).
TEST_F(RasterCapsFields, MinificationAndMagnificationFilterApart) {
  device_->SetTexture(0, makeTexture(4, 1, D3DFMT_A8R8G8B8, {{0xFF000000, 0xFF640000, 0xFFC80000, 0xFF280000}}));
  struct Case {
    DWORD minFilter, magFilter;
    float width;
    UINT x;
    int red;
  };
  const Case cases[] = {{D3DTEXF_POINT, D3DTEXF_LINEAR, 2, 0, 100}, {D3DTEXF_LINEAR, D3DTEXF_POINT, 2, 0, 50},
                        {D3DTEXF_LINEAR, D3DTEXF_POINT, 8, 1, 0}, {D3DTEXF_POINT, D3DTEXF_LINEAR, 8, 1, 25}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "min " << c.minFilter << ", mag " << c.magFilter << ", width " << c.width);
    device_->SetTextureStageState(0, D3DTSS_MINFILTER, c.minFilter);
    device_->SetTextureStageState(0, D3DTSS_MAGFILTER, c.magFilter);
    clear(kBlack);
    drawQuad(-0.5f, -0.5f, c.width - 0.5f, 0.5f, 0xFFFFFFFF);
    EXPECT_NEAR(channel(pixel(c.x, 0), 2), c.red, 1);
  }
}

// Textures of any size, square or not, wrap and filter as powers of two do; U and V address apart. A
// 3 x 2 texture, texel (x, y) red 90x, green 100y, sampled at one (u, v) everywhere:
// - point, both WRAP, (1.5, -0.25): x = frac(1.5) * 3 = 1.5 -> 1, y = frac(-0.25) * 2 = 1.5 -> 1;
// - point, U WRAP and V CLAMP, (1.25, 1.25): x = 0.75 -> 0, y clamps to 1; U CLAMP and V WRAP: x 2, y 0;
// - bilinear, WRAP, (0, 0.25): x = -0.5 halves texels 2 (the wrap of -1) and 0: red 90, green 0.
TEST_F(RasterCapsFields, AnyTextureSizeWrapsAndEachAxisAddressesApart) {
  std::vector<D3DCOLOR> texels;
  for (UINT y = 0; y < 2; ++y) {
    for (UINT x = 0; x < 3; ++x) texels.push_back(D3DCOLOR_ARGB(255, 90 * x, 100 * y, 0));
  }
  device_->SetTexture(0, makeTexture(3, 2, D3DFMT_A8R8G8B8, {texels}));
  struct Case {
    DWORD filter, addressU, addressV;
    float u, v;
    D3DCOLOR expected;
  };
  const Case cases[] = {
      {D3DTEXF_POINT, D3DTADDRESS_WRAP, D3DTADDRESS_WRAP, 1.5f, -0.25f, D3DCOLOR_ARGB(255, 90, 100, 0)},
      {D3DTEXF_POINT, D3DTADDRESS_WRAP, D3DTADDRESS_CLAMP, 1.25f, 1.25f, D3DCOLOR_ARGB(255, 0, 100, 0)},
      {D3DTEXF_POINT, D3DTADDRESS_CLAMP, D3DTADDRESS_WRAP, 1.25f, 1.25f, D3DCOLOR_ARGB(255, 180, 0, 0)},
      {D3DTEXF_LINEAR, D3DTADDRESS_WRAP, D3DTADDRESS_WRAP, 0.0f, 0.25f, D3DCOLOR_ARGB(255, 90, 0, 0)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "filter " << c.filter << " at " << c.u << ", " << c.v);
    setFilters(0, c.filter);
    device_->SetTextureStageState(0, D3DTSS_ADDRESSU, c.addressU);
    device_->SetTextureStageState(0, D3DTSS_ADDRESSV, c.addressV);
    drawQuad(0, 0, 2, 2, 0xFFFFFFFF, 0.5f, c.u, c.v, c.u, c.v);
    EXPECT_TRUE(nearColor(pixel(0, 0), c.expected));
  }
}

// Colour and alpha interpolate across a quad from 0x0000FF00 (x = 0) to 0xFFFF0000 (x = 4): pixel
// centres x = 0, 1, 2, 3 lie at t = x / 4, red and alpha 0, 63.75, 127.5, 191.25, green the rest of 255.
TEST_F(RasterCapsFields, ColourAndAlphaInterpolateAcrossATriangle) {
  const TlVertex quad[4] = {{0, 0, 0.5f, 1, 0x0000FF00, 0, 0}, {4, 0, 0.5f, 1, 0xFFFF0000, 0, 0},
                            {4, 4, 0.5f, 1, 0xFFFF0000, 0, 0}, {0, 4, 0.5f, 1, 0x0000FF00, 0, 0}};
  device_->SetVertexShader(0x144);
  ASSERT_EQ(device_->DrawPrimitiveUP(D3DPT_TRIANGLEFAN, 2, quad, sizeof(TlVertex)), D3D_OK);
  const D3DCOLOR expected[4] = {0x0000FF00, 0x4040BF00, 0x80808000, 0xBFBF4000};
  for (UINT x = 0; x < 4; ++x) EXPECT_TRUE(nearColor(pixel(x, 2), expected[x])) << x;
}

// Textures in system memory and dynamic default-pool textures are drawn with, and pre-transformed
// vertices are drawn from a system-memory buffer.
TEST_F(RasterCapsFields, SystemMemoryAndDynamicResourcesDraw) {
  struct Case {
    DWORD usage;
    D3DPOOL pool;
    D3DCOLOR texel;
  };
  const Case cases[] = {{0, D3DPOOL_SYSTEMMEM, 0xFF336699}, {D3DUSAGE_DYNAMIC, D3DPOOL_DEFAULT, 0xFF996633}};
  setFilters(0, D3DTEXF_POINT);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.pool);
    IDirect3DTexture8* texture = nullptr;
    ASSERT_EQ(device_->CreateTexture(1, 1, 1, c.usage, D3DFMT_A8R8G8B8, c.pool, &texture), D3D_OK);
    textures_.push_back(texture);
    D3DLOCKED_RECT locked{};
    ASSERT_EQ(texture->LockRect(0, &locked, nullptr, 0), D3D_OK);
    *static_cast<DWORD*>(locked.pBits) = c.texel;
    texture->UnlockRect(0);
    ASSERT_EQ(device_->SetTexture(0, texture), D3D_OK);
    drawQuad(0, 0, 2, 2, 0xFFFFFFFF);
    EXPECT_EQ(pixel(0, 0), c.texel);
  }
  device_->SetTexture(0, nullptr);

  IDirect3DVertexBuffer8* buffer = nullptr;
  ASSERT_EQ(device_->CreateVertexBuffer(3 * sizeof(TlVertex), 0, 0x144, D3DPOOL_SYSTEMMEM, &buffer), D3D_OK);
  BYTE* data = nullptr;
  ASSERT_EQ(buffer->Lock(0, 0, &data, 0), D3D_OK);
  const TlVertex triangle[3] = {{0, 0, 0.5f, 1, kGreen, 0, 0}, {8, 0, 0.5f, 1, kGreen, 0, 0},
                                {0, 8, 0.5f, 1, kGreen, 0, 0}};
  std::memcpy(data, triangle, sizeof(triangle));
  buffer->Unlock();
  device_->SetStreamSource(0, buffer, sizeof(TlVertex));
  EXPECT_EQ(device_->DrawPrimitive(D3DPT_TRIANGLELIST, 0, 1), D3D_OK);
  EXPECT_EQ(pixel(1, 1), kGreen);
  device_->SetStreamSource(0, nullptr, 0);
  buffer->Release();
}

// A point's own size (FVF PSIZE, over D3DRS_POINTSIZE 1): a pre-transformed point of size 4 at (10, 10)
// covers the pixel centres 8..11 each way. 32-bit indices above 0xFFFF (MaxVertexIndex is larger) reach
// their vertices: a triangle made of vertices 0x10000..0x10002 is drawn.
TEST_F(RasterCapsFields, VertexPointSizeAndThirtyTwoBitIndices) {
  struct SizedPoint {  // FVF 0x64: XYZRHW | PSIZE | DIFFUSE
    float x, y, z, rhw, size;
    DWORD color;
  };
  const SizedPoint point{10, 10, 0.5f, 1, 4.0f, kGreen};
  device_->SetVertexShader(D3DFVF_XYZRHW | D3DFVF_PSIZE | D3DFVF_DIFFUSE);
  ASSERT_EQ(device_->DrawPrimitiveUP(D3DPT_POINTLIST, 1, &point, sizeof point), D3D_OK);
  EXPECT_EQ(pixel(8, 8), kGreen);
  EXPECT_EQ(pixel(11, 11), kGreen);
  EXPECT_EQ(pixel(7, 10), kBlack);
  EXPECT_EQ(pixel(12, 10), kBlack);

  clear(kBlack);
  constexpr UINT kFirst = 0x10000;
  IDirect3DVertexBuffer8* vertices = nullptr;
  IDirect3DIndexBuffer8* indices = nullptr;
  ASSERT_EQ(device_->CreateVertexBuffer((kFirst + 3) * sizeof(TlVertex), 0, 0x144, D3DPOOL_MANAGED, &vertices), D3D_OK);
  ASSERT_EQ(device_->CreateIndexBuffer(3 * sizeof(DWORD), 0, D3DFMT_INDEX32, D3DPOOL_MANAGED, &indices), D3D_OK);
  BYTE* data = nullptr;
  ASSERT_EQ(vertices->Lock(0, 0, &data, 0), D3D_OK);
  const TlVertex triangle[3] = {{0, 0, 0.5f, 1, kGreen, 0, 0}, {8, 0, 0.5f, 1, kGreen, 0, 0},
                                {0, 8, 0.5f, 1, kGreen, 0, 0}};
  std::memcpy(data + kFirst * sizeof(TlVertex), triangle, sizeof triangle);
  vertices->Unlock();
  ASSERT_EQ(indices->Lock(0, 0, &data, 0), D3D_OK);
  const DWORD order[3] = {kFirst, kFirst + 1, kFirst + 2};
  std::memcpy(data, order, sizeof order);
  indices->Unlock();
  device_->SetVertexShader(0x144);
  device_->SetStreamSource(0, vertices, sizeof(TlVertex));
  device_->SetIndices(indices, 0);
  EXPECT_EQ(device_->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, kFirst, 3, 0, 1), D3D_OK);
  EXPECT_EQ(pixel(1, 1), kGreen);
  device_->SetStreamSource(0, nullptr, 0);
  device_->SetIndices(nullptr, 0);
  vertices->Release();
  indices->Release();
}

// Each remaining cap bit names the test of this program that shows it; the walk fails on a reported
// bit with no test, or a named test that is not there.
TEST_F(RasterCapsFields, EveryOtherReportedCapNamesATestOfIt) {
  struct NamedRow {
    DWORD bit;
    const char* test;
  };
  auto walkNamed = [](const char* field, DWORD reported, const std::vector<NamedRow>& rows) {
    walkBits(field, reported, rows,
             [](const NamedRow& row) { EXPECT_TRUE(testRegistered(row.test)) << row.test << " is not a test here"; });
  };
  walkNamed("ShadeCaps", caps_.ShadeCaps,
            {{D3DPSHADECAPS_COLORGOURAUDRGB, "RasterCapsFields.ColourAndAlphaInterpolateAcrossATriangle"},
             {D3DPSHADECAPS_ALPHAGOURAUDBLEND, "RasterCapsFields.ColourAndAlphaInterpolateAcrossATriangle"},
             {D3DPSHADECAPS_SPECULARGOURAUDRGB, "RasterVertexFeatures.SpecularHighlightOfAKnownLightNormalEyeAndPower"}});
  walkNamed("TextureCaps", caps_.TextureCaps,
            {{D3DPTEXTURECAPS_PERSPECTIVE, "RasterGroups.PerspectiveTrilinearDepthBlendAndAlphaTest"},
             {D3DPTEXTURECAPS_ALPHA, "RasterTexture.FormatsExpandToFullRange"},
             {D3DPTEXTURECAPS_MIPMAP, "RasterTexture.MipLevelFollowsTheFootprint"}});
  walkNamed("TextureFilterCaps", caps_.TextureFilterCaps,
            {{D3DPTFILTERCAPS_MINFPOINT, "RasterCapsFields.MinificationAndMagnificationFilterApart"},
             {D3DPTFILTERCAPS_MINFLINEAR, "RasterCapsFields.MinificationAndMagnificationFilterApart"},
             {D3DPTFILTERCAPS_MAGFPOINT, "RasterCapsFields.MinificationAndMagnificationFilterApart"},
             {D3DPTFILTERCAPS_MAGFLINEAR, "RasterTexture.BilinearFollowsTheTexelCentreConvention"},
             {D3DPTFILTERCAPS_MIPFPOINT, "RasterTexture.MipLevelFollowsTheFootprint"},
             {D3DPTFILTERCAPS_MIPFLINEAR, "RasterTexture.MipLevelFollowsTheFootprint"}});
  walkNamed("TextureAddressCaps", caps_.TextureAddressCaps,
            {{D3DPTADDRESSCAPS_WRAP, "RasterTexture.WrapAndClampAddressing"},
             {D3DPTADDRESSCAPS_CLAMP, "RasterTexture.WrapAndClampAddressing"},
             {D3DPTADDRESSCAPS_INDEPENDENTUV, "RasterCapsFields.AnyTextureSizeWrapsAndEachAxisAddressesApart"}});
  // Bits about how a driver is fed (DrawPrimitives2, execute buffers) hold for every draw here.
  walkNamed("DevCaps", caps_.DevCaps,
            {{D3DDEVCAPS_EXECUTESYSTEMMEMORY, "RasterCapsFields.SystemMemoryAndDynamicResourcesDraw"},
             {D3DDEVCAPS_TLVERTEXSYSTEMMEMORY, "RasterCapsFields.SystemMemoryAndDynamicResourcesDraw"},
             {D3DDEVCAPS_TEXTURESYSTEMMEMORY, "RasterCapsFields.SystemMemoryAndDynamicResourcesDraw"},
             {D3DDEVCAPS_DRAWPRIMTLVERTEX, "RasterCoverage.QuadsCoverTheirPixelCentresOnce"},
             {D3DDEVCAPS_DRAWPRIMITIVES2, "RasterCoverage.QuadsCoverTheirPixelCentresOnce"},
             {D3DDEVCAPS_DRAWPRIMITIVES2EX, "RasterCoverage.QuadsCoverTheirPixelCentresOnce"},
             {D3DDEVCAPS_HWRASTERIZATION, "RasterCoverage.QuadsCoverTheirPixelCentresOnce"},
             {D3DDEVCAPS_HWTRANSFORMANDLIGHT, "RasterLighting.DirectionalLightsAndAmbient"}});
  walkNamed("FVFCaps", caps_.FVFCaps & ~D3DFVFCAPS_TEXCOORDCOUNTMASK,
            {{D3DFVFCAPS_PSIZE, "RasterCapsFields.VertexPointSizeAndThirtyTwoBitIndices"}});
  EXPECT_GT(caps_.MaxVertexIndex, 0xFFFFu);
  EXPECT_TRUE(testRegistered("RasterCapsFields.VertexPointSizeAndThirtyTwoBitIndices"));
  EXPECT_EQ(caps_.FVFCaps & D3DFVFCAPS_TEXCOORDCOUNTMASK, 8u);
  EXPECT_TRUE(testRegistered("RasterVertexFeatures.AStageReadsCoordinateSetThree"));
  walkNamed("Caps2", caps_.Caps2 & D3DCAPS2_DYNAMICTEXTURES,
            {{D3DCAPS2_DYNAMICTEXTURES, "RasterCapsFields.SystemMemoryAndDynamicResourcesDraw"}});
  // Caps a device keeps by leaving them clear: textures of any size and shape.
  EXPECT_EQ(caps_.TextureCaps & (D3DPTEXTURECAPS_POW2 | D3DPTEXTURECAPS_SQUAREONLY | D3DPTEXTURECAPS_NONPOW2CONDITIONAL),
            0u);
  EXPECT_TRUE(testRegistered("RasterCapsFields.AnyTextureSizeWrapsAndEachAxisAddressesApart"));
}

}  // namespace
