// Speed of the software Direct3D 8 pipeline on the shapes the presentation draws: a full-screen
// bilinear textured quad, the same trilinear and alpha-blended, a 256 x 256 two-stage pass into a render
// target texture, a 1 640-vertex lit textured tube filling the screen, and 500 additive point sprites of
// about 60 pixels, each through the device as the program calls it. Argument 1: every pixel on the calling
// thread (the one-core figure); argument 2: rows split over two threads. Times are wall-clock.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "compat/d3d8/band_workers.h"
#include "compat/d3d8/d3d8.h"
#include "compat/d3d8/d3d8_host.h"
#include "compat/d3d8/device_state.h"
#include "compat/d3d8/formats.h"
#include "compat/win32/headless.h"
#include "compat/win32/user32.h"

namespace {

struct TlVertex {
  float x, y, z, rhw;
  DWORD color;
  float u, v;
};
struct Tl2Vertex {
  float x, y, z, rhw;
  DWORD color;
  float u0, v0, u1, v1;
};
struct LitVertex {
  float x, y, z, nx, ny, nz;
  DWORD color;
  float u, v;
};
struct ColorVertex {
  float x, y, z;
  DWORD color;
};

// One device for every benchmark, made as the presentation makes it (full-screen 640 x 480, D24S8).
class Bench {
 public:
  Bench() {
    win32compat::setHeadless(true);
    WNDCLASSEXA windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = DefWindowProcA;
    windowClass.lpszClassName = "bench";
    RegisterClassExA(&windowClass);
    HWND window = CreateWindowExA(0, "bench", "bench", 0, 0, 0, 640, 480, nullptr, nullptr, nullptr, nullptr);
    d3d_ = Direct3DCreate8(D3D_SDK_VERSION);
    D3DPRESENT_PARAMETERS params{};
    params.BackBufferWidth = 640;
    params.BackBufferHeight = 480;
    params.BackBufferFormat = D3DFMT_A8R8G8B8;
    params.BackBufferCount = 1;
    params.SwapEffect = D3DSWAPEFFECT_DISCARD;
    params.hDeviceWindow = window;
    params.Windowed = FALSE;
    params.EnableAutoDepthStencil = TRUE;
    params.AutoDepthStencilFormat = D3DFMT_D24S8;
    d3d_->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, window, D3DCREATE_HARDWARE_VERTEXPROCESSING, &params, &device);
    texture = makeTexture(256, 256, 0, [](UINT x, UINT y, UINT level) {
      return D3DCOLOR_ARGB(200, (x * 3 + level * 40) & 0xFF, (y * 5) & 0xFF, (x ^ y) & 0xFF);
    });
    sprite = makeTexture(32, 32, 1, [](UINT x, UINT y, UINT) {
      const float d = std::hypot(static_cast<float>(x) - 15.5f, static_cast<float>(y) - 15.5f) / 16.0f;
      const DWORD c = static_cast<DWORD>(255.0f * std::fmax(0.0f, 1.0f - d));
      return D3DCOLOR_ARGB(c, c, c, c);
    });
    device->CreateTexture(256, 256, 1, D3DUSAGE_RENDERTARGET, D3DFMT_X8R8G8B8, D3DPOOL_DEFAULT, &target);
  }

  template <class Texel>
  IDirect3DTexture8* makeTexture(UINT width, UINT height, UINT levels, Texel texel) {
    IDirect3DTexture8* t = nullptr;
    device->CreateTexture(width, height, levels, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &t);
    for (UINT k = 0; k < t->GetLevelCount(); ++k) {
      D3DLOCKED_RECT locked;
      t->LockRect(k, &locked, nullptr, 0);
      const UINT w = std::max(1u, width >> k), h = std::max(1u, height >> k);
      for (UINT y = 0; y < h; ++y) {
        auto* row = reinterpret_cast<DWORD*>(static_cast<BYTE*>(locked.pBits) + y * locked.Pitch);
        for (UINT x = 0; x < w; ++x) row[x] = texel(x, y, k);
      }
      t->UnlockRect(k);
    }
    return t;
  }

