// Speed of the software Direct3D 8 pipeline on the shapes the presentation draws: a full-screen
// bilinear textured quad, the same trilinear and alpha-blended, a 256 x 256 two-stage pass into a render
// target texture, a 1 640-vertex lit textured tube filling the screen, and 500 additive point sprites of
// about 60 pixels, each through the device as the program calls it. Argument: how many threads share the
// rows (1 is the one-core figure). Times are wall-clock.
//
// Beside them, a speed-of-light reference: a plain loop outside the device doing the least a full-screen
// bilinear pass must do (affine coordinates, 8-bit bilinear weights, modulate, store), once with SSE2
// and once with AVX2. The bilinear quad reports its time as a ratio to both, measured in the same run,
// since a shared machine's speed varies by a quarter from minute to minute while the ratio does not.
#include <benchmark/benchmark.h>
#include <immintrin.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
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
      device->SetTextureStageState(s, D3DTSS_ALPHAARG1, D3DTA_TEXTURE);
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

// ---- Speed-of-light reference ----------------------------------------------------------------------

// A 256 x 256 texture with one wrapped column and row more, so the four texels of any footprint lie at
// index, index + 1, index + kPitch and index + kPitch + 1 without masking.
constexpr int kRefSize = 256, kRefPitch = kRefSize + 1;

struct ReferencePass {
  std::vector<uint32_t> texels = std::vector<uint32_t>(kRefPitch * kRefPitch);
  std::vector<uint32_t> target = std::vector<uint32_t>(640 * 480);
  ReferencePass() {
    for (int y = 0; y < kRefPitch; ++y) {
      for (int x = 0; x < kRefPitch; ++x) {
        const uint32_t tx = x % kRefSize, ty = y % kRefSize;
        texels[y * kRefPitch + x] = D3DCOLOR_ARGB(200, (tx * 3) & 0xFF, (ty * 5) & 0xFF, (tx ^ ty) & 0xFF);
      }
    }
  }
};

ReferencePass& referencePass() {
  static ReferencePass instance;
  return instance;
}

// The 640 x 480 pass, u = x * 256 / 640 - 0.5, v = y * 256 / 480 - 0.5 in 16.16, every channel times
// 0xF0 (the diffuse colour), four pixels per step.
void referenceSse2(ReferencePass& pass) {
  // a * (256 - w) + b * w, >> 8, on 16-bit lanes holding 8-bit values (the sum fits 16 bits unsigned).
  auto lerp = [](__m128i a, __m128i b, __m128i w, __m128i w256) __attribute__((always_inline)) {
    return _mm_srli_epi16(_mm_add_epi16(_mm_mullo_epi16(a, _mm_sub_epi16(w256, w)), _mm_mullo_epi16(b, w)), 8);
  };
  const int32_t du = (kRefSize << 16) / 640, dv = (kRefSize << 16) / 480;
  const __m128i zero = _mm_setzero_si128(), w256 = _mm_set1_epi16(256), modulate = _mm_set1_epi16(0xF0 + 1);
  const __m128i stepU = _mm_set1_epi32(4 * du), lowByte = _mm_set1_epi32(0xFF);
  const uint32_t* tex = pass.texels.data();
  for (int y = 0; y < 480; ++y) {
    const int32_t v = y * dv + dv / 2 - (1 << 15) + (kRefSize << 16);
    const uint32_t* row = tex + ((v >> 16) & (kRefSize - 1)) * kRefPitch;
    const __m128i fv = _mm_set1_epi16(static_cast<short>((v >> 8) & 0xFF));
    __m128i u = _mm_add_epi32(_mm_set1_epi32(du / 2 - (1 << 15) + (kRefSize << 16)), _mm_setr_epi32(0, du, 2 * du, 3 * du));
    uint32_t* out = pass.target.data() + y * 640;
    for (int x = 0; x < 640; x += 4) {
      alignas(16) int32_t column[4];
      _mm_store_si128(reinterpret_cast<__m128i*>(column), _mm_and_si128(_mm_srli_epi32(u, 16), _mm_set1_epi32(kRefSize - 1)));
      __m128i t00, t01, t10, t11;
      {
        const uint32_t* p0 = row + column[0];
        const uint32_t* p1 = row + column[1];
        const uint32_t* p2 = row + column[2];
        const uint32_t* p3 = row + column[3];
        t00 = _mm_setr_epi32(p0[0], p1[0], p2[0], p3[0]);
        t01 = _mm_setr_epi32(p0[1], p1[1], p2[1], p3[1]);
        t10 = _mm_setr_epi32(p0[kRefPitch], p1[kRefPitch], p2[kRefPitch], p3[kRefPitch]);
        t11 = _mm_setr_epi32(p0[kRefPitch + 1], p1[kRefPitch + 1], p2[kRefPitch + 1], p3[kRefPitch + 1]);
      }
      const __m128i fu32 = _mm_and_si128(_mm_srli_epi32(u, 8), lowByte);
      const __m128i fu16 = _mm_or_si128(fu32, _mm_slli_epi32(fu32, 16));
      const __m128i fuLo = _mm_unpacklo_epi32(fu16, fu16), fuHi = _mm_unpackhi_epi32(fu16, fu16);
      auto half = [&](__m128i a, __m128i b, __m128i c, __m128i d, __m128i fu) {
        const __m128i top = lerp(a, b, fu, w256), bottom = lerp(c, d, fu, w256);
        return _mm_srli_epi16(_mm_mullo_epi16(lerp(top, bottom, fv, w256), modulate), 8);
      };
      const __m128i lo = half(_mm_unpacklo_epi8(t00, zero), _mm_unpacklo_epi8(t01, zero), _mm_unpacklo_epi8(t10, zero),
                              _mm_unpacklo_epi8(t11, zero), fuLo);
      const __m128i hi = half(_mm_unpackhi_epi8(t00, zero), _mm_unpackhi_epi8(t01, zero), _mm_unpackhi_epi8(t10, zero),
                              _mm_unpackhi_epi8(t11, zero), fuHi);
      _mm_storeu_si128(reinterpret_cast<__m128i*>(out + x), _mm_packus_epi16(lo, hi));
      u = _mm_add_epi32(u, stepU);
    }
  }
}

