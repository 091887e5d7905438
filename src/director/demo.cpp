#include "director/demo.h"

#include <chrono>
#include <cstdio>
#include <optional>

#include "archive/archive.h"
#include "archive/embedded_archive.h"
#include "director/scenes.h"
#include "director/seek.h"
#include "director/timeline.h"
#include "engine3d/feedback.h"
#include "music/engine.h"
#include "music/stream.h"
#include "platform/graphics.h"
#include "platform/window.h"
#include "text/font.h"
#include "text/text.h"
#include "texgen/generator.h"
#include "texgen/texture_table.h"

float g_time = 0.0f;

namespace {

Mesh g_boxMesh;
Mesh g_tunnelMesh;
std::optional<Camera> g_camera;
std::optional<WarpGrid> g_warpGrid;
std::optional<SpriteBatch> g_sprites;
FrameObserver g_frameObserver = nullptr;

}  // namespace

void startUp() {
  pumpOneMessage();
  beginFrame(0);
  g_font.build();
  drawTextCard("ZAQ regretfully presents brannik in", 0.5f, 0.8f, 1.0f, 0xFFFFFFFF, true, true);
  endFrame();
  pumpOneMessage();  // the card stays on screen through everything that follows
  buildCosineTable();
  loadArchive(g_archiveBlob, g_archiveBlobSize);
  music_build();
  createRenderTargets();
  buildTextureTable();
  g_boxMesh.buildBox(10);
  g_tunnelMesh.buildTube(40, 40);
  setMaterialAmbient(0x00080808);
  setRenderState(D3DRS_NORMALIZENORMALS, TRUE);
  g_camera.emplace();
  g_warpGrid.emplace();
  g_sprites.emplace();
  g_scene = SceneObjects{&*g_camera, &*g_warpGrid, &*g_sprites, &g_boxMesh, &g_tunnelMesh};
  resetTimeline();
}

// The feedback targets and the font atlas are released before the device (they hold its surfaces and
// state blocks); the warp grid's and the meshes' buffers stand alone and go after it.
void shutDown() {
  music_close();
  releaseTextureTable();
  releaseRenderTargets();
  g_font.release();
  shutdownGraphics();
  if (g_warpGrid) g_warpGrid->release();
  g_tunnelMesh.release();
  g_boxMesh.release();
  g_scene = SceneObjects{};
  g_warpGrid.reset();
  g_sprites.reset();
  g_camera.reset();
}

float smoothTime(float audioSeconds, float previous) { return (audioSeconds + 3.0f * previous) * 0.25f; }

void setFrameObserver(FrameObserver observer) { g_frameObserver = observer; }

int demoMain() {
  g_time = 0.0f;
  forgetQuitRequest();
  // 640 x 480 times the render scale (1 unless --scale asked for more pixels).
  if (initGraphics("ZAQ", 640 * renderScale(), 480 * renderScale(), 0, 32) == 0) return -1;
  startUp();
  if (quitRequested()) {
    // Closed while the opening card was up: a start-up pump took the quit.
    shutDown();
    return 0;
  }
  float drawFrom = startPresentationAt(playRange().fromOrder);  // 0 for a whole run
  if (!music_open(mainWindowHandle())) {
    // Without the stream there is no clock to run the presentation on.
    std::fprintf(stderr, "brannik: the audio stream could not be opened\n");
    shutDown();
    return DEMO_NO_AUDIO_CLOCK;
  }

  for (int64_t pass = 0;; ++pass) {
    music_wake();
    if (pumpOneMessage() == PUMP_QUIT || quitRequested()) break;
    if (!followSceneKeys(&drawFrom)) break;
    g_time = smoothTime(music_seconds(), g_time);
    if (g_time < drawFrom) continue;  // the first second of the stream is silence
    const auto began = std::chrono::steady_clock::now();
    beginFrame(0);
    if (!runTimelineFrame()) {
      // The song is over: the frame begun here is closed without being drawn or presented.
      g_device->EndScene();
      break;
    }
    if (g_frameObserver != nullptr) {
      const std::chrono::duration<double, std::milli> took = std::chrono::steady_clock::now() - began;
      g_frameObserver(lastFrameRecord(), pass, took.count());
    }
  }

  shutDown();
  return 0;
}
