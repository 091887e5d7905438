// Shared set-up for the engine tests that need a device: the headless 640 x 480 full-screen device the
// presentation creates, the feedback targets, a sink for presented frames, a recorder of every draw
// call with the state it ran under, and reads of render states, stage states and target pixels.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "compat/d3d8/d3d8_host.h"
#include "compat/d3d8/device_state.h"
#include "compat/d3d8/draw_call.h"
#include "compat/d3d8/formats.h"
#include "compat/d3d8/surface.h"
#include "compat/d3d8/texture.h"
#include "compat/win32/headless.h"
#include "engine3d/feedback.h"
#include "platform/graphics.h"

class FrameSink : public d3d8compat::PresentSink {
 public:
  void present(HWND, const uint32_t* pixels, int width, int height) override {
    frame.assign(pixels, pixels + width * height);
    this->width = width;
    this->height = height;
  }
  std::vector<uint32_t> frame;
  int width = 0;
  int height = 0;
};

// One draw call as the device saw it: the target, the two bound textures, a few states and the vertices.
struct RecordedDraw {
  const d3d8compat::Surface* target;
  const d3d8compat::Texture* textures[2];
  DWORD renderStates[d3d8compat::kRenderStateCount];
  DWORD stageStates[2][d3d8compat::kStageStateCount];
  DWORD fvf;
  D3DPRIMITIVETYPE type;
  UINT primitiveCount;
  std::vector<BYTE> vertices;  // vertexCount * stride bytes
  UINT stride;
};

class EngineDeviceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    win32compat::resetUser32ForTests();
    win32compat::setHeadless(true);
    d3d8compat::setPresentSink(&sink_);
    ASSERT_EQ(initGraphics("ZAQ", 640, 480, 0, 32), 1);
    createRenderTargets();
  }
  void TearDown() override {
    d3d8compat::setDrawObserver(nullptr, nullptr);
    releaseRenderTargets();
    shutdownGraphics();
    d3d8compat::setPresentSink(nullptr);
    win32compat::resetUser32ForTests();
  }

  void recordDraws() { d3d8compat::setDrawObserver(&EngineDeviceTest::observe, this); }

  static void observe(const d3d8compat::DeviceState& state, const d3d8compat::DrawCall& call, void* context) {
    auto* self = static_cast<EngineDeviceTest*>(context);
    RecordedDraw draw;
    draw.target = state.renderTarget;
    draw.textures[0] = state.textures[0];
    draw.textures[1] = state.textures[1];
    std::memcpy(draw.renderStates, state.renderStates, sizeof(draw.renderStates));
    std::memcpy(draw.stageStates, state.stageStates, sizeof(draw.stageStates));
    draw.fvf = state.fvf;
    draw.type = call.type;
    draw.primitiveCount = call.primitiveCount;
    draw.stride = call.stride;
    if (call.indices == nullptr) draw.vertices.assign(call.vertices, call.vertices + call.vertexCount * call.stride);
    self->draws_.push_back(std::move(draw));
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
  static const d3d8compat::DeviceState& state() { return d3d8compat::deviceState(g_device); }

  // The device's own objects behind the published interfaces.
  static const d3d8compat::Texture* impl(IDirect3DTexture8* texture) {
    return static_cast<const d3d8compat::Texture*>(texture);
  }
  static const d3d8compat::Surface* levelZero(IDirect3DTexture8* texture) {
    IDirect3DSurface8* surface = nullptr;
    texture->GetSurfaceLevel(0, &surface);
    surface->Release();  // the texture keeps it alive
    return static_cast<const d3d8compat::Surface*>(surface);
  }

  // A pixel of a surface as 0xAARRGGBB.
  static uint32_t pixel(const d3d8compat::Surface& surface, UINT x, UINT y) {
    uint32_t value = 0;
    std::memcpy(&value, surface.row(y) + x * surface.bytesPerPixel(), surface.bytesPerPixel());
    return d3d8compat::unpackColor(surface.format(), value);
  }
  // The whole surface as 0xAARRGGBB words, top row first.
  static std::vector<uint32_t> pixels(const d3d8compat::Surface& surface) {
    std::vector<uint32_t> out;
    out.reserve(static_cast<size_t>(surface.width()) * surface.height());
    for (UINT y = 0; y < surface.height(); ++y) {
      for (UINT x = 0; x < surface.width(); ++x) out.push_back(pixel(surface, x, y));
    }
    return out;
  }

  FrameSink sink_;
  std::vector<RecordedDraw> draws_;
};