#define AVX2_INLINE inline __attribute__((target("avx2"), always_inline))
AVX2_INLINE __m256i lerpAvx2(__m256i a, __m256i b, __m256i w) {
  const __m256i w256 = _mm256_set1_epi16(256);
  return _mm256_srli_epi16(_mm256_add_epi16(_mm256_mullo_epi16(a, _mm256_sub_epi16(w256, w)), _mm256_mullo_epi16(b, w)), 8);
}

// Bilinear and modulate of two pixels per 128-bit half: texels widened to 16 bits, fu per pixel.
AVX2_INLINE __m256i bilinearAvx2(__m256i a, __m256i b, __m256i c, __m256i d, __m256i fu, __m256i fv, __m256i modulate) {
  return _mm256_srli_epi16(_mm256_mullo_epi16(lerpAvx2(lerpAvx2(a, b, fu), lerpAvx2(c, d, fu), fv), modulate), 8);
}
#undef AVX2_INLINE

// The same pass eight pixels per step.
__attribute__((target("avx2"))) void referenceAvx2(ReferencePass& pass) {
  const int32_t du = (kRefSize << 16) / 640, dv = (kRefSize << 16) / 480;
  const __m256i zero = _mm256_setzero_si256(), modulate = _mm256_set1_epi16(0xF0 + 1);
  const __m256i stepU = _mm256_set1_epi32(8 * du), lowByte = _mm256_set1_epi32(0xFF);
  const __m256i mask = _mm256_set1_epi32(kRefSize - 1);
  const int* tex = reinterpret_cast<const int*>(pass.texels.data());
  for (int y = 0; y < 480; ++y) {
    const int32_t v = y * dv + dv / 2 - (1 << 15) + (kRefSize << 16);
    const int* row = tex + ((v >> 16) & (kRefSize - 1)) * kRefPitch;
    const __m256i fv = _mm256_set1_epi16(static_cast<short>((v >> 8) & 0xFF));
    __m256i u = _mm256_add_epi32(_mm256_set1_epi32(du / 2 - (1 << 15) + (kRefSize << 16)),
                                 _mm256_setr_epi32(0, du, 2 * du, 3 * du, 4 * du, 5 * du, 6 * du, 7 * du));
    uint32_t* out = pass.target.data() + y * 640;
    for (int x = 0; x < 640; x += 8) {
      alignas(32) int32_t column[8];
      _mm256_store_si256(reinterpret_cast<__m256i*>(column), _mm256_and_si256(_mm256_srli_epi32(u, 16), mask));
      // Scalar loads: on processors with the gather-sampling microcode fix, vpgatherdd is slower than this.
      const int* p[8];
      for (int k = 0; k < 8; ++k) p[k] = row + column[k];
#define FETCH(o) _mm256_setr_epi32(p[0][o], p[1][o], p[2][o], p[3][o], p[4][o], p[5][o], p[6][o], p[7][o])
      const __m256i t00 = FETCH(0), t01 = FETCH(1), t10 = FETCH(kRefPitch), t11 = FETCH(kRefPitch + 1);
#undef FETCH
      const __m256i fu32 = _mm256_and_si256(_mm256_srli_epi32(u, 8), lowByte);
      const __m256i fu16 = _mm256_or_si256(fu32, _mm256_slli_epi32(fu32, 16));
      const __m256i lo = bilinearAvx2(_mm256_unpacklo_epi8(t00, zero), _mm256_unpacklo_epi8(t01, zero),
                                      _mm256_unpacklo_epi8(t10, zero), _mm256_unpacklo_epi8(t11, zero),
                                      _mm256_unpacklo_epi32(fu16, fu16), fv, modulate);
      const __m256i hi = bilinearAvx2(_mm256_unpackhi_epi8(t00, zero), _mm256_unpackhi_epi8(t01, zero),
                                      _mm256_unpackhi_epi8(t10, zero), _mm256_unpackhi_epi8(t11, zero),
                                      _mm256_unpackhi_epi32(fu16, fu16), fv, modulate);
      _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + x), _mm256_packus_epi16(lo, hi));
      u = _mm256_add_epi32(u, stepU);
    }
  }
}

