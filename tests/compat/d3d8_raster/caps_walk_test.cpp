// Walks the vertex-processing and primitive-misc caps the device reports: every bit set must have an
// exercise here that shows the claimed behaviour against a worked value, or the test fails. (Texture
// operations are walked in cascade_ops_test.cpp.)
#include <functional>

#include "raster_fixture.h"

namespace {

constexpr D3DCOLOR kRed = 0xFFFF0000, kBlack = 0xFF000000;

class RasterCapsWalk : public RasterTest {
 protected:
  struct Exercise {
    DWORD bit;
    const char* name;
    std::function<void()> run;
  };

  // Runs the exercise of every bit set in `reported`; a set bit without one fails.
  void walk(const char* field, DWORD reported, const std::vector<Exercise>& exercises) {
    for (DWORD bit = 1; bit != 0; bit <<= 1) {
      if ((reported & bit) == 0) continue;
      const Exercise* found = nullptr;
      for (const Exercise& e : exercises) found = e.bit == bit ? &e : found;
      if (found == nullptr) {
        ADD_FAILURE() << field << " reports 0x" << std::hex << bit << " but nothing here exercises it";
        continue;
      }
      SCOPED_TRACE(found->name);
      device_->SetRenderState(D3DRS_LIGHTING, FALSE);
      device_->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
      clear(kBlack);
      found->run();
    }
  }

  // A screen-covering lit triangle at depth 0.5 facing the viewer, vertex colour (128, 64, 32).
  void drawLit(DWORD color = 0xFF804020) {
    const LitVertex v[3] = {{-1, 1, 0.5f, 0, 0, -1, color, 0, 0}, {3, 1, 0.5f, 0, 0, -1, color, 0, 0},
                            {-1, -3, 0.5f, 0, 0, -1, color, 0, 0}};
    device_->SetVertexShader(0x152);
    ASSERT_EQ(device_->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, v, sizeof(LitVertex)), D3D_OK);
  }

  void lightHeadOn(D3DCOLORVALUE specular = {0, 0, 0, 0}) {
    D3DLIGHT8 light{};
    light.Type = D3DLIGHT_DIRECTIONAL;
    light.Diffuse = {1, 1, 1, 1};
    light.Specular = specular;
    light.Direction = {0, -0.6f, 0.8f};  // N.L = 0.8
    device_->SetLight(0, &light);
    device_->LightEnable(0, TRUE);
    device_->SetRenderState(D3DRS_LIGHTING, TRUE);
  }

  // Pre-transformed clockwise (on screen) triangle over pixel (2, 2).
  void drawClockwise(float z = 0.5f) {
    const TlVertex v[3] = {{0, 0, z, 1, kRed, 0, 0}, {10, 0, z, 1, kRed, 0, 0}, {0, 10, z, 1, kRed, 0, 0}};
    device_->SetVertexShader(0x144);
    ASSERT_EQ(device_->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, v, sizeof(TlVertex)), D3D_OK);
  }
};

