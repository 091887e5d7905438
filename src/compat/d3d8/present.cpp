// Present and the gamma ramp. Present copies the back buffer into a frame of 0xAARRGGBB words (formats
// without alpha read as opaque), passes each colour channel through the ramp's 8-bit output
// (ramp[c] >> 8) when the device runs full-screen, and hands the frame to the host's sink. The back
// buffer itself is never changed. A windowed device keeps the ramp but does not apply it, as in
// Direct3D 8; an identity ramp costs nothing. Presenting to a window that was destroyed fails.
#include "compat/d3d8/d3d8_host.h"
#include "compat/d3d8/device.h"
#include "compat/d3d8/formats.h"
#include "compat/d3d8/surface.h"
#include "compat/win32/user32.h"

namespace d3d8compat {
namespace {

PresentSink* g_presentSink = nullptr;

}  // namespace

void setPresentSink(PresentSink* sink) { g_presentSink = sink; }

void Device::SetGammaRamp(DWORD, const D3DGAMMARAMP* ramp) {
  if (ramp == nullptr) return;
  gammaIdentity_ = true;
  for (int i = 0; i < 256; ++i) {
    gamma_[0][i] = static_cast<BYTE>(ramp->red[i] >> 8);
    gamma_[1][i] = static_cast<BYTE>(ramp->green[i] >> 8);
    gamma_[2][i] = static_cast<BYTE>(ramp->blue[i] >> 8);
    if (gamma_[0][i] != i || gamma_[1][i] != i || gamma_[2][i] != i) gammaIdentity_ = false;
  }
}

void Device::convertBackBuffer() {
  const Surface& back = *state_.backBuffer;
  const UINT width = back.width(), height = back.height(), bpp = back.bytesPerPixel();
  const D3DFORMAT format = back.format();
  uint32_t* out = frame_.data();
  for (UINT y = 0; y < height; ++y) {
    const BYTE* p = back.row(y);
    for (UINT x = 0; x < width; ++x, p += bpp) *out++ = unpackColor(format, loadPixel(p, bpp));
  }
  if (setup_.windowed || gammaIdentity_) return;
  for (uint32_t& pixel : frame_) {
    pixel = (pixel & 0xFF000000u) | uint32_t{gamma_[0][(pixel >> 16) & 0xFF]} << 16 |
            uint32_t{gamma_[1][(pixel >> 8) & 0xFF]} << 8 | gamma_[2][pixel & 0xFF];
  }
}

HRESULT Device::Present(const RECT* sourceRect, const RECT* destRect, HWND destWindowOverride, const void*) {
  // Partial presents would need scaling into the window; nobody asks for them.
  if (sourceRect != nullptr || destRect != nullptr) return D3DERR_INVALIDCALL;
  const HWND window = destWindowOverride != nullptr ? destWindowOverride : setup_.window;
  if (!IsWindow(window)) return D3DERR_INVALIDCALL;  // the window was destroyed
  if (g_presentSink == nullptr) return D3D_OK;
  convertBackBuffer();
  g_presentSink->present(window, frame_.data(), static_cast<int>(state_.backBuffer->width()),
                         static_cast<int>(state_.backBuffer->height()));
  return D3D_OK;
}

}  // namespace d3d8compat
