// Port additions around the software Direct3D 8 layer (not Direct3D names): where presented frames go,
// what the simulated adapter accepts, and read access to a device's state for tests and the
// rasterizer's tests. The presentation itself never calls these; the host (presenter, capture) does.
#pragma once

#include <cstdint>

#include "compat/d3d8/d3d8.h"
#include "compat/d3d8/device_state.h"

namespace d3d8compat {

class PresentSink {
 public:
  virtual ~PresentSink() = default;
  // One finished frame: width*height words 0xAARRGGBB, top row first, gamma ramp applied.
  virtual void present(HWND window, const uint32_t* pixels, int width, int height) = 0;
};
void setPresentSink(PresentSink* sink);  // nullptr (the default): Present discards the frame

struct AdapterProfile {                  // what the simulated adapter accepts (tests turn things off)
  bool createDirect3D = true;            // false: Direct3DCreate8 returns null
  bool hardwareVertexProcessing = true;  // D3DCREATE_HARDWARE_VERTEXPROCESSING accepted
  bool mixedVertexProcessing = true;
  bool softwareVertexProcessing = true;
  bool a8r8g8b8BackBuffer = true;        // false: only R5G6B5 and X8R8G8B8 back buffers accepted
  bool d24s8DepthStencil = true;         // false: only D16
  bool alphaGreaterEqual = true;         // D3DPCMPCAPS_GREATEREQUAL reported in AlphaCmpCaps
  bool displayModeAvailable = true;      // false: GetAdapterDisplayMode fails
  UINT desktopWidth = 1920, desktopHeight = 1080;
  float maxPointSize = 64.0f;            // MaxPointSize and the POINTSIZE_MAX default (a scaled picture
                                         // needs points as many times wider)
  D3DFORMAT desktopFormat = D3DFMT_X8R8G8B8;
};
void setAdapterProfile(const AdapterProfile& profile);
const AdapterProfile& adapterProfile();

// Read access to a device's state and back buffer, for tests and the rasterizer's tests.
const DeviceState& deviceState(IDirect3DDevice8* device);

}  // namespace d3d8compat
