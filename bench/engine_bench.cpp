// Speed of the engine's per-frame work on the presentation's device: the tunnel's shaping, normals and
// uploads (40 x 40); the box's restore, pulse and upload (10 subdivisions); the feedback blur of six
// passes after a scene drew into the 256 x 256 target, beside the same draws issued plainly on the
// device; the helix's 500 sprites into the target; the tunnel's 410 dust sprites at the back buffer.
// Argument (where given): raster threads, 1 = every pixel on the calling thread. Times are wall-clock.
#include <benchmark/benchmark.h>

#include <array>
#include <chrono>
#include <utility>
#include <vector>

#include "archive/archive.h"
#include "archive/embedded_archive.h"
#include "compat/d3d8/band_workers.h"
#include "compat/win32/headless.h"
#include "director/scenes.h"
#include "engine3d/camera.h"
#include "engine3d/feedback.h"
#include "engine3d/mesh.h"
#include "engine3d/presets.h"
#include "engine3d/sprite_batch.h"
#include "platform/graphics.h"
#include "texgen/generator.h"
#include "texgen/texture_table.h"
#include "text/overlay.h"

namespace {

// The device, targets, textures and meshes as start-up makes them.
struct Engine {
  Engine() {
    win32compat::setHeadless(true);
    initGraphics("ZAQ", 640, 480, 0, 32);
    buildCosineTable();
    loadArchive(g_archiveBlob, g_archiveBlobSize);
    createRenderTargets();
    buildTextureTable();
    box.buildBox(10);
    tube.buildTube(40, 40);
    setMaterialAmbient(0x00080808);
    setRenderState(D3DRS_NORMALIZENORMALS, TRUE);
    g_device->BeginScene();
  }
  static IDirect3DTexture8* texture(const char* key) { return findTexture(makeFourCC(key[0], key[1], key[2], key[3])); }

  Mesh box, tube;
  SpriteBatch sprites;
  Camera camera;
};

Engine& engine() {
  static Engine instance;
  return instance;
}

// Argument: the presentation time in seconds (the tunnel scene runs about 50 s in, where the dust's
// hashed angles are largest).
void BM_TunnelMeshFrame(benchmark::State& state) {
  Engine& e = engine();
  float t = static_cast<float>(state.range(0));
  for (auto _ : state) {
    e.tube.shapeTunnel(t, e.camera.eye, e.camera.direction, 40, 40, 1.0f, e.sprites);
    e.tube.computeNormals();
    e.tube.uploadVertices();
    e.tube.uploadIndices();
    e.sprites.clear();
    t += 0.016f;
  }
}
BENCHMARK(BM_TunnelMeshFrame)->Arg(3)->Arg(50)->Unit(benchmark::kMicrosecond);

void BM_BoxMeshFrame(benchmark::State& state) {
  Engine& e = engine();
  float t = 3.0f;
  for (auto _ : state) {
    e.box.restoreVertices();
    e.box.pulsate(t);
    e.box.uploadVertices();
    t += 0.016f;
  }
}
BENCHMARK(BM_BoxMeshFrame)->Unit(benchmark::kMicrosecond);

// The picture of the zoom scene in target 0, drawn once; the passes only re-read the targets.
void drawSceneIntoTarget() {
  beginFeedbackFrame();
  setDefaultTextureStages();
  begin2D();
  g_device->SetTexture(0, Engine::texture("AUMT"));
  drawScreenQuad(0.3f, 0.3f, 0.7f, 0.7f, 0xFFFFFFFF);
  restoreRenderTarget();
}

void BM_FeedbackBlur(benchmark::State& state) {
  engine();
  d3d8compat::setRasterThreads(static_cast<int>(state.range(0)));
  drawSceneIntoTarget();
  for (auto _ : state) applyFeedbackBlur(6, 1, 0.4f, 0.5f, 0.5f, 0.3f);
}
BENCHMARK(BM_FeedbackBlur)->Arg(1)->Arg(2)->UseRealTime()->Unit(benchmark::kMillisecond);

// The same six 256 x 256 two-stage passes and full-screen additive quad as bare device calls, with the
// vertices made once.
class PlainBlur {
 public:
  PlainBlur() {
    for (int k = 0; k < 2; ++k) {
      targets_[k] = feedbackTarget(k);
      targets_[k]->GetSurfaceLevel(0, &surfaces_[k]);
    }
    g_device->GetRenderTarget(&back_);
    g_device->GetDepthStencilSurface(&depth_);
  }
  ~PlainBlur() {
    for (IDirect3DSurface8* s : {surfaces_[0], surfaces_[1], back_, depth_}) s->Release();
  }

