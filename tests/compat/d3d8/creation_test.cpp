// Direct3D object, device creation against the adapter profile, creation defaults and caps.
#include "d3d8_fixture.h"

namespace {

DWORD renderState(IDirect3DDevice8* device, D3DRENDERSTATETYPE state) {
  DWORD value = 0xDEADBEEF;
  EXPECT_EQ(device->GetRenderState(state, &value), D3D_OK);
  return value;
}

DWORD stageState(IDirect3DDevice8* device, DWORD stage, D3DTEXTURESTAGESTATETYPE type) {
  DWORD value = 0xDEADBEEF;
  EXPECT_EQ(device->GetTextureStageState(stage, type, &value), D3D_OK);
  return value;
}

}  // namespace

TEST_F(D3D8Test, Direct3DCreate8RefusesOtherSdkVersionsAndADisabledAdapter) {
  EXPECT_EQ(Direct3DCreate8(D3D_SDK_VERSION + 1), nullptr);
  d3d8compat::AdapterProfile profile;
  profile.createDirect3D = false;
  d3d8compat::setAdapterProfile(profile);
  EXPECT_EQ(Direct3DCreate8(D3D_SDK_VERSION), nullptr);
}

TEST_F(D3D8Test, AdapterDisplayModeReportsTheDesktopOrFails) {
  D3DDISPLAYMODE mode{};
  ASSERT_EQ(d3d_->GetAdapterDisplayMode(D3DADAPTER_DEFAULT, &mode), D3D_OK);
  EXPECT_EQ(mode.Width, 1920u);
  EXPECT_EQ(mode.Height, 1080u);
  EXPECT_EQ(mode.Format, D3DFMT_X8R8G8B8);
  d3d8compat::AdapterProfile profile;
  profile.displayModeAvailable = false;
  d3d8compat::setAdapterProfile(profile);
  EXPECT_TRUE(FAILED(d3d_->GetAdapterDisplayMode(D3DADAPTER_DEFAULT, &mode)));
}

TEST_F(D3D8Test, CreationDefaultsFollowDirect3D8) {
  createDevice();
  EXPECT_EQ(renderState(device_, D3DRS_ZENABLE), DWORD{D3DZB_TRUE});  // auto depth buffer present
  EXPECT_EQ(renderState(device_, D3DRS_CULLMODE), DWORD{D3DCULL_CCW});
  EXPECT_EQ(renderState(device_, D3DRS_ZFUNC), DWORD{D3DCMP_LESSEQUAL});
  EXPECT_EQ(renderState(device_, D3DRS_LIGHTING), DWORD{TRUE});
  EXPECT_EQ(renderState(device_, D3DRS_SRCBLEND), DWORD{D3DBLEND_ONE});
  EXPECT_EQ(renderState(device_, D3DRS_DESTBLEND), DWORD{D3DBLEND_ZERO});
  EXPECT_EQ(renderState(device_, D3DRS_TEXTUREFACTOR), 0xFFFFFFFFu);
  EXPECT_EQ(d3d8compat::stateAsFloat(renderState(device_, D3DRS_POINTSIZE)), 1.0f);
  EXPECT_EQ(d3d8compat::stateAsFloat(renderState(device_, D3DRS_POINTSIZE_MIN)), 0.0f);
  EXPECT_EQ(d3d8compat::stateAsFloat(renderState(device_, D3DRS_POINTSIZE_MAX)), 64.0f);
  EXPECT_EQ(d3d8compat::stateAsFloat(renderState(device_, D3DRS_POINTSCALE_A)), 1.0f);

  EXPECT_EQ(stageState(device_, 0, D3DTSS_COLOROP), DWORD{D3DTOP_MODULATE});
  EXPECT_EQ(stageState(device_, 0, D3DTSS_ALPHAOP), DWORD{D3DTOP_SELECTARG1});
  EXPECT_EQ(stageState(device_, 1, D3DTSS_COLOROP), DWORD{D3DTOP_DISABLE});
  EXPECT_EQ(stageState(device_, 1, D3DTSS_ALPHAOP), DWORD{D3DTOP_DISABLE});
  EXPECT_EQ(stageState(device_, 5, D3DTSS_TEXCOORDINDEX), 5u);
  EXPECT_EQ(stageState(device_, 2, D3DTSS_ADDRESSU), DWORD{D3DTADDRESS_WRAP});
  EXPECT_EQ(stageState(device_, 0, D3DTSS_MIPFILTER), DWORD{D3DTEXF_NONE});

  D3DVIEWPORT8 viewport{};
  ASSERT_EQ(device_->GetViewport(&viewport), D3D_OK);
  EXPECT_EQ(viewport.Width, 640u);
  EXPECT_EQ(viewport.Height, 480u);
  EXPECT_EQ(viewport.MaxZ, 1.0f);
  D3DMATRIX world{};
  ASSERT_EQ(device_->GetTransform(D3DTS_WORLD, &world), D3D_OK);
  EXPECT_EQ(world._11, 1.0f);
  EXPECT_EQ(world._41, 0.0f);
  IDirect3DBaseTexture8* texture = reinterpret_cast<IDirect3DBaseTexture8*>(1);
  ASSERT_EQ(device_->GetTexture(0, &texture), D3D_OK);
  EXPECT_EQ(texture, nullptr);
}

