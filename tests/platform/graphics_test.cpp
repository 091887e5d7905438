// Device set-up: the five creation attempts and their fall-backs, the defaults set after creation, the
// frame clear, and the light and material helpers.
#include <gtest/gtest.h>

#include <vector>

#include "compat/d3d8/d3d8_host.h"
#include "compat/d3d8/device_state.h"
#include "compat/win32/headless.h"
#include "platform/graphics.h"
#include "platform/window.h"

namespace {

class LastFrame : public d3d8compat::PresentSink {
 public:
  void present(HWND, const uint32_t* pixels, int width, int height) override {
    frame.assign(pixels, pixels + width * height);
    this->width = width;
    ++count;
  }
  std::vector<uint32_t> frame;
  int width = 0;
  int count = 0;
};

class GraphicsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    win32compat::resetUser32ForTests();
    win32compat::setHeadless(true);
    d3d8compat::setPresentSink(&sink_);
  }
  void TearDown() override {
    shutdownGraphics();
    d3d8compat::setPresentSink(nullptr);
    d3d8compat::setAdapterProfile(d3d8compat::AdapterProfile{});
    win32compat::resetUser32ForTests();
  }

  static D3DFORMAT surfaceFormat(bool depth) {
    IDirect3DSurface8* surface = nullptr;
    if (depth) {
      g_device->GetDepthStencilSurface(&surface);
    } else {
      g_device->GetRenderTarget(&surface);
    }
    D3DSURFACE_DESC desc{};
    surface->GetDesc(&desc);
    surface->Release();
    return desc.Format;
  }

  static DWORD renderState(D3DRENDERSTATETYPE state) {
    DWORD value = 0xDEADBEEF;
    g_device->GetRenderState(state, &value);
    return value;
  }

  static DWORD stageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type) {
    DWORD value = 0xDEADBEEF;
    g_device->GetTextureStageState(stage, type, &value);
    return value;
  }

  LastFrame sink_;
};

TEST_F(GraphicsTest, FullDeviceGetsTheDefaultsAndTwoBlankFrames) {
  ASSERT_EQ(initGraphics("ZAQ", 640, 480, 0, 32), 1);
  EXPECT_EQ(surfaceFormat(false), D3DFMT_A8R8G8B8);
  EXPECT_EQ(surfaceFormat(true), D3DFMT_D24S8);
  EXPECT_EQ(g_renderTargetFormat, D3DFMT_X8R8G8B8);
  EXPECT_EQ(frameClearFlags(), static_cast<DWORD>(D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER | D3DCLEAR_STENCIL));
  EXPECT_EQ(sink_.count, 2);

  EXPECT_EQ(g_viewportWidth, 640);
  EXPECT_EQ(g_viewportHeight, 480);
  EXPECT_FLOAT_EQ(g_viewportAspect, 0.75f);
  EXPECT_EQ(currentTargetWidth(), 640);
  g_renderingToTexture = true;
  EXPECT_EQ(currentTargetWidth(), 256);
  EXPECT_EQ(currentTargetHeight(), 256);
  g_renderingToTexture = false;

  // The alpha test drops alpha below 2 everywhere.
  EXPECT_EQ(renderState(D3DRS_ALPHATESTENABLE), static_cast<DWORD>(TRUE));
  EXPECT_EQ(renderState(D3DRS_ALPHAREF), 2u);
  EXPECT_EQ(renderState(D3DRS_ALPHAFUNC), static_cast<DWORD>(D3DCMP_GREATEREQUAL));

  // Linear filtering and wrapping on stages 0 and 1; the mip filter only ever reaches stage 0.
  for (DWORD stage = 0; stage < 2; ++stage) {
    EXPECT_EQ(stageState(stage, D3DTSS_MINFILTER), static_cast<DWORD>(D3DTEXF_LINEAR));
    EXPECT_EQ(stageState(stage, D3DTSS_MAGFILTER), static_cast<DWORD>(D3DTEXF_LINEAR));
    EXPECT_EQ(stageState(stage, D3DTSS_ADDRESSU), static_cast<DWORD>(D3DTADDRESS_WRAP));
    EXPECT_EQ(stageState(stage, D3DTSS_ADDRESSV), static_cast<DWORD>(D3DTADDRESS_WRAP));
  }
  EXPECT_EQ(stageState(0, D3DTSS_MIPFILTER), static_cast<DWORD>(D3DTEXF_LINEAR));
  EXPECT_EQ(stageState(1, D3DTSS_MIPFILTER), static_cast<DWORD>(D3DTEXF_NONE));
}