TEST_F(RasterCapsWalk, EveryReportedVertexProcessingCapIsExercised) {
  D3DCAPS8 caps{};
  ASSERT_EQ(device_->GetDeviceCaps(&caps), D3D_OK);
  walk("VertexProcessingCaps", caps.VertexProcessingCaps,
       {
           // N.L 0.8 of the vertex colour: 102.4, 51.2, 25.6.
           {D3DVTXPCAPS_DIRECTIONALLIGHTS, "directional lights",
            [&] {
              lightHeadOn();
              drawLit();
              EXPECT_EQ(pixel(320, 240), D3DCOLOR_ARGB(0xFF, 102, 51, 26));
            }},
           // DIFFUSEMATERIALSOURCE MATERIAL: the material's diffuse (1, 0.5, 0.25) * 0.8 replaces the
           // vertex colour: 204, 102, 51; COLOR1 (the default) takes the vertex colour again.
           {D3DVTXPCAPS_MATERIALSOURCE7, "material sources",
            [&] {
              lightHeadOn();
              D3DMATERIAL8 material{};
              material.Diffuse = {1.0f, 0.5f, 0.25f, 1.0f};
              device_->SetMaterial(&material);
              device_->SetRenderState(D3DRS_DIFFUSEMATERIALSOURCE, D3DMCS_MATERIAL);
              drawLit();
              EXPECT_EQ(pixel(320, 240), D3DCOLOR_ARGB(0xFF, 204, 102, 51));
              device_->SetRenderState(D3DRS_DIFFUSEMATERIALSOURCE, D3DMCS_COLOR1);
              clear(kBlack);
              drawLit();
              EXPECT_EQ(pixel(320, 240), D3DCOLOR_ARGB(0xFF, 102, 51, 26));
              const D3DMATERIAL8 black{};
              device_->SetMaterial(&black);
            }},
           // Specular white, power 10 on a black vertex: at pixel (0, 0) (vertex (-1, 1, 0.5)) the local
           // viewer's highlight is 0.2234 (57), the infinite viewer's 0.9^5 = 0.5905 (151).
           {D3DVTXPCAPS_LOCALVIEWER, "local viewer",
            [&] {
              lightHeadOn({1, 1, 1, 1});
              D3DMATERIAL8 material{};
              material.Specular = {1, 1, 1, 1};
              material.Power = 10.0f;
              device_->SetMaterial(&material);
              device_->SetRenderState(D3DRS_SPECULARENABLE, TRUE);
              device_->SetRenderState(D3DRS_LOCALVIEWER, TRUE);
              drawLit(0xFF000000);
              EXPECT_NEAR(channel(pixel(0, 0), 2), 57, 1);
              device_->SetRenderState(D3DRS_LOCALVIEWER, FALSE);
              clear(kBlack);
              drawLit(0xFF000000);
              EXPECT_NEAR(channel(pixel(0, 0), 2), 151, 1);
              device_->SetRenderState(D3DRS_SPECULARENABLE, FALSE);
              const D3DMATERIAL8 black{};
              device_->SetMaterial(&black);
            }},
       });
}

TEST_F(RasterCapsWalk, EveryReportedPrimitiveMiscCapIsExercised) {
  D3DCAPS8 caps{};
  ASSERT_EQ(device_->GetDeviceCaps(&caps), D3D_OK);
  // Depth after a draw at 0.5 with writes off: still the cleared 1.0; with writes on, 0x800000 (0.5).
  auto maskZ = [&] {
    device_->SetRenderState(D3DRS_ZENABLE, TRUE);
    device_->SetRenderState(D3DRS_ZWRITEENABLE, FALSE);
    drawClockwise();
    EXPECT_EQ(pixel(2, 2), kRed);
    EXPECT_EQ(pixelAt(*state().depthStencil, 2, 2) >> 8, 0xFFFFFFu);
    device_->SetRenderState(D3DRS_ZWRITEENABLE, TRUE);
    drawClockwise();
    EXPECT_EQ(pixelAt(*state().depthStencil, 2, 2) >> 8, 0x800000u);
  };
  // A triangle clockwise on screen, under each cull mode: drawn unless CW is culled.
  auto cull = [&](DWORD mode, bool drawn) {
    return [this, mode, drawn] {
      device_->SetRenderState(D3DRS_CULLMODE, mode);
      drawClockwise();
      EXPECT_EQ(pixel(2, 2), drawn ? kRed : kBlack);
    };
  };
  walk("PrimitiveMiscCaps", caps.PrimitiveMiscCaps,
       {
           {D3DPMISCCAPS_MASKZ, "depth writes off", maskZ},
           {D3DPMISCCAPS_CULLNONE, "no culling", cull(D3DCULL_NONE, true)},
           {D3DPMISCCAPS_CULLCW, "cull clockwise", cull(D3DCULL_CW, false)},
           {D3DPMISCCAPS_CULLCCW, "cull counter-clockwise", cull(D3DCULL_CCW, true)},
       });
}

}  // namespace