bool haveAvx2() { return __builtin_cpu_supports("avx2"); }

// Mean milliseconds of one reference pass over about 60 ms of repeats (AVX2 falls back to SSE2 without it).
double referenceMilliseconds(bool avx2) {
  ReferencePass& pass = referencePass();
  const bool useAvx2 = avx2 && haveAvx2();
  const auto start = std::chrono::steady_clock::now();
  int runs = 0;
  double elapsed = 0.0;
  do {
    if (useAvx2) referenceAvx2(pass); else referenceSse2(pass);
    benchmark::DoNotOptimize(pass.target.data());
    ++runs;
    elapsed = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
  } while (elapsed < 60.0 || runs < 5);
  return elapsed / runs;
}

// Argument 0: SSE2, 1: AVX2.
void BM_ReferenceBilinearLoop(benchmark::State& state) {
  ReferencePass& pass = referencePass();
  const bool avx2 = state.range(0) == 1;
  if (avx2 && !haveAvx2()) {
    state.SkipWithError("no AVX2 on this processor");
    return;
  }
  for (auto _ : state) {
    if (avx2) referenceAvx2(pass); else referenceSse2(pass);
    benchmark::DoNotOptimize(pass.target.data());
  }
  state.SetItemsProcessed(state.iterations() * 640 * 480);
}
BENCHMARK(BM_ReferenceBilinearLoop)->Arg(0)->Arg(1)->UseRealTime()->Unit(benchmark::kMillisecond);

// The pipeline's time per iteration as a ratio to each reference loop timed right after it.
void reportRatios(benchmark::State& state, double pipelineSeconds) {
  if (state.iterations() == 0) return;
  const double pipeline = 1000.0 * pipelineSeconds / static_cast<double>(state.iterations());
  state.counters["x_sse2_ref"] = pipeline / referenceMilliseconds(false);
  state.counters["x_avx2_ref"] = pipeline / referenceMilliseconds(true);
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
  d3d8compat::setRasterThreads(static_cast<int>(state.range(0)));
  b.device->SetTexture(0, b.texture);
  const auto start = std::chrono::steady_clock::now();
  for (auto _ : state) drawScreenQuad(b.device, 640, 480, 1.0f);
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  state.SetItemsProcessed(state.iterations() * 640 * 480);
  if (state.range(0) == 1) reportRatios(state, seconds);
}
BENCHMARK(BM_FullScreenQuadBilinear)->Arg(1)->Arg(2)->UseRealTime()->Unit(benchmark::kMillisecond);

// The same quad minified (texture repeated 4 times: about 1.6 texels per pixel), trilinear, blended.
void BM_FullScreenQuadTrilinearBlend(benchmark::State& state) {
  Bench& b = bench();
  b.reset();
  d3d8compat::setRasterThreads(static_cast<int>(state.range(0)));
  b.device->SetTexture(0, b.texture);
  b.device->SetTextureStageState(0, D3DTSS_MIPFILTER, D3DTEXF_LINEAR);
  b.device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
  b.device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
  b.device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
  for (auto _ : state) drawScreenQuad(b.device, 640, 480, 4.0f);
  state.SetItemsProcessed(state.iterations() * 640 * 480);
}
BENCHMARK(BM_FullScreenQuadTrilinearBlend)->Arg(1)->Arg(2)->UseRealTime()->Unit(benchmark::kMillisecond);

// The feedback blur's shape: a 256 x 256 render target, stage 0 SELECTARG1(TEXTURE) (alpha: DIFFUSE) on set 0, stage 1
// BLENDFACTORALPHA(TEXTURE, CURRENT) on set 1, bilinear on both.
void BM_TwoStagePass256(benchmark::State& state) {
  Bench& b = bench();
  b.reset();
  d3d8compat::setRasterThreads(static_cast<int>(state.range(0)));
  IDirect3DSurface8 *surface = nullptr, *back = nullptr, *depth = nullptr;
  b.target->GetSurfaceLevel(0, &surface);
  b.device->GetRenderTarget(&back);
  b.device->GetDepthStencilSurface(&depth);
  b.device->SetRenderTarget(surface, depth);
  b.device->SetTexture(0, b.texture);
  b.device->SetTexture(1, b.texture);
  b.device->SetRenderState(D3DRS_TEXTUREFACTOR, 0x80808080);
  b.device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
  b.device->SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_DIFFUSE);
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
  d3d8compat::setRasterThreads(static_cast<int>(state.range(0)));
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
  d3d8compat::setRasterThreads(static_cast<int>(state.range(0)));
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
