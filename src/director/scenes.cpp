#include "director/scenes.h"

SceneObjects g_scene;

void drawScene(SceneId scene, const FrameSync& sync) {
  switch (scene) {
    case SCENE_SCROLLER: drawScrollerScene(sync, g_scene); break;
    case SCENE_BOX: drawBoxScene(sync, g_scene); break;
    case SCENE_ZOOM: drawZoomScene(sync, g_scene, g_director); break;
    case SCENE_TUNNEL: drawTunnelScene(sync, g_scene); break;
    case SCENE_BANNERS: drawBannersScene(sync, g_scene, g_director); break;
    case SCENE_HELIX: drawHelixScene(sync, g_scene); break;
    case SCENE_ENDING: drawEndingScene(sync, g_scene); break;
    case SCENE_BLANK:
    case SCENE_END: break;
  }
}
