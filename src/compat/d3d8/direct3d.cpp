// The Direct3D 8 object: the simulated adapter's desktop mode and device creation. CreateDevice checks
// the call against the adapter profile (d3d8_host.h) and refuses the way a driver does:
// D3DERR_INVALIDCALL for arguments that are wrong anywhere, D3DERR_NOTAVAILABLE for what this
// adapter does not offer (a vertex-processing mode, a back-buffer or depth format, multisampling).
#include "compat/d3d8/caps.h"
#include "compat/d3d8/d3d8_host.h"
#include "compat/d3d8/device.h"
#include "compat/d3d8/limits.h"
#include "compat/win32/user32.h"

namespace d3d8compat {
namespace {

AdapterProfile g_profile;

HRESULT checkVertexProcessing(DWORD behavior) {
  const DWORD mode = behavior & (D3DCREATE_SOFTWARE_VERTEXPROCESSING | D3DCREATE_HARDWARE_VERTEXPROCESSING |
                                 D3DCREATE_MIXED_VERTEXPROCESSING);
  switch (mode) {
    case D3DCREATE_HARDWARE_VERTEXPROCESSING:
      return g_profile.hardwareVertexProcessing ? D3D_OK : D3DERR_NOTAVAILABLE;
    case D3DCREATE_MIXED_VERTEXPROCESSING:
      return g_profile.mixedVertexProcessing ? D3D_OK : D3DERR_NOTAVAILABLE;
    case D3DCREATE_SOFTWARE_VERTEXPROCESSING:
      return g_profile.softwareVertexProcessing ? D3D_OK : D3DERR_NOTAVAILABLE;
    default:  // none, or more than one
      return D3DERR_INVALIDCALL;
  }
}

bool backBufferFormatOffered(D3DFORMAT format) {
  if (format == D3DFMT_A8R8G8B8) return g_profile.a8r8g8b8BackBuffer;
  return format == D3DFMT_X8R8G8B8 || format == D3DFMT_R5G6B5;
}

bool depthFormatOffered(D3DFORMAT format) {
  if (format == D3DFMT_D24S8) return g_profile.d24s8DepthStencil;
  return format == D3DFMT_D16;
}

// DEFAULT, or one of the intervals the caps report (every other frame and slower are not kept, so
// they are refused rather than presented at the pace of ONE).
bool validInterval(UINT interval) {
  if (interval == D3DPRESENT_INTERVAL_DEFAULT) return true;
  const DWORD reported = softwareDeviceCaps(g_profile.alphaGreaterEqual).PresentationIntervals;
  return (interval & (interval - 1)) == 0 && (interval & reported) != 0;  // exactly one reported bit
}

// The back-buffer size: full-screen takes the parameters as they are; windowed fills a zero
// dimension from the window's client area.
HRESULT resolveSize(const D3DPRESENT_PARAMETERS& params, HWND window, DeviceSetup* setup) {
  setup->width = params.BackBufferWidth;
  setup->height = params.BackBufferHeight;
  if (params.Windowed) {
    if (params.FullScreen_RefreshRateInHz != 0 || params.FullScreen_PresentationInterval != 0) {
      return D3DERR_INVALIDCALL;
    }
    if (setup->width == 0 || setup->height == 0) {
      RECT client{};
      if (!GetClientRect(window, &client)) return D3DERR_INVALIDCALL;
      if (setup->width == 0) setup->width = static_cast<UINT>(client.right - client.left);
      if (setup->height == 0) setup->height = static_cast<UINT>(client.bottom - client.top);
    }
  } else if (!validInterval(params.FullScreen_PresentationInterval)) {
    return D3DERR_INVALIDCALL;
  }
  if (setup->width == 0 || setup->height == 0) return D3DERR_INVALIDCALL;
  if (setup->width > kMaxSurfaceSize || setup->height > kMaxSurfaceSize) return D3DERR_NOTAVAILABLE;
  return D3D_OK;
}

HRESULT resolveSetup(HWND focusWindow, DWORD behavior, const D3DPRESENT_PARAMETERS& params,
                     DeviceSetup* setup) {
  if (focusWindow == nullptr || !IsWindow(focusWindow)) return D3DERR_INVALIDCALL;
  setup->window = params.hDeviceWindow != nullptr ? params.hDeviceWindow : focusWindow;
  if (!IsWindow(setup->window)) return D3DERR_INVALIDCALL;
  if (HRESULT hr = checkVertexProcessing(behavior); hr != D3D_OK) return hr;
  if (params.SwapEffect < D3DSWAPEFFECT_DISCARD || params.SwapEffect > D3DSWAPEFFECT_COPY_VSYNC ||
      params.BackBufferCount > 3) {
    return D3DERR_INVALIDCALL;
  }
  // A copy swap effect presents one back buffer; 0 means one.
  const bool copies = params.SwapEffect == D3DSWAPEFFECT_COPY || params.SwapEffect == D3DSWAPEFFECT_COPY_VSYNC;
  if (copies && params.BackBufferCount > 1) return D3DERR_INVALIDCALL;
  if (params.MultiSampleType != D3DMULTISAMPLE_NONE) return D3DERR_NOTAVAILABLE;
  if (HRESULT hr = resolveSize(params, setup->window, setup); hr != D3D_OK) return hr;
  if (!backBufferFormatOffered(params.BackBufferFormat)) return D3DERR_NOTAVAILABLE;
  setup->backBufferFormat = params.BackBufferFormat;
  setup->autoDepthStencil = params.EnableAutoDepthStencil != FALSE;
  if (setup->autoDepthStencil) {
    if (!depthFormatOffered(params.AutoDepthStencilFormat)) return D3DERR_NOTAVAILABLE;
    setup->depthStencilFormat = params.AutoDepthStencilFormat;
  }
  setup->windowed = params.Windowed != FALSE;
  setup->lockableBackBuffer = (params.Flags & D3DPRESENTFLAG_LOCKABLE_BACKBUFFER) != 0;
  setup->alphaGreaterEqual = g_profile.alphaGreaterEqual;
  return D3D_OK;
}

class Direct3D final : public ComObject<IDirect3D8> {
 public:
  HRESULT GetAdapterDisplayMode(UINT adapter, D3DDISPLAYMODE* mode) override {
    if (adapter != D3DADAPTER_DEFAULT || mode == nullptr) return D3DERR_INVALIDCALL;
    if (!g_profile.displayModeAvailable) return D3DERR_NOTAVAILABLE;
    *mode = D3DDISPLAYMODE{g_profile.desktopWidth, g_profile.desktopHeight, 60, g_profile.desktopFormat};
    return D3D_OK;
  }

