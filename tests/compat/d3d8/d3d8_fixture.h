// Shared set-up for the software Direct3D 8 tests: a headless 640 x 480 window, the Direct3D object,
// and a device created the way the presentation creates its first one (full-screen 640 x 480,
// A8R8G8B8 with D24S8, hardware vertex processing). Everything is released and reset after each test.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "compat/d3d8/buffers.h"
#include "compat/d3d8/d3d8.h"
#include "compat/d3d8/d3d8_host.h"
#include "compat/d3d8/draw_call.h"
#include "compat/d3d8/surface.h"
#include "compat/d3d8/texture.h"
#include "compat/win32/headless.h"
#include "compat/win32/user32.h"

// The reference count an object has now (AddRef then Release leaves it unchanged).
inline ULONG refCount(IUnknown* object) {
  object->AddRef();
  return object->Release();
}

// One pixel of a surface as its stored value.
inline uint32_t pixelAt(const d3d8compat::Surface& surface, UINT x, UINT y) {
  uint32_t value = 0;
  std::memcpy(&value, surface.row(y) + x * surface.bytesPerPixel(), surface.bytesPerPixel());
  return value;
}

// Whether this program has a test "Suite.Name" (the caps walks check that the test they name is there).
inline bool testRegistered(const std::string& fullName) {
  const testing::UnitTest& tests = *testing::UnitTest::GetInstance();
  for (int i = 0; i < tests.total_test_suite_count(); ++i) {
    const testing::TestSuite& suite = *tests.GetTestSuite(i);
    for (int j = 0; j < suite.total_test_count(); ++j) {
      if (fullName == std::string(suite.name()) + "." + suite.GetTestInfo(j)->name()) return true;
    }
  }
  return false;
}

class D3D8Test : public ::testing::Test {
 protected:
  void SetUp() override {
    win32compat::setHeadless(true);
    WNDCLASSEXA windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = DefWindowProcA;
    windowClass.lpszClassName = "X";
    RegisterClassExA(&windowClass);
    window_ = CreateWindowExA(0, "X", "t", 0, 0, 0, 640, 480, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(window_, nullptr);
    d3d8compat::setAdapterProfile(d3d8compat::AdapterProfile{});
    d3d_ = Direct3DCreate8(D3D_SDK_VERSION);
    ASSERT_NE(d3d_, nullptr);
  }

  void TearDown() override {
    if (device_ != nullptr) device_->Release();
    if (d3d_ != nullptr) d3d_->Release();
    d3d8compat::setAdapterProfile(d3d8compat::AdapterProfile{});
    d3d8compat::setPresentSink(nullptr);
    d3d8compat::setDrawObserver(nullptr, nullptr);
    win32compat::resetUser32ForTests();
  }

  D3DPRESENT_PARAMETERS fullScreenParams() const {
    D3DPRESENT_PARAMETERS params{};
    params.BackBufferWidth = 640;
    params.BackBufferHeight = 480;
    params.BackBufferFormat = D3DFMT_A8R8G8B8;
    params.BackBufferCount = 1;
    params.SwapEffect = D3DSWAPEFFECT_DISCARD;
    params.hDeviceWindow = window_;
    params.Windowed = FALSE;
    params.EnableAutoDepthStencil = TRUE;
    params.AutoDepthStencilFormat = D3DFMT_D24S8;
    params.FullScreen_PresentationInterval = D3DPRESENT_INTERVAL_ONE;
    return params;
  }

  D3DPRESENT_PARAMETERS windowedParams() const {
    D3DPRESENT_PARAMETERS params = fullScreenParams();
    params.BackBufferWidth = params.BackBufferHeight = 0;
    params.BackBufferFormat = D3DFMT_X8R8G8B8;
    params.SwapEffect = D3DSWAPEFFECT_FLIP;
    params.Windowed = TRUE;
    params.FullScreen_PresentationInterval = 0;
    return params;
  }

  HRESULT tryCreate(D3DPRESENT_PARAMETERS params, DWORD behavior, IDirect3DDevice8** device) {
    return d3d_->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, window_, behavior, &params, device);
  }

  // Creates device_ (released by TearDown).
  void createDevice(const D3DPRESENT_PARAMETERS& params) {
    ASSERT_EQ(tryCreate(params, D3DCREATE_HARDWARE_VERTEXPROCESSING, &device_), D3D_OK);
    ASSERT_NE(device_, nullptr);
  }
  void createDevice() { createDevice(fullScreenParams()); }

  const d3d8compat::DeviceState& state() const { return d3d8compat::deviceState(device_); }

  HWND window_ = nullptr;
  IDirect3D8* d3d_ = nullptr;
  IDirect3DDevice8* device_ = nullptr;
};