  void run() {
    g_device->SetRenderState(D3DRS_ZENABLE, FALSE);
    g_device->SetRenderState(D3DRS_LIGHTING, FALSE);
    g_device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    g_device->SetRenderState(D3DRS_TEXTUREFACTOR, 0x80808080);
    g_device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_ONE);
    g_device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_ONE);
    g_device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
    g_device->SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_DIFFUSE);
    g_device->SetTextureStageState(1, D3DTSS_COLORARG1, D3DTA_TEXTURE);
    g_device->SetTextureStageState(1, D3DTSS_COLORARG2, D3DTA_CURRENT);
    for (DWORD s = 0; s < 2; ++s) {
      g_device->SetTextureStageState(s, D3DTSS_ADDRESSU, D3DTADDRESS_CLAMP);
      g_device->SetTextureStageState(s, D3DTSS_ADDRESSV, D3DTADDRESS_CLAMP);
    }
    g_device->SetVertexShader(SCREEN_FVF);
    int destination = 1, source = 0;
    for (int i = 0; i < 6; ++i) {
      g_device->SetTextureStageState(1, D3DTSS_COLOROP, i == 5 ? D3DTOP_ADD : D3DTOP_BLENDFACTORALPHA);
      g_device->SetRenderTarget(surfaces_[destination], depth_);
      g_device->SetTexture(0, targets_[source]);
      g_device->SetTexture(1, targets_[source]);
      g_device->DrawPrimitiveUP(D3DPT_TRIANGLEFAN, 2, pass_.data(), sizeof(ScreenVertex));
      std::swap(destination, source);
    }
    g_device->SetRenderTarget(back_, depth_);
    g_device->SetTexture(0, targets_[source]);
    g_device->SetTexture(1, targets_[source]);
    g_device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
    g_device->DrawPrimitiveUP(D3DPT_TRIANGLEFAN, 2, screen_.data(), sizeof(ScreenVertex));
    g_device->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
    g_device->SetTexture(0, nullptr);
    g_device->SetTexture(1, nullptr);
    g_device->SetTextureStageState(1, D3DTSS_COLOROP, D3DTOP_DISABLE);
  }

 private:
  static std::array<ScreenVertex, 4> quad(float w, float h, float inset) {
    return {{{0, 0, 0, 1, 0xFFFFFFFF, 0, 0, inset, inset},
             {w, 0, 0, 1, 0xFFFFFFFF, 1, 0, 1 - inset, inset},
             {w, h, 0, 1, 0xFFFFFFFF, 1, 1, 1 - inset, 1 - inset},
             {0, h, 0, 1, 0xFFFFFFFF, 0, 1, inset, 1 - inset}}};
  }

  IDirect3DTexture8* targets_[2];
  IDirect3DSurface8* surfaces_[2];
  IDirect3DSurface8* back_ = nullptr;
  IDirect3DSurface8* depth_ = nullptr;
  const std::array<ScreenVertex, 4> pass_ = quad(256, 256, 0.1f);
  const std::array<ScreenVertex, 4> screen_ = quad(640, 480, 0.01f);
};

void BM_FeedbackBlurPlainDraws(benchmark::State& state) {
  engine();
  d3d8compat::setRasterThreads(static_cast<int>(state.range(0)));
  drawSceneIntoTarget();
  PlainBlur plain;
  for (auto _ : state) plain.run();
}
BENCHMARK(BM_FeedbackBlurPlainDraws)->Arg(1)->Arg(2)->UseRealTime()->Unit(benchmark::kMillisecond);