  HRESULT CreateDevice(UINT adapter, D3DDEVTYPE deviceType, HWND focusWindow, DWORD behaviorFlags,
                       D3DPRESENT_PARAMETERS* presentationParameters, IDirect3DDevice8** returnedDevice) override {
    if (returnedDevice == nullptr) return D3DERR_INVALIDCALL;
    *returnedDevice = nullptr;
    if (adapter != D3DADAPTER_DEFAULT || presentationParameters == nullptr) return D3DERR_INVALIDCALL;
    if (deviceType != D3DDEVTYPE_HAL) return D3DERR_NOTAVAILABLE;
    DeviceSetup setup;
    if (HRESULT hr = resolveSetup(focusWindow, behaviorFlags, *presentationParameters, &setup); hr != D3D_OK) {
      return hr;
    }
    Device* device = Device::create(setup, this);
    if (device == nullptr) return D3DERR_OUTOFVIDEOMEMORY;
    *returnedDevice = device;
    return D3D_OK;
  }
};

}  // namespace

void setAdapterProfile(const AdapterProfile& profile) { g_profile = profile; }
const AdapterProfile& adapterProfile() { return g_profile; }

}  // namespace d3d8compat

IDirect3D8* Direct3DCreate8(UINT sdkVersion) {
  if (sdkVersion != D3D_SDK_VERSION || !d3d8compat::adapterProfile().createDirect3D) return nullptr;
  return new d3d8compat::Direct3D();
}