// Render scale 2 as the host sets it up: the device is 1280 x 960 with the same aspect, render-target
// textures report 512 square, and points may be 128 pixels wide (capability and default maximum).
TEST_F(GraphicsTest, AtRenderScale2TheDeviceTargetsAndPointsAreTwiceAsLarge) {
  setRenderScale(2);
  d3d8compat::AdapterProfile profile;
  profile.maxPointSize = 128.0f;
  d3d8compat::setAdapterProfile(profile);
  const int made = initGraphics("ZAQ", 640 * renderScale(), 480 * renderScale(), 0, 32);
  setRenderScale(1);
  ASSERT_EQ(made, 1);
  EXPECT_EQ(g_viewportWidth, 1280);
  EXPECT_EQ(g_viewportHeight, 960);
  EXPECT_EQ(g_viewportAspect, 0.75f);
  EXPECT_EQ(g_caps.MaxPointSize, 128.0f);
  DWORD maxSize = 0;
  g_device->GetRenderState(D3DRS_POINTSIZE_MAX, &maxSize);
  EXPECT_EQ(d3d8compat::stateAsFloat(maxSize), 128.0f);
  setRenderScale(2);
  g_renderingToTexture = true;
  EXPECT_EQ(currentTargetWidth(), 512);
  EXPECT_EQ(currentTargetHeight(), 512);
  g_renderingToTexture = false;
  EXPECT_EQ(currentTargetWidth(), 1280);
  setRenderScale(1);
  EXPECT_EQ(renderTextureSize(), 256);
}

TEST_F(GraphicsTest, SoftwareOnlyDeviceKeepsTheFullParameterSet) {
  d3d8compat::AdapterProfile profile;
  profile.hardwareVertexProcessing = false;
  profile.mixedVertexProcessing = false;
  d3d8compat::setAdapterProfile(profile);
  ASSERT_EQ(initGraphics("ZAQ", 640, 480, 0, 32), 1);
  EXPECT_EQ(surfaceFormat(false), D3DFMT_A8R8G8B8);
  EXPECT_EQ(surfaceFormat(true), D3DFMT_D24S8);
}

TEST_F(GraphicsTest, FourthAttemptFallsBackTo16BitAndClearsWithoutStencil) {
  d3d8compat::AdapterProfile profile;
  profile.a8r8g8b8BackBuffer = false;
  profile.d24s8DepthStencil = false;
  d3d8compat::setAdapterProfile(profile);
  ASSERT_EQ(initGraphics("ZAQ", 640, 480, 0, 32), 1);
  EXPECT_EQ(surfaceFormat(false), D3DFMT_R5G6B5);
  EXPECT_EQ(surfaceFormat(true), D3DFMT_D16);
  EXPECT_EQ(g_viewportWidth, 640);
  // D16 has no stencil: asking to clear one would make the whole clear fail.
  EXPECT_EQ(frameClearFlags(), static_cast<DWORD>(D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER));
  beginFrame(0x00FFFFFF);
  endFrame();
  ASSERT_FALSE(sink_.frame.empty());
  EXPECT_EQ(sink_.frame[0] & 0x00FFFFFF, 0x00FFFFFFu);  // the clear took place
}

TEST_F(GraphicsTest, NoDeviceShowsTheCardMessageAndFails) {
  d3d8compat::AdapterProfile profile;
  profile.hardwareVertexProcessing = false;
  profile.mixedVertexProcessing = false;
  profile.softwareVertexProcessing = false;
  d3d8compat::setAdapterProfile(profile);
  testing::internal::CaptureStderr();
  EXPECT_EQ(initGraphics("ZAQ", 640, 480, 0, 32), 0);
  EXPECT_NE(testing::internal::GetCapturedStderr().find("ERROR: get a new 3D card"), std::string::npos);
  EXPECT_EQ(g_device, nullptr);
}