  // Back to the creation defaults that matter here, lighting off, depth off.
  void reset() {
    device->SetRenderState(D3DRS_LIGHTING, FALSE);
    device->SetRenderState(D3DRS_ZENABLE, FALSE);
    device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    device->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
    device->SetRenderState(D3DRS_POINTSPRITEENABLE, FALSE);
    device->SetRenderState(D3DRS_POINTSCALEENABLE, FALSE);
    device->SetRenderState(D3DRS_ZWRITEENABLE, TRUE);
    for (DWORD s = 0; s < 2; ++s) {
      device->SetTexture(s, nullptr);
      device->SetTextureStageState(s, D3DTSS_MAGFILTER, D3DTEXF_LINEAR);
      device->SetTextureStageState(s, D3DTSS_MINFILTER, D3DTEXF_LINEAR);
      device->SetTextureStageState(s, D3DTSS_MIPFILTER, D3DTEXF_NONE);
      device->SetTextureStageState(s, D3DTSS_COLOROP, s == 0 ? D3DTOP_MODULATE : D3DTOP_DISABLE);
    }
  }

  IDirect3D8* d3d_ = nullptr;
  IDirect3DDevice8* device = nullptr;
  IDirect3DTexture8* texture = nullptr;
  IDirect3DTexture8* sprite = nullptr;
  IDirect3DTexture8* target = nullptr;
};

Bench& bench() {
  static Bench instance;
  return instance;
}

void drawScreenQuad(IDirect3DDevice8* device, float width, float height, float uvScale) {
  const TlVertex quad[4] = {{0, 0, 0.5f, 1, 0xFFFFFFFF, 0, 0},
                            {width, 0, 0.5f, 1, 0xFFFFFFFF, uvScale, 0},
                            {width, height, 0.5f, 1, 0xFFFFFFFF, uvScale, uvScale},
                            {0, height, 0.5f, 1, 0xFFFFFFFF, 0, uvScale}};
  device->SetVertexShader(0x144);
  device->DrawPrimitiveUP(D3DPT_TRIANGLEFAN, 2, quad, sizeof(TlVertex));
}

// 640 x 480 quad, 256 x 256 texture magnified, bilinear, MODULATE with white, opaque, no depth.
void BM_FullScreenQuadBilinear(benchmark::State& state) {
  Bench& b = bench();
  b.reset();
  d3d8compat::setRasterBands(static_cast<int>(state.range(0)));
  b.device->SetTexture(0, b.texture);
  for (auto _ : state) drawScreenQuad(b.device, 640, 480, 1.0f);
  state.SetItemsProcessed(state.iterations() * 640 * 480);
}
BENCHMARK(BM_FullScreenQuadBilinear)->Arg(1)->Arg(2)->UseRealTime()->Unit(benchmark::kMillisecond);

// The same quad minified (texture repeated 4 times: about 1.6 texels per pixel), trilinear, blended.
void BM_FullScreenQuadTrilinearBlend(benchmark::State& state) {
  Bench& b = bench();
  b.reset();
  d3d8compat::setRasterBands(static_cast<int>(state.range(0)));
  b.device->SetTexture(0, b.texture);
  b.device->SetTextureStageState(0, D3DTSS_MIPFILTER, D3DTEXF_LINEAR);
  b.device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
  b.device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
  b.device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
  for (auto _ : state) drawScreenQuad(b.device, 640, 480, 4.0f);
  state.SetItemsProcessed(state.iterations() * 640 * 480);
}
BENCHMARK(BM_FullScreenQuadTrilinearBlend)->Arg(1)->Arg(2)->UseRealTime()->Unit(benchmark::kMillisecond);

// The feedback blur's shape: a 256 x 256 render target, stage 0 SELECTARG1(TEXTURE) on set 0, stage 1
// BLENDFACTORALPHA(TEXTURE, CURRENT) on set 1, bilinear on both.
void BM_TwoStagePass256(benchmark::State& state) {
  Bench& b = bench();
  b.reset();
  d3d8compat::setRasterBands(static_cast<int>(state.range(0)));
  IDirect3DSurface8 *surface = nullptr, *back = nullptr, *depth = nullptr;
  b.target->GetSurfaceLevel(0, &surface);
  b.device->GetRenderTarget(&back);
  b.device->GetDepthStencilSurface(&depth);
  b.device->SetRenderTarget(surface, depth);
  b.device->SetTexture(0, b.texture);
  b.device->SetTexture(1, b.texture);
  b.device->SetRenderState(D3DRS_TEXTUREFACTOR, 0x80808080);
  b.device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
  b.device->SetTextureStageState(1, D3DTSS_COLOROP, D3DTOP_BLENDFACTORALPHA);
  b.device->SetTextureStageState(1, D3DTSS_COLORARG1, D3DTA_TEXTURE);
  b.device->SetTextureStageState(1, D3DTSS_COLORARG2, D3DTA_CURRENT);
  b.device->SetTextureStageState(1, D3DTSS_TEXCOORDINDEX, 1);
  const Tl2Vertex quad[4] = {{0, 0, 0.5f, 1, 0xFFFFFFFF, 0, 0, 0.01f, 0.01f},
                             {256, 0, 0.5f, 1, 0xFFFFFFFF, 1, 0, 1.01f, 0.01f},
                             {256, 256, 0.5f, 1, 0xFFFFFFFF, 1, 1, 1.01f, 1.01f},
                             {0, 256, 0.5f, 1, 0xFFFFFFFF, 0, 1, 0.01f, 1.01f}};
  b.device->SetVertexShader(0x244);
  for (auto _ : state) b.device->DrawPrimitiveUP(D3DPT_TRIANGLEFAN, 2, quad, sizeof(Tl2Vertex));
  state.SetItemsProcessed(state.iterations() * 256 * 256);
  b.device->SetRenderTarget(back, depth);
  b.device->SetTextureStageState(1, D3DTSS_TEXCOORDINDEX, 1);
  surface->Release();
  back->Release();
  depth->Release();
}
BENCHMARK(BM_TwoStagePass256)->Arg(1)->Arg(2)->UseRealTime()->Unit(benchmark::kMillisecond);

