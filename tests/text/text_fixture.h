// Shared set-up for the text tests: the presentation's headless 640 x 480 device (initGraphics), every
// validated draw recorded through the device's draw hook (state at the call, overlay vertices,
// indices), the last presented frame, and a hand-made glyph table with round pixel sizes.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "compat/d3d8/d3d8_host.h"
#include "compat/d3d8/draw_call.h"
#include "compat/d3d8/surface.h"
#include "compat/win32/headless.h"
#include "compat/win32/user32.h"
#include "platform/graphics.h"
#include "text/font.h"
#include "text/overlay.h"

struct RecordedDraw {
  D3DPRIMITIVETYPE type;
  UINT primitives;
  d3d8compat::DeviceState state;        // as the draw saw it (pointers compared, never followed)
  std::vector<OverlayVertex> vertices;  // the vertices the draw can reach
  std::vector<uint16_t> indices;        // indexed draws
};

class PresentedFrame : public d3d8compat::PresentSink {
 public:
  void present(HWND, const uint32_t* pixels, int w, int h) override {
    frame.assign(pixels, pixels + w * h);
    width = w;
    height = h;
  }
  std::vector<uint32_t> frame;
  int width = 0;
  int height = 0;
};

class TextTest : public ::testing::Test {
 protected:
  void SetUp() override {
    win32compat::resetUser32ForTests();
    win32compat::setHeadless(true);
    d3d8compat::setPresentSink(&presented_);
    ASSERT_EQ(initGraphics("ZAQ", 640, 480, 0, 32), 1);
    d3d8compat::setDrawObserver(&TextTest::record, &draws_);
  }
  void TearDown() override {
    d3d8compat::setDrawObserver(nullptr, nullptr);
    g_font.release();
    g_renderingToTexture = false;
    shutdownGraphics();
    d3d8compat::setPresentSink(nullptr);
    win32compat::resetUser32ForTests();
  }

  static void record(const d3d8compat::DeviceState& state, const d3d8compat::DrawCall& call, void* context) {
    RecordedDraw draw{call.type, call.primitiveCount, state, {}, {}};
    if (call.stride == sizeof(OverlayVertex)) {
      draw.vertices.resize(call.vertexCount);
      std::memcpy(draw.vertices.data(), call.vertices, call.vertexCount * sizeof(OverlayVertex));
    }
    if (call.indices != nullptr && call.indexSize == 2) {
      draw.indices.resize(call.indexCount);
      std::memcpy(draw.indices.data(), call.indices, call.indexCount * sizeof(uint16_t));
    }
    static_cast<std::vector<RecordedDraw>*>(context)->push_back(draw);
  }

  // The atlas as built, then a glyph table of round sizes: the space 16 x 32 pixels (so the line height
  // is 32 atlas pixels), 'A' 16 x 32 and 'B' 24 x 32.
  void buildWithHandMadeGlyphs() {
    ASSERT_EQ(g_font.build(), 0);
    for (GlyphRect& glyph : g_font.glyphs) glyph = GlyphRect{};
    g_font.glyphs[0] = rect(0, 0, 16, 32);
    g_font.glyphs['A' - 32] = rect(32, 0, 48, 32);
    g_font.glyphs['B' - 32] = rect(64, 0, 88, 32);
  }
  static GlyphRect rect(int left, int top, int right, int bottom) {
    return GlyphRect{left / 512.0f, top / 512.0f, right / 512.0f, bottom / 512.0f};
  }

  // A pixel of the current render target as 0xAARRGGBB (32-bit targets).
  static uint32_t targetPixel(int x, int y) {
    const d3d8compat::Surface& target = *d3d8compat::deviceState(g_device).renderTarget;
    uint32_t value = 0;
    std::memcpy(&value, target.row(static_cast<UINT>(y)) + x * 4, 4);
    return value;
  }

  std::vector<RecordedDraw> draws_;
  PresentedFrame presented_;
};
