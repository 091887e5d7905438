#include "platform/graphics.h"

#include <cstring>

#include "platform/window.h"

IDirect3D8* g_d3d = nullptr;
IDirect3DDevice8* g_device = nullptr;
int g_colorBits = 32;
D3DFORMAT g_renderTargetFormat = D3DFMT_X8R8G8B8;
D3DCAPS8 g_caps = {};
D3DVIEWPORT8 g_viewport = {};
int g_viewportWidth = 0;
int g_viewportHeight = 0;
float g_viewportAspect = 0.75f;
bool g_renderingToTexture = false;

namespace {

int g_renderScale = 1;

// The depth format the device was finally created with (attempts 4 and 5 fall back to D16).
D3DFORMAT g_depthFormat = D3DFMT_D24S8;

void fillPresentParameters(D3DPRESENT_PARAMETERS& params, int width, int height, D3DFORMAT desktopFormat) {
  std::memset(&params, 0, sizeof(params));
  const bool fullScreen = g_windowed == 0;
  params.BackBufferWidth = fullScreen ? static_cast<UINT>(width) : 0;
  params.BackBufferHeight = fullScreen ? static_cast<UINT>(height) : 0;
  if (fullScreen) {
    params.BackBufferFormat = g_colorBits == 32 ? D3DFMT_A8R8G8B8 : D3DFMT_R5G6B5;
  } else {
    params.BackBufferFormat = desktopFormat;
  }
  params.BackBufferCount = 1;
  params.MultiSampleType = D3DMULTISAMPLE_NONE;
  params.SwapEffect = fullScreen ? D3DSWAPEFFECT_DISCARD : D3DSWAPEFFECT_FLIP;
  params.hDeviceWindow = g_mainWindow;
  params.Windowed = fullScreen ? FALSE : TRUE;
  params.EnableAutoDepthStencil = TRUE;
  params.AutoDepthStencilFormat = g_colorBits == 32 ? D3DFMT_D24S8 : D3DFMT_D16;
  params.Flags = 0;
  params.FullScreen_RefreshRateInHz = 0;
  params.FullScreen_PresentationInterval = fullScreen ? D3DPRESENT_INTERVAL_ONE : 0;
}

bool createDevice(D3DPRESENT_PARAMETERS& params) {
  auto attempt = [&](DWORD behaviour) {
    return SUCCEEDED(g_d3d->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, g_mainWindow, behaviour, &params,
                                         &g_device));
  };
  if (attempt(D3DCREATE_HARDWARE_VERTEXPROCESSING)) return true;
  if (attempt(D3DCREATE_MIXED_VERTEXPROCESSING)) return true;
  if (attempt(D3DCREATE_SOFTWARE_VERTEXPROCESSING)) return true;
  // The changes of the last two attempts accumulate in the same record.
  params.BackBufferFormat = D3DFMT_R5G6B5;
  params.AutoDepthStencilFormat = D3DFMT_D16;
  if (attempt(D3DCREATE_SOFTWARE_VERTEXPROCESSING)) return true;
  params.BackBufferWidth = 480;
  return attempt(D3DCREATE_SOFTWARE_VERTEXPROCESSING);
}

}  // namespace

int initGraphics(const char* title, int width, int height, int windowed, int colorBits) {
  g_windowed = windowed;
  g_colorBits = colorBits;
  g_renderTargetFormat = colorBits == 32 ? D3DFMT_X8R8G8B8 : D3DFMT_R5G6B5;

  createMainWindow(title, width, height);
  ShowWindow(g_mainWindow, SW_SHOWDEFAULT);
  UpdateWindow(g_mainWindow);

  g_d3d = Direct3DCreate8(D3D_SDK_VERSION);
  if (g_d3d == nullptr) return 0;

  D3DDISPLAYMODE mode = {};
  if (windowed != 0 && FAILED(g_d3d->GetAdapterDisplayMode(D3DADAPTER_DEFAULT, &mode))) return 0;
  D3DPRESENT_PARAMETERS params;
  fillPresentParameters(params, width, height, mode.Format);

  if (!createDevice(params)) {
    MessageBoxA(g_mainWindow, "ERROR: get a new 3D card", nullptr, MB_OK);
    return 0;
  }
  g_depthFormat = params.AutoDepthStencilFormat;

  g_device->GetDeviceCaps(&g_caps);

  // Stage 0, then stage 1; the mip filter goes to stage 0 in both passes.
  for (DWORD stage = 0; stage < 2; ++stage) {
    setTextureStageState(stage, D3DTSS_MINFILTER, D3DTEXF_LINEAR);
    setTextureStageState(stage, D3DTSS_MAGFILTER, D3DTEXF_LINEAR);
    setTextureStageState(0, D3DTSS_MIPFILTER, D3DTEXF_LINEAR);
    setTextureStageState(stage, D3DTSS_ADDRESSU, D3DTADDRESS_WRAP);
    setTextureStageState(stage, D3DTSS_ADDRESSV, D3DTADDRESS_WRAP);
  }

  if ((g_caps.AlphaCmpCaps & D3DPCMPCAPS_GREATEREQUAL) != 0) {
    setRenderState(D3DRS_ALPHAREF, 2);
    setRenderState(D3DRS_ALPHAFUNC, D3DCMP_GREATEREQUAL);
    setRenderState(D3DRS_ALPHATESTENABLE, TRUE);
  }

  for (int i = 0; i < 2; ++i) {
    beginFrame(0);
    endFrame();
    pumpOneMessage();
  }

  g_device->GetViewport(&g_viewport);
  g_viewportWidth = static_cast<int>(g_viewport.Width);
  g_viewportHeight = static_cast<int>(g_viewport.Height);
  g_viewportAspect = static_cast<float>(g_viewport.Height) / static_cast<float>(g_viewport.Width);
  return 1;
}

