#include "director/demo.h"

#include <cstdio>

#include "archive/archive.h"
#include "archive/embedded_archive.h"
#include "director/timeline.h"
#include "music/engine.h"
#include "music/stream.h"
#include "platform/graphics.h"
#include "platform/window.h"
#include "texgen/generator.h"
#include "texgen/texture_table.h"

float g_time = 0.0f;

namespace {

// Start-up steps that belong to subsystems still to come are marked "pending" and do nothing yet:
// the font and opening card, the render targets, the meshes, the camera, the warp grid and the sprite
// batch.
void startUp() {
  pumpOneMessage();
  beginFrame(0);
  // pending: Font::build() and the opening card "ZAQ regretfully presents brannik in".
  endFrame();
  pumpOneMessage();
  buildCosineTable();
  loadArchive(g_archiveBlob, g_archiveBlobSize);
  music_build();
  // pending: createRenderTargets().
  buildTextureTable();
  // pending: boxMesh.buildBox(10), tunnelMesh.buildTube(40, 40).
  setMaterialAmbient(0x00080808);
  setRenderState(D3DRS_NORMALIZENORMALS, TRUE);
  // pending: camera, warpGrid, sprites.
  resetTimeline();
}

void shutDown() {
  music_close();
  releaseTextureTable();
  shutdownGraphics();
  // pending: warpGrid.release(), tunnelMesh.release(), boxMesh.release().
}

}  // namespace

float smoothTime(float audioSeconds, float previous) { return (audioSeconds + 3.0f * previous) * 0.25f; }

int demoMain() {
  if (initGraphics("ZAQ", 640, 480, 0, 32) == 0) return -1;
  startUp();
  if (!music_open(mainWindowHandle())) {
    // Without the stream there is no clock to run the presentation on.
    std::fprintf(stderr, "brannik: the audio stream could not be opened\n");
    shutDown();
    return DEMO_NO_AUDIO_CLOCK;
  }

  for (;;) {
    music_wake();
    if (pumpOneMessage() == PUMP_QUIT) break;
    g_time = smoothTime(music_seconds(), g_time);
    if (g_time < 0.0f) continue;  // the first second of the stream is silence
    beginFrame(0);
    // The song is over: the frame begun here is neither drawn nor presented.
    if (!runTimelineFrame()) break;
  }

  shutDown();
  return 0;
}