TEST_F(D3D8Test, ZEnableDefaultsToFalseWithoutAnAutomaticDepthBuffer) {
  D3DPRESENT_PARAMETERS params = fullScreenParams();
  params.EnableAutoDepthStencil = FALSE;
  createDevice(params);
  EXPECT_EQ(renderState(device_, D3DRS_ZENABLE), DWORD{D3DZB_FALSE});
  IDirect3DSurface8* depth = nullptr;
  EXPECT_EQ(device_->GetDepthStencilSurface(&depth), D3DERR_NOTFOUND);
  EXPECT_EQ(depth, nullptr);
}

TEST_F(D3D8Test, CapsReportWhatThePresentationNeeds) {
  createDevice();
  D3DCAPS8 caps{};
  ASSERT_EQ(device_->GetDeviceCaps(&caps), D3D_OK);
  EXPECT_NE(caps.AlphaCmpCaps & D3DPCMPCAPS_GREATEREQUAL, 0u);
  EXPECT_NE(caps.Caps2 & D3DCAPS2_FULLSCREENGAMMA, 0u);
  EXPECT_NE(caps.DevCaps & D3DDEVCAPS_HWTRANSFORMANDLIGHT, 0u);
  EXPECT_EQ(caps.PrimitiveMiscCaps & D3DPMISCCAPS_CLIPTLVERTS, 0u);
  EXPECT_EQ(caps.MaxPointSize, 64.0f);
  EXPECT_EQ(caps.MaxSimultaneousTextures, 2u);  // the feedback pass blends two textures
  EXPECT_EQ(caps.MaxActiveLights, 8u);

  device_->Release();
  device_ = nullptr;
  d3d8compat::AdapterProfile profile;
  profile.alphaGreaterEqual = false;
  d3d8compat::setAdapterProfile(profile);
  createDevice();
  ASSERT_EQ(device_->GetDeviceCaps(&caps), D3D_OK);
  EXPECT_EQ(caps.AlphaCmpCaps & D3DPCMPCAPS_GREATEREQUAL, 0u);
  EXPECT_NE(caps.AlphaCmpCaps & D3DPCMPCAPS_ALWAYS, 0u);
}