void shutdownGraphics() {
  if (g_device != nullptr) {
    g_device->Release();
    g_device = nullptr;
  }
  if (g_d3d != nullptr) {
    g_d3d->Release();
    g_d3d = nullptr;
  }
  unregisterMainWindowClass();
}

DWORD frameClearFlags() {
  // A D16 depth buffer (the last two creation attempts) has no stencil; asking to clear one would make
  // the whole clear fail.
  DWORD flags = D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER;
  if (g_colorBits == 32 && g_depthFormat != D3DFMT_D16) flags |= D3DCLEAR_STENCIL;
  return flags;
}

void beginFrame(D3DCOLOR clearColor) {
  g_device->BeginScene();
  g_device->Clear(0, nullptr, frameClearFlags(), clearColor, 1.0f, 0);
}

void endFrame() {
  g_device->EndScene();
  g_device->Present(nullptr, nullptr, nullptr, nullptr);
}

void setRenderState(D3DRENDERSTATETYPE state, DWORD value) { g_device->SetRenderState(state, value); }

void setTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD value) {
  g_device->SetTextureStageState(stage, type, value);
}

namespace {

D3DCOLORVALUE colorValue(D3DCOLOR c) {
  return D3DCOLORVALUE{static_cast<float>((c >> 16) & 0xFF) / 255.0f, static_cast<float>((c >> 8) & 0xFF) / 255.0f,
                       static_cast<float>(c & 0xFF) / 255.0f, static_cast<float>((c >> 24) & 0xFF) / 255.0f};
}

}  // namespace

void setDirectionalLight(DWORD index, Vec3 direction, D3DCOLOR color) {
  D3DLIGHT8 light;
  std::memset(&light, 0, sizeof(light));
  light.Type = D3DLIGHT_DIRECTIONAL;
  light.Diffuse = colorValue(color);
  light.Specular = light.Diffuse;
  direction.normalize();
  // Callers pass the vector towards the light; Direct3D wants the direction the light travels.
  light.Direction = D3DVECTOR{-direction.x, -direction.y, -direction.z};
  g_device->SetLight(index, &light);
  g_device->LightEnable(index, TRUE);
}

void setMaterialAmbient(D3DCOLOR ambientColor) {
  D3DMATERIAL8 material;
  std::memset(&material, 0, sizeof(material));
  material.Diffuse = D3DCOLORVALUE{1.0f, 1.0f, 1.0f, 0.0f};
  material.Ambient = colorValue(ambientColor);
  material.Specular = D3DCOLORVALUE{1.0f, 1.0f, 1.0f, 0.0f};
  material.Power = 15.0f;
  g_device->SetMaterial(&material);
  setRenderState(D3DRS_AMBIENT, 0xFFFFFFFF);
}

int currentTargetWidth() { return g_renderingToTexture ? renderTextureSize() : g_viewportWidth; }
int currentTargetHeight() { return g_renderingToTexture ? renderTextureSize() : g_viewportHeight; }

void setRenderScale(int scale) { g_renderScale = scale; }
int renderScale() { return g_renderScale; }
int renderTextureSize() { return 256 * g_renderScale; }

DWORD floatBits(float value) {
  DWORD bits;
  std::memcpy(&bits, &value, sizeof(bits));
  return bits;
}