// Both in turn, every iteration, so that a busy machine slows both alike: counter "ratio" is the
// blur's total time over the plain draws'.
void BM_FeedbackBlurAgainstPlain(benchmark::State& state) {
  engine();
  d3d8compat::setRasterThreads(static_cast<int>(state.range(0)));
  drawSceneIntoTarget();
  PlainBlur plain;
  using Clock = std::chrono::steady_clock;
  Clock::duration blurTime{}, plainTime{};
  for (auto _ : state) {
    const Clock::time_point t0 = Clock::now();
    applyFeedbackBlur(6, 1, 0.4f, 0.5f, 0.5f, 0.3f);
    const Clock::time_point t1 = Clock::now();
    plain.run();
    plainTime += Clock::now() - t1;
    blurTime += t1 - t0;
  }
  const double iterations = static_cast<double>(state.iterations());
  state.counters["blur_ms"] = std::chrono::duration<double, std::milli>(blurTime).count() / iterations;
  state.counters["plain_ms"] = std::chrono::duration<double, std::milli>(plainTime).count() / iterations;
  state.counters["ratio"] = static_cast<double>(blurTime.count()) / static_cast<double>(plainTime.count());
}
BENCHMARK(BM_FeedbackBlurAgainstPlain)->Arg(1)->Arg(2)->UseRealTime()->Unit(benchmark::kMillisecond);

// The helix scene's 500 additive sprites into the 256 x 256 target.
void BM_HelixSprites(benchmark::State& state) {
  Engine& e = engine();
  d3d8compat::setRasterThreads(static_cast<int>(state.range(0)));
  beginFeedbackFrame();
  setDefaultTextureStages();
  e.camera.eye = {0.0f, 0.0f, -2.5f};
  e.camera.target = {0.0f, 0.0f, 0.0f};
  e.camera.apply();
  g_device->SetTexture(0, Engine::texture("FLAR"));
  setRenderState(D3DRS_LIGHTING, FALSE);
  setRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
  setAdditiveBlend();
  Matrix4 identity;
  identity.setUniformScale(1.0f);
  setWorldMatrix(identity);
  float t = 1.7f;
  for (auto _ : state) {
    fillHelix(e.sprites, t);
    e.sprites.flush();
  }
  setRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
  restoreRenderTarget();
}
BENCHMARK(BM_HelixSprites)->Arg(1)->Arg(2)->UseRealTime()->Unit(benchmark::kMillisecond);

// The tunnel's 410 dust sprites at the back buffer, seen from the tunnel's own eye.
void BM_TunnelDustSprites(benchmark::State& state) {
  Engine& e = engine();
  d3d8compat::setRasterThreads(static_cast<int>(state.range(0)));
  e.sprites.clear();
  e.tube.shapeTunnel(0.6f, e.camera.eye, e.camera.direction, 40, 40, 1.0f, e.sprites);
  std::vector<SpriteVertex> dust;
  for (int i = 0; i < e.sprites.count(); ++i) dust.push_back(e.sprites.item(i));
  e.sprites.clear();
  e.camera.target = e.camera.eye + e.camera.direction;
  e.camera.apply();
  Matrix4 identity;
  identity.setUniformScale(1.0f);
  setWorldMatrix(identity);
  setRenderState(D3DRS_LIGHTING, FALSE);
  g_device->SetTexture(0, Engine::texture("FLAR"));
  setRenderState(D3DRS_ZENABLE, FALSE);
  setRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
  setAdditiveBlend();
  for (auto _ : state) {
    for (const SpriteVertex& d : dust) e.sprites.add(Vec3{d.x, d.y, d.z}, d.color);
    e.sprites.flush();
  }
  setRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
  setRenderState(D3DRS_ZENABLE, TRUE);
}
BENCHMARK(BM_TunnelDustSprites)->Arg(1)->Arg(2)->UseRealTime()->Unit(benchmark::kMillisecond);

}  // namespace
