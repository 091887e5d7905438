// Present and the gamma ramp. Present copies the back buffer into a frame of 0xAARRGGBB words (formats
// without alpha read as opaque), passes each colour channel through the ramp's 8-bit output
// (ramp[c] >> 8) when the device runs full-screen, and hands the frame to the host's sink. The back
// buffer itself is never changed. A windowed device keeps the ramp but does not apply it, as in
// Direct3D 8; an identity ramp costs nothing. Presenting to a window that was destroyed fails.
#include <algorithm>

#include "compat/d3d8/band_workers.h"
#include "compat/d3d8/d3d8_host.h"
#include "compat/d3d8/device.h"
#include "compat/d3d8/formats.h"
#include "compat/d3d8/surface.h"
#include "compat/win32/user32.h"

namespace d3d8compat {
namespace {

PresentSink* g_presentSink = nullptr;

// One band's rows of the back buffer converted into the frame, through the ramp when `gamma` is set.
struct ConvertJob {
  const Surface* back;
  uint32_t* frame;
  const BYTE (*gamma)[256];  // null: no ramp
  int bands;
};

void convertBand(void* context, int band) {
  const ConvertJob& job = *static_cast<const ConvertJob*>(context);
  const Surface& back = *job.back;
  const UINT width = back.width(), height = back.height(), bpp = back.bytesPerPixel();
  const D3DFORMAT format = back.format();
  const bool words = format == D3DFMT_X8R8G8B8 || format == D3DFMT_A8R8G8B8;
  const uint32_t alphaOr = format == D3DFMT_X8R8G8B8 ? 0xFF000000u : 0u;
  for (UINT y = 0; y < height; ++y) {
    if (!rowInBand(static_cast<int>(y), band, job.bands)) continue;
    const BYTE* p = back.row(y);
    uint32_t* out = job.frame + static_cast<size_t>(y) * width;
    if (words) {  // the 32-bit formats are already 0xAARRGGBB words
      for (UINT x = 0; x < width; ++x) {
        uint32_t word;
        __builtin_memcpy(&word, p + 4 * x, 4);
        out[x] = word | alphaOr;
      }
    } else {
      for (UINT x = 0; x < width; ++x, p += bpp) out[x] = unpackColor(format, loadPixel(p, bpp));
    }
    if (job.gamma == nullptr) continue;
    const BYTE(&red)[256] = job.gamma[0];
    const BYTE(&green)[256] = job.gamma[1];
    const BYTE(&blue)[256] = job.gamma[2];
    for (UINT x = 0; x < width; ++x) {
      const uint32_t pixel = out[x];
      out[x] = (pixel & 0xFF000000u) | uint32_t{red[(pixel >> 16) & 0xFF]} << 16 |
               uint32_t{green[(pixel >> 8) & 0xFF]} << 8 | blue[pixel & 0xFF];
    }
  }
}

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

// The frame is converted in the draws' bands: every frame passes through here, and on one thread the
// conversion and ramp of a 640 x 480 frame cost about half as much as a full-screen textured pass.
void Device::convertBackBuffer() {
  const Surface& back = *state_.backBuffer;
  const int stripes = (static_cast<int>(back.height()) + (1 << kBandStripeShift) - 1) >> kBandStripeShift;
  ConvertJob job{&back, frame_.data(), setup_.windowed || gammaIdentity_ ? nullptr : gamma_,
                 std::max(1, std::min(rasterThreads(), stripes))};
  runBands(convertBand, &job, job.bands, rasterThreads());
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