// A tube of 40 rings x 41 vertices (1 640, FVF 0x152) seen from inside along its axis: lit by two
// directional lights, trilinear, depth tested and written, D3DRS_WRAP0 on, filling the screen.
void BM_LitTube(benchmark::State& state) {
  Bench& b = bench();
  b.reset();
  d3d8compat::setRasterBands(static_cast<int>(state.range(0)));
  constexpr int kRings = 40, kSegments = 41;
  static std::vector<LitVertex> vertices;
  static std::vector<uint16_t> indices;
  if (vertices.empty()) {
    for (int r = 0; r < kRings; ++r) {
      for (int s = 0; s < kSegments; ++s) {
        const float a = 6.2831853f * static_cast<float>(s) / (kSegments - 1);
        const float c = std::cos(a), si = std::sin(a);
        vertices.push_back({1.5f * c, 1.5f * si, 0.5f * static_cast<float>(r), -c, -si, 0, 0xFFFFFFFF,
                            static_cast<float>(s) / (kSegments - 1), 0.25f * static_cast<float>(r)});
      }
    }
    for (int r = 0; r + 1 < kRings; ++r) {
      for (int s = 0; s + 1 < kSegments; ++s) {
        const uint16_t i = static_cast<uint16_t>(r * kSegments + s);
        const uint16_t quad[6] = {i, static_cast<uint16_t>(i + kSegments), static_cast<uint16_t>(i + 1),
                                  static_cast<uint16_t>(i + 1), static_cast<uint16_t>(i + kSegments),
                                  static_cast<uint16_t>(i + kSegments + 1)};
        indices.insert(indices.end(), quad, quad + 6);
      }
    }
  }
  IDirect3DVertexBuffer8* vb = nullptr;
  IDirect3DIndexBuffer8* ib = nullptr;
  b.device->CreateVertexBuffer(static_cast<UINT>(vertices.size() * sizeof(LitVertex)), 0, 0x152, D3DPOOL_MANAGED, &vb);
  b.device->CreateIndexBuffer(static_cast<UINT>(indices.size() * 2), 0, D3DFMT_INDEX16, D3DPOOL_MANAGED, &ib);
  BYTE* p = nullptr;
  vb->Lock(0, 0, &p, 0);
  std::memcpy(p, vertices.data(), vertices.size() * sizeof(LitVertex));
  vb->Unlock();
  ib->Lock(0, 0, &p, 0);
  std::memcpy(p, indices.data(), indices.size() * 2);
  ib->Unlock();

  D3DMATRIX identity{}, view{}, projection{};
  identity._11 = identity._22 = identity._33 = identity._44 = 1;
  view = identity;
  view._43 = 0.2f;
  projection._11 = 1.299f, projection._22 = 1.732f, projection._33 = 100.0f / 99.9f, projection._34 = 1;
  projection._43 = -0.1f * 100.0f / 99.9f;
  b.device->SetTransform(D3DTS_WORLD, &identity);
  b.device->SetTransform(D3DTS_VIEW, &view);
  b.device->SetTransform(D3DTS_PROJECTION, &projection);
  b.device->SetRenderState(D3DRS_LIGHTING, TRUE);
  b.device->SetRenderState(D3DRS_ZENABLE, TRUE);
  b.device->SetRenderState(D3DRS_NORMALIZENORMALS, TRUE);
  b.device->SetRenderState(D3DRS_AMBIENT, 0xFFFFFFFF);
  b.device->SetRenderState(D3DRS_WRAP0, D3DWRAP_U);
  D3DMATERIAL8 material{};
  material.Ambient = {8 / 255.0f, 8 / 255.0f, 8 / 255.0f, 1};
  b.device->SetMaterial(&material);
  for (DWORD i = 0; i < 2; ++i) {
    D3DLIGHT8 light{};
    light.Type = D3DLIGHT_DIRECTIONAL;
    light.Diffuse = {0.8f, 0.7f, 0.6f, 1};
    light.Direction = {i == 0 ? 0.6f : -0.6f, -0.5f, 0.4f};
    b.device->SetLight(i, &light);
    b.device->LightEnable(i, TRUE);
  }
  b.device->SetTexture(0, b.texture);
  b.device->SetTextureStageState(0, D3DTSS_MIPFILTER, D3DTEXF_LINEAR);
  b.device->SetVertexShader(0x152);
  b.device->SetStreamSource(0, vb, sizeof(LitVertex));
  b.device->SetIndices(ib, 0);
  const UINT triangles = static_cast<UINT>(indices.size() / 3);
  for (auto _ : state) {
    b.device->Clear(0, nullptr, D3DCLEAR_ZBUFFER, 0, 1.0f, 0);
    b.device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, static_cast<UINT>(vertices.size()), 0, triangles);
  }
  b.device->SetRenderState(D3DRS_WRAP0, 0);
  b.device->SetStreamSource(0, nullptr, 0);
  b.device->SetIndices(nullptr, 0);
  vb->Release();
  ib->Release();
}
BENCHMARK(BM_LitTube)->Arg(1)->Arg(2)->UseRealTime()->Unit(benchmark::kMillisecond);

