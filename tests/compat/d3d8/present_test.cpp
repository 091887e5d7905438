// Present: the sink receives the back buffer as 0xAARRGGBB, through the gamma ramp only when the
// device is full-screen, and the back buffer itself stays as drawn.
#include <vector>

#include "compat/d3d8/band_workers.h"
#include "d3d8_fixture.h"

namespace {

class RecordingSink : public d3d8compat::PresentSink {
 public:
  void present(HWND window, const uint32_t* pixels, int width, int height) override {
    ++frames;
    lastWindow = window;
    this->width = width;
    this->height = height;
    this->pixels.assign(pixels, pixels + static_cast<size_t>(width) * height);
  }
  uint32_t at(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }

  int frames = 0;
  HWND lastWindow = nullptr;
  int width = 0, height = 0;
  std::vector<uint32_t> pixels;
};

// Red and blue posterised to four levels (the gamma effect's table values), green untouched.
D3DGAMMARAMP posteriseRamp() {
  D3DGAMMARAMP ramp{};
  for (int i = 0; i < 256; ++i) {
    const WORD level = i < 64 ? 0 : i < 128 ? 26214 : i < 192 ? 32767 : 65535;
    ramp.red[i] = ramp.blue[i] = level;
    ramp.green[i] = static_cast<WORD>(i * 257);
  }
  return ramp;
}

// Clears four 1-pixel columns with grey levels 10, 100, 150 and 250 (x = 0..3, alpha 0x40), sets the
// posterising ramp and presents.
void presentPosterisedGreys(IDirect3DDevice8* device) {
  const DWORD levels[4] = {10, 100, 150, 250};
  for (LONG x = 0; x < 4; ++x) {
    const D3DRECT column{x, 0, x + 1, 480};
    const DWORD c = levels[x];
    device->Clear(1, &column, D3DCLEAR_TARGET, D3DCOLOR_ARGB(0x40, c, c, c), 1.0f, 0);
  }
  const D3DGAMMARAMP ramp = posteriseRamp();
  device->SetGammaRamp(D3DSGR_NO_CALIBRATION, &ramp);
  EXPECT_EQ(device->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
}

}  // namespace

TEST_F(D3D8Test, PresentHandsTheBackBufferToTheSink) {
  createDevice();
  EXPECT_EQ(device_->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);  // no sink: discarded
  RecordingSink sink;
  d3d8compat::setPresentSink(&sink);
  ASSERT_EQ(device_->Clear(0, nullptr, D3DCLEAR_TARGET, 0x7F203040, 1.0f, 0), D3D_OK);
  const D3DRECT corner{639, 479, 640, 480};
  ASSERT_EQ(device_->Clear(1, &corner, D3DCLEAR_TARGET, 0xFF0000FF, 1.0f, 0), D3D_OK);
  ASSERT_EQ(device_->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
  ASSERT_EQ(sink.frames, 1);
  EXPECT_EQ(sink.lastWindow, window_);
  ASSERT_EQ(sink.width, 640);
  ASSERT_EQ(sink.height, 480);
  EXPECT_EQ(sink.at(0, 0), 0x7F203040u);      // A8R8G8B8 keeps its alpha
  EXPECT_EQ(sink.at(639, 479), 0xFF0000FFu);  // last word is the bottom-right pixel
}

TEST_F(D3D8Test, FullScreenPresentAppliesTheGammaRampToTheFrameOnly) {
  createDevice();
  RecordingSink sink;
  d3d8compat::setPresentSink(&sink);
  presentPosterisedGreys(device_);
  ASSERT_EQ(sink.frames, 1);
  // ramp >> 8: 0 -> 0, 26214 -> 102, 32767 -> 127, 65535 -> 255; green and alpha pass unchanged.
  EXPECT_EQ(sink.at(0, 0), D3DCOLOR_ARGB(0x40, 0, 10, 0));
  EXPECT_EQ(sink.at(1, 5), D3DCOLOR_ARGB(0x40, 102, 100, 102));
  EXPECT_EQ(sink.at(2, 479), D3DCOLOR_ARGB(0x40, 127, 150, 127));
  EXPECT_EQ(sink.at(3, 0), D3DCOLOR_ARGB(0x40, 255, 250, 255));
  EXPECT_EQ(pixelAt(*state().backBuffer, 1, 5), D3DCOLOR_ARGB(0x40, 100, 100, 100));

  // Back to the identity ramp: the frame is the back buffer again.
  D3DGAMMARAMP identity{};
  for (int i = 0; i < 256; ++i) identity.red[i] = identity.green[i] = identity.blue[i] = static_cast<WORD>(i * 257);
  device_->SetGammaRamp(D3DSGR_NO_CALIBRATION, &identity);
  ASSERT_EQ(device_->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
  EXPECT_EQ(sink.at(1, 5), D3DCOLOR_ARGB(0x40, 100, 100, 100));
}

TEST_F(D3D8Test, WindowedPresentIgnoresTheGammaRamp) {
  createDevice(windowedParams());
  RecordingSink sink;
  d3d8compat::setPresentSink(&sink);
  presentPosterisedGreys(device_);
  ASSERT_EQ(sink.frames, 1);
  // X8R8G8B8 reports opaque pixels.
  EXPECT_EQ(sink.at(1, 5), D3DCOLOR_ARGB(0xFF, 100, 100, 100));
  EXPECT_EQ(sink.at(3, 0), D3DCOLOR_ARGB(0xFF, 250, 250, 250));
}

TEST_F(D3D8Test, SixteenBitBackBufferWidensToEightBitsPerChannel) {
  D3DPRESENT_PARAMETERS params = fullScreenParams();
  params.BackBufferFormat = D3DFMT_R5G6B5;
  params.AutoDepthStencilFormat = D3DFMT_D16;
  createDevice(params);
  RecordingSink sink;
  d3d8compat::setPresentSink(&sink);
  ASSERT_EQ(device_->Clear(0, nullptr, D3DCLEAR_TARGET, 0x00808080, 1.0f, 0), D3D_OK);
  // 128 -> 5 bits: round(128 * 31 / 255) = 16, 6 bits: round(128 * 63 / 255) = 32.
  EXPECT_EQ(pixelAt(*state().backBuffer, 0, 0), (16u << 11) | (32u << 5) | 16u);
  ASSERT_EQ(device_->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
  // Back: round(16 * 255 / 31) = 132, round(32 * 255 / 63) = 130, alpha opaque.
  EXPECT_EQ(sink.at(0, 0), D3DCOLOR_ARGB(0xFF, 132, 130, 132));
}

// The frame is converted in the draws' bands: with any number of them, every row of a new back buffer
// reaches the frame (a skipped row would still hold the previous frame), through the ramp.
TEST_F(D3D8Test, PresentConvertsEveryRowWhateverTheThreadCount) {
  createDevice();
  RecordingSink sink;
  d3d8compat::setPresentSink(&sink);
  const D3DGAMMARAMP ramp = posteriseRamp();
  device_->SetGammaRamp(D3DSGR_NO_CALIBRATION, &ramp);
  const int before = d3d8compat::rasterThreads();
  auto posterised = [](DWORD c) -> DWORD { return c < 64 ? 0 : c < 128 ? 102 : c < 192 ? 127 : 255; };
  for (int threads : {1, 2, 3, 8}) {
    d3d8compat::setRasterThreads(threads);
    for (LONG y = 0; y < 480; ++y) {
      const D3DRECT row{0, y, 640, y + 1};
      const DWORD red = static_cast<DWORD>(y + 37 * threads) & 0xFF, green = static_cast<DWORD>(y) >> 1;
      ASSERT_EQ(device_->Clear(1, &row, D3DCLEAR_TARGET, D3DCOLOR_ARGB(0x40, red, green, 255 - (y & 0xFF)), 1.0f, 0),
                D3D_OK);
    }
    ASSERT_EQ(device_->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
    int wrong = 0;
    for (int y = 0; y < 480; ++y) {
      const DWORD red = static_cast<DWORD>(y + 37 * threads) & 0xFF, green = static_cast<DWORD>(y) >> 1;
      const D3DCOLOR expected = D3DCOLOR_ARGB(0x40, posterised(red), green, posterised(255 - (y & 0xFF)));
      wrong += (sink.at(0, y) != expected) + (sink.at(639, y) != expected);
    }
    EXPECT_EQ(wrong, 0) << threads << " threads";
  }
  d3d8compat::setRasterThreads(before);
}