TEST_F(D3D8Test, CreateDeviceRefusesWhatTheAdapterOrTheArgumentsRuleOut) {
  struct Case {
    const char* what;
    void (*profile)(d3d8compat::AdapterProfile&);
    void (*params)(D3DPRESENT_PARAMETERS&);
    DWORD behavior;
    HRESULT expected;
  };
  const auto keep = [](d3d8compat::AdapterProfile&) {};
  const auto same = [](D3DPRESENT_PARAMETERS&) {};
  const Case cases[] = {
      {"accepted as the presentation asks", keep, same, D3DCREATE_HARDWARE_VERTEXPROCESSING, D3D_OK},
      {"hardware T&L refused", [](d3d8compat::AdapterProfile& p) { p.hardwareVertexProcessing = false; }, same,
       D3DCREATE_HARDWARE_VERTEXPROCESSING, D3DERR_NOTAVAILABLE},
      {"mixed refused", [](d3d8compat::AdapterProfile& p) { p.mixedVertexProcessing = false; }, same,
       D3DCREATE_MIXED_VERTEXPROCESSING, D3DERR_NOTAVAILABLE},
      {"software still accepted", [](d3d8compat::AdapterProfile& p) { p.hardwareVertexProcessing = false; },
       same, D3DCREATE_SOFTWARE_VERTEXPROCESSING, D3D_OK},
      {"two vertex-processing modes", keep, same,
       D3DCREATE_HARDWARE_VERTEXPROCESSING | D3DCREATE_SOFTWARE_VERTEXPROCESSING, D3DERR_INVALIDCALL},
      {"no vertex-processing mode", keep, same, 0, D3DERR_INVALIDCALL},
      {"A8R8G8B8 refused", [](d3d8compat::AdapterProfile& p) { p.a8r8g8b8BackBuffer = false; }, same,
       D3DCREATE_HARDWARE_VERTEXPROCESSING, D3DERR_NOTAVAILABLE},
      {"R5G6B5 with D16 on that adapter",
       [](d3d8compat::AdapterProfile& p) { p.a8r8g8b8BackBuffer = p.d24s8DepthStencil = false; },
       [](D3DPRESENT_PARAMETERS& p) {
         p.BackBufferFormat = D3DFMT_R5G6B5;
         p.AutoDepthStencilFormat = D3DFMT_D16;
       },
       D3DCREATE_HARDWARE_VERTEXPROCESSING, D3D_OK},
      {"D24S8 refused", [](d3d8compat::AdapterProfile& p) { p.d24s8DepthStencil = false; }, same,
       D3DCREATE_HARDWARE_VERTEXPROCESSING, D3DERR_NOTAVAILABLE},
      {"full-screen without a size", keep, [](D3DPRESENT_PARAMETERS& p) { p.BackBufferWidth = 0; },
       D3DCREATE_HARDWARE_VERTEXPROCESSING, D3DERR_INVALIDCALL},
      // Intervals: DEFAULT or one that the caps report (ONE, IMMEDIATE); every other frame is not kept.
      {"interval DEFAULT", keep, [](D3DPRESENT_PARAMETERS& p) { p.FullScreen_PresentationInterval = 0; },
       D3DCREATE_HARDWARE_VERTEXPROCESSING, D3D_OK},
      {"interval IMMEDIATE", keep,
       [](D3DPRESENT_PARAMETERS& p) { p.FullScreen_PresentationInterval = D3DPRESENT_INTERVAL_IMMEDIATE; },
       D3DCREATE_HARDWARE_VERTEXPROCESSING, D3D_OK},
      {"interval TWO, not reported", keep,
       [](D3DPRESENT_PARAMETERS& p) { p.FullScreen_PresentationInterval = D3DPRESENT_INTERVAL_TWO; },
       D3DCREATE_HARDWARE_VERTEXPROCESSING, D3DERR_INVALIDCALL},
      {"two intervals at once", keep,
       [](D3DPRESENT_PARAMETERS& p) {
         p.FullScreen_PresentationInterval = D3DPRESENT_INTERVAL_ONE | D3DPRESENT_INTERVAL_IMMEDIATE;
       },
       D3DCREATE_HARDWARE_VERTEXPROCESSING, D3DERR_INVALIDCALL},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    d3d8compat::AdapterProfile profile;
    c.profile(profile);
    d3d8compat::setAdapterProfile(profile);
    D3DPRESENT_PARAMETERS params = fullScreenParams();
    c.params(params);
    IDirect3DDevice8* device = reinterpret_cast<IDirect3DDevice8*>(1);
    EXPECT_EQ(tryCreate(params, c.behavior, &device), c.expected);
    if (c.expected == D3D_OK) {
      ASSERT_NE(device, nullptr);
      EXPECT_EQ(device->Release(), 0u);
    } else {
      EXPECT_EQ(device, nullptr);
    }
  }
}

