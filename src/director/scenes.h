// The seven scenes: four flat ones built from the warp-grid backdrop, captions, a screen rectangle and
// the feedback blur, and three solid ones (the pulsing box, the tunnel flight, the sprite helix). Each
// draws between beginFrame and the flash overlay and never ends the frame. Render states carry over
// between frames and scenes: each scene sets what it relies on, nothing resets them.
#pragma once

#include "director/timeline.h"
#include "engine3d/camera.h"
#include "engine3d/mesh.h"
#include "engine3d/sprite_batch.h"
#include "text/warp_grid.h"

// The director's objects, built at start-up and shared by the scenes.
struct SceneObjects {
  Camera* camera = nullptr;
  WarpGrid* warpGrid = nullptr;
  SpriteBatch* sprites = nullptr;
  Mesh* boxMesh = nullptr;
  Mesh* tunnelMesh = nullptr;
};

extern SceneObjects g_scene;

// All four banner lines draw this: "ZAQ" 24 times.
extern const char bannerText[];

void drawScrollerScene(const FrameSync& sync, SceneObjects& objects);
void drawZoomScene(const FrameSync& sync, SceneObjects& objects, DirectorState& state);
void drawBannersScene(const FrameSync& sync, SceneObjects& objects, const DirectorState& state);
void drawEndingScene(const FrameSync& sync, SceneObjects& objects);
void drawBoxScene(const FrameSync& sync, SceneObjects& objects);
void drawTunnelScene(const FrameSync& sync, SceneObjects& objects);
void drawHelixScene(const FrameSync& sync, SceneObjects& objects);

// The seconds since the current zoom run started; a run starts on the first zoom frame, after more than
// ten seconds away, and every ten seconds while the zoom lasts.
float zoomTime(DirectorState& state, float t);
// Where the banner lines stand: lines 1 and 3 at `a`, lines 2 and 4 at `b`; they cross at barWave 0.5.
struct BannerColumns {
  float a;
  float b;
};
BannerColumns bannerColumns(float barWave);

// The helix's 500 sprites at time t, added to `sprites` (not flushed).
void fillHelix(SpriteBatch& sprites, float t);

// The ending's picture strength at `beats`: 1 at beat 360, gone 6.9 beats later.
float endingFade(float beats);
// The ending caption's alpha: the integer part of the fade's fourth root times 255.
uint32_t endingCaptionAlpha(float fade);

// Dispatches on the scene id with the director's objects and state; SCENE_BLANK draws nothing.
void drawScene(SceneId scene, const FrameSync& sync);