// 500 additive sprites of about 60 pixels: POINTSIZE 0.25, scale C = 0.5 at eye distance 2.83 gives
// 480 * 0.25 * sqrt(2) / 2.83 = 60 pixels. Depth tested, not written.
void BM_AdditiveSprites(benchmark::State& state) {
  Bench& b = bench();
  b.reset();
  d3d8compat::setRasterBands(static_cast<int>(state.range(0)));
  D3DMATRIX identity{};
  identity._11 = identity._22 = identity._33 = identity._44 = 1;
  D3DMATRIX projection = identity;
  projection._11 = 0.75f, projection._33 = 100.0f / 99.9f, projection._34 = 1, projection._44 = 0;
  projection._43 = -0.1f * 100.0f / 99.9f;
  b.device->SetTransform(D3DTS_WORLD, &identity);
  b.device->SetTransform(D3DTS_VIEW, &identity);
  b.device->SetTransform(D3DTS_PROJECTION, &projection);
  b.device->SetRenderState(D3DRS_ZENABLE, TRUE);
  b.device->SetRenderState(D3DRS_ZWRITEENABLE, FALSE);
  b.device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
  b.device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_ONE);
  b.device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_ONE);
  b.device->SetRenderState(D3DRS_POINTSPRITEENABLE, TRUE);
  b.device->SetRenderState(D3DRS_POINTSCALEENABLE, TRUE);
  b.device->SetRenderState(D3DRS_POINTSIZE, d3d8compat::floatAsState(0.25f));
  b.device->SetRenderState(D3DRS_POINTSCALE_A, d3d8compat::floatAsState(0.0f));
  b.device->SetRenderState(D3DRS_POINTSCALE_B, d3d8compat::floatAsState(0.0f));
  b.device->SetRenderState(D3DRS_POINTSCALE_C, d3d8compat::floatAsState(0.5f));
  b.device->SetTexture(0, b.sprite);
  std::vector<ColorVertex> points;
  for (int i = 0; i < 500; ++i) {
    const float a = static_cast<float>(i) * 2.399963f, r = 0.08f * std::sqrt(static_cast<float>(i));
    points.push_back({r * std::cos(a), r * std::sin(a), 2.83f, 0xFF402010});
  }
  b.device->SetVertexShader(0x042);
  // A cleared depth buffer, so every sprite pixel is shaded (not rejected against an earlier benchmark's depth).
  b.device->Clear(0, nullptr, D3DCLEAR_ZBUFFER, 0, 1.0f, 0);
  for (auto _ : state) b.device->DrawPrimitiveUP(D3DPT_POINTLIST, 500, points.data(), sizeof(ColorVertex));
  state.SetItemsProcessed(state.iterations() * 500);
}
BENCHMARK(BM_AdditiveSprites)->Arg(1)->Arg(2)->UseRealTime()->Unit(benchmark::kMillisecond);

}  // namespace