TEST_F(D3D8Test, CreateDeviceNeedsALiveFocusWindow) {
  D3DPRESENT_PARAMETERS params = fullScreenParams();
  params.hDeviceWindow = nullptr;
  IDirect3DDevice8* device = nullptr;
  EXPECT_EQ(d3d_->CreateDevice(0, D3DDEVTYPE_HAL, nullptr, D3DCREATE_HARDWARE_VERTEXPROCESSING, &params, &device),
            D3DERR_INVALIDCALL);
  HWND gone = CreateWindowExA(0, "X", "gone", 0, 0, 0, 64, 64, nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(gone, nullptr);
  DestroyWindow(gone);
  EXPECT_EQ(d3d_->CreateDevice(0, D3DDEVTYPE_HAL, gone, D3DCREATE_HARDWARE_VERTEXPROCESSING, &params, &device),
            D3DERR_INVALIDCALL);
  EXPECT_EQ(device, nullptr);
}

TEST_F(D3D8Test, WindowedDeviceWithoutASizeTakesTheClientArea) {
  createDevice(windowedParams());
  EXPECT_EQ(state().backBuffer->width(), 640u);
  EXPECT_EQ(state().backBuffer->height(), 480u);
  EXPECT_EQ(state().backBuffer->format(), D3DFMT_X8R8G8B8);
  EXPECT_EQ(state().viewport.Width, 640u);
  EXPECT_EQ(state().depthStencil->width(), 640u);
}

// The presentation caps name the test of this program that shows each of them.
TEST_F(D3D8Test, EveryReportedPresentationCapNamesATestOfIt) {
  createDevice();
  D3DCAPS8 caps{};
  ASSERT_EQ(device_->GetDeviceCaps(&caps), D3D_OK);
  struct NamedBit {
    DWORD D3DCAPS8::*field;
    DWORD bit;
    const char* test;
  };
  const NamedBit named[] = {
      {&D3DCAPS8::Caps2, D3DCAPS2_FULLSCREENGAMMA, "D3D8Test.FullScreenPresentAppliesTheGammaRampToTheFrameOnly"},
      {&D3DCAPS8::Caps2, D3DCAPS2_CANRENDERWINDOWED, "D3D8Test.WindowedPresentIgnoresTheGammaRamp"},
      {&D3DCAPS8::Caps2, D3DCAPS2_DYNAMICTEXTURES, "D3D8Test.RenderTargetAndDefaultPoolTexturesCannotBeLocked"},
      {&D3DCAPS8::PresentationIntervals, D3DPRESENT_INTERVAL_ONE, "D3D8Test.CreateDeviceRefusesWhatTheAdapterOrTheArgumentsRuleOut"},
      {&D3DCAPS8::PresentationIntervals, D3DPRESENT_INTERVAL_IMMEDIATE,
       "D3D8Test.CreateDeviceRefusesWhatTheAdapterOrTheArgumentsRuleOut"},
  };
  D3DCAPS8 unnamed = caps;  // what is left once each named bit is taken off
  for (const NamedBit& n : named) {
    if ((caps.*n.field & n.bit) == 0) continue;
    EXPECT_TRUE(testRegistered(n.test)) << n.test;
    unnamed.*n.field &= ~n.bit;
  }
  EXPECT_EQ(unnamed.Caps2, 0u) << "Caps2 bits nothing here names";
  EXPECT_EQ(unnamed.PresentationIntervals, 0u) << "PresentationIntervals bits nothing here names";
}
