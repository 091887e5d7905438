// Speed of the text subsystem on the presentation's own device (headless initGraphics, 640 x 480): the
// atlas build, the opening card, the four outlined banner lines in a 256 x 256 render target, the warp
// grid's per-frame update, and the update plus a full-screen draw over ERMO with the scroller's states,
// beside a full-screen bilinear quad of the same texture and states for the ratio (and two variants that
// show where the grid's extra time goes). Draw benchmarks take argument 1 (every pixel on the calling
// thread) or 2 (rows split over two threads). Wall-clock times.
#include <benchmark/benchmark.h>

#include <chrono>

#include "archive/archive.h"
#include "archive/embedded_archive.h"
#include "archive/fourcc.h"
#include "compat/d3d8/band_workers.h"
#include "compat/win32/headless.h"
#include "engine3d/presets.h"
#include "platform/graphics.h"
#include "texgen/generator.h"
#include "texgen/texture_table.h"
#include "text/font.h"
#include "text/overlay.h"
#include "text/text.h"
#include "text/warp_grid.h"

namespace {

// The device, the atlas, the texture table and a 256 x 256 render target, made once.
struct Setup {
  Setup() {
    win32compat::setHeadless(true);
    initGraphics("ZAQ", 640, 480, 0, 32);
    const auto start = std::chrono::steady_clock::now();
    g_font.build();
    firstBuildMs = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    buildCosineTable();
    loadArchive(g_archiveBlob, g_archiveBlobSize);
    buildTextureTable();
    ermo = findTexture(makeFourCC('E', 'R', 'M', 'O'));
    g_device->CreateTexture(256, 256, 1, D3DUSAGE_RENDERTARGET, g_renderTargetFormat, D3DPOOL_DEFAULT, &target);
    grid = new WarpGrid();
  }
  double firstBuildMs = 0.0;  // the process's first build, with fontconfig's start-up
  IDirect3DTexture8* ermo = nullptr;
  IDirect3DTexture8* target = nullptr;
  WarpGrid* grid = nullptr;  // lives as long as the process
};

Setup& setup() {
  static Setup instance;
  return instance;
}

// The scroller's backdrop states: its presets (stage 0 modulates ERMO by the vertex colour, alpha from
// the texture; no lighting, depth or culling) over the device's filters (bilinear, linear mip) and alpha
// test as initGraphics sets them; no blending.
void scrollerStates() {
  setDefaultTextureStages();
  begin2D();
  setRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
  g_device->SetTexture(0, setup().ermo);
}

void BM_FontBuild(benchmark::State& state) {
  state.counters["first_build_ms"] = setup().firstBuildMs;
  for (auto _ : state) {
    g_font.build();
    state.PauseTiming();
    g_font.release();
    state.ResumeTiming();
  }
  g_font.build();
}
BENCHMARK(BM_FontBuild)->UseRealTime()->Unit(benchmark::kMillisecond);

void BM_OpeningCard(benchmark::State& state) {
  setup();
  d3d8compat::setRasterThreads(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    drawTextCard("ZAQ regretfully presents brannik in", 0.5f, 0.8f, 1.0f, 0xFFFFFFFF, true, true);
  }
}
BENCHMARK(BM_OpeningCard)->Arg(1)->Arg(2)->UseRealTime()->Unit(benchmark::kMillisecond);

// 5 x 4 strings of 72 glyphs, two batches each, most of every quad outside the 256 x 256 target.
void BM_BannerLinesOutlined256(benchmark::State& state) {
  Setup& s = setup();
  d3d8compat::setRasterThreads(static_cast<int>(state.range(0)));
  IDirect3DSurface8 *surface = nullptr, *back = nullptr, *depth = nullptr;
  s.target->GetSurfaceLevel(0, &surface);
  g_device->GetRenderTarget(&back);
  g_device->GetDepthStencilSurface(&depth);
  g_device->SetRenderTarget(surface, depth);
  g_renderingToTexture = true;
  const char* banner = "ZAQZAQZAQZAQZAQZAQZAQZAQZAQZAQZAQZAQZAQZAQZAQZAQZAQZAQZAQZAQZAQZAQZAQZAQ";
  const float rows[4] = {0.2f, 0.4f, 0.6f, 0.8f};
  const uint32_t colors[4] = {0xFFFF2020, 0xFF20FF20, 0xFF2020FF, 0xFFFF20FF};
  for (auto _ : state) {
    for (int line = 0; line < 4; ++line) drawTextCard(banner, 0.5f, rows[line], 3.0f, colors[line], true, true);
  }
  g_renderingToTexture = false;
  g_device->SetRenderTarget(back, depth);
  surface->Release();
  back->Release();
  depth->Release();
}
BENCHMARK(BM_BannerLinesOutlined256)->Arg(1)->Arg(2)->UseRealTime()->Unit(benchmark::kMillisecond);

void BM_WarpGridAnimate(benchmark::State& state) {
  Setup& s = setup();
  float t = 0.0f;
  for (auto _ : state) {
    s.grid->animate(t, 0x00FF00FF);
    t += 1.0f / 60.0f;
  }
}
BENCHMARK(BM_WarpGridAnimate)->UseRealTime()->Unit(benchmark::kMicrosecond);

void BM_WarpGridAnimateDraw(benchmark::State& state) {
  Setup& s = setup();
  d3d8compat::setRasterThreads(static_cast<int>(state.range(0)));
  scrollerStates();
  float t = 0.0f;
  for (auto _ : state) {
    s.grid->animate(t, 0x00FF00FF);
    s.grid->draw();
    t += 1.0f / 60.0f;
  }
  state.SetItemsProcessed(state.iterations() * 640 * 480);
}
BENCHMARK(BM_WarpGridAnimateDraw)->Arg(1)->Arg(2)->UseRealTime()->Unit(benchmark::kMillisecond);

// The same texture and states over one full-screen quad: texture coordinates 0..1, magnified, bilinear.
void BM_FullScreenQuadBilinear(benchmark::State& state) {
  setup();
  d3d8compat::setRasterThreads(static_cast<int>(state.range(0)));
  scrollerStates();
  for (auto _ : state) drawScreenQuad(0.0f, 0.0f, 1.0f, 1.0f, 0x00FF00FF);
  state.SetItemsProcessed(state.iterations() * 640 * 480);
}
BENCHMARK(BM_FullScreenQuadBilinear)->Arg(1)->Arg(2)->UseRealTime()->Unit(benchmark::kMillisecond);

// Where the grid's time goes, for the ratio above. The grid drawn without the linear mip filter: the
// warp squeezes the texture in places (several texels per pixel), so with the device's mip filter those
// pixels blend two levels, which the magnified quad never does.
void BM_WarpGridDrawNoMipFilter(benchmark::State& state) {
  Setup& s = setup();
  d3d8compat::setRasterThreads(static_cast<int>(state.range(0)));
  scrollerStates();
  setTextureStageState(0, D3DTSS_MIPFILTER, D3DTEXF_NONE);
  s.grid->animate(0.0f, 0x00FF00FF);
  for (auto _ : state) s.grid->draw();
  setTextureStageState(0, D3DTSS_MIPFILTER, D3DTEXF_LINEAR);
  state.SetItemsProcessed(state.iterations() * 640 * 480);
}
BENCHMARK(BM_WarpGridDrawNoMipFilter)->Arg(1)->Arg(2)->UseRealTime()->Unit(benchmark::kMillisecond);

// The full-screen quad with sheared texture coordinates (v changes along a row, as on the grid), still
// magnified: the quad above takes the rasterizer's constant-v span path, the grid never can.
void BM_FullScreenQuadShearedBilinear(benchmark::State& state) {
  setup();
  d3d8compat::setRasterThreads(static_cast<int>(state.range(0)));
  scrollerStates();
  const OverlayVertex quad[4] = {makeOverlayVertex({0, 0, 0}, 0x00FF00FF, 0.0f, 0.0f),
                                 makeOverlayVertex({640, 0, 0}, 0x00FF00FF, 1.0f, 0.3f),
                                 makeOverlayVertex({640, 480, 0}, 0x00FF00FF, 1.2f, 1.3f),
                                 makeOverlayVertex({0, 480, 0}, 0x00FF00FF, 0.2f, 1.0f)};
  g_device->SetVertexShader(OVERLAY_FVF);
  for (auto _ : state) g_device->DrawPrimitiveUP(D3DPT_TRIANGLEFAN, 2, quad, sizeof(OverlayVertex));
  state.SetItemsProcessed(state.iterations() * 640 * 480);
}
BENCHMARK(BM_FullScreenQuadShearedBilinear)->Arg(1)->Arg(2)->UseRealTime()->Unit(benchmark::kMillisecond);

}  // namespace