TEST_F(GraphicsTest, NoDirect3DFailsSilently) {
  d3d8compat::AdapterProfile profile;
  profile.createDirect3D = false;
  d3d8compat::setAdapterProfile(profile);
  testing::internal::CaptureStderr();
  EXPECT_EQ(initGraphics("ZAQ", 640, 480, 0, 32), 0);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
}

TEST_F(GraphicsTest, NoWindowMeansNoDevice) {
  win32compat::setHeadless(false);
  // With no display the window cannot be made; the device then fails with the card message.
  setenv("SDL_VIDEODRIVER", "brannik-no-such-driver", 1);
  testing::internal::CaptureStderr();
  EXPECT_EQ(initGraphics("ZAQ", 640, 480, 0, 32), 0);
  EXPECT_NE(testing::internal::GetCapturedStderr().find("ERROR: get a new 3D card"), std::string::npos);
  EXPECT_EQ(g_mainWindow, nullptr);
  unsetenv("SDL_VIDEODRIVER");
}

TEST_F(GraphicsTest, WithoutGreaterEqualThereIsNoAlphaTest) {
  d3d8compat::AdapterProfile profile;
  profile.alphaGreaterEqual = false;
  d3d8compat::setAdapterProfile(profile);
  ASSERT_EQ(initGraphics("ZAQ", 640, 480, 0, 32), 1);
  EXPECT_EQ(renderState(D3DRS_ALPHATESTENABLE), static_cast<DWORD>(FALSE));
  EXPECT_EQ(renderState(D3DRS_ALPHAREF), 0u);
}

TEST_F(GraphicsTest, LightPointsAwayFromTheGivenVectorWithTheColourAsDiffuseAndSpecular) {
  ASSERT_EQ(initGraphics("ZAQ", 640, 480, 0, 32), 1);
  setDirectionalLight(1, Vec3{0.0f, 3.0f, 4.0f}, 0x80FF4000);
  const d3d8compat::DeviceState& state = d3d8compat::deviceState(g_device);
  ASSERT_NE(d3d8compat::findLight(state, 1), nullptr);
  const D3DLIGHT8& light = d3d8compat::findLight(state, 1)->light;
  EXPECT_EQ(light.Type, D3DLIGHT_DIRECTIONAL);
  EXPECT_FLOAT_EQ(light.Direction.x, 0.0f);
  EXPECT_FLOAT_EQ(light.Direction.y, -0.6f);
  EXPECT_FLOAT_EQ(light.Direction.z, -0.8f);
  EXPECT_FLOAT_EQ(light.Diffuse.r, 1.0f);
  EXPECT_FLOAT_EQ(light.Diffuse.g, 64.0f / 255.0f);
  EXPECT_FLOAT_EQ(light.Diffuse.b, 0.0f);
  EXPECT_FLOAT_EQ(light.Diffuse.a, 128.0f / 255.0f);
  EXPECT_FLOAT_EQ(light.Specular.g, light.Diffuse.g);
  EXPECT_FLOAT_EQ(light.Ambient.r, 0.0f);
  EXPECT_TRUE(d3d8compat::findLight(state, 1)->enabled);

  setMaterialAmbient(0x00080808);
  const D3DMATERIAL8& material = state.material;
  EXPECT_FLOAT_EQ(material.Diffuse.r, 1.0f);
  EXPECT_FLOAT_EQ(material.Diffuse.a, 0.0f);
  EXPECT_FLOAT_EQ(material.Ambient.r, 8.0f / 255.0f);
  EXPECT_FLOAT_EQ(material.Ambient.a, 0.0f);
  EXPECT_FLOAT_EQ(material.Power, 15.0f);
  EXPECT_EQ(renderState(D3DRS_AMBIENT), 0xFFFFFFFFu);
}

}  // namespace
