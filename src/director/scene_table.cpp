// The fixed table of song orders and scenes, the accent table and the bar wave: plain functions of the
// song position, kept apart from the drawing so the asset tool can name each order's scene.
#include "director/timeline.h"

const uint8_t beatTable[16] = {1, 0, 0, 0, 2, 1, 0, 1, 0, 0, 1, 0, 2, 0, 1, 0};

SceneId sceneForOrder(int32_t order) {
  if (order < 0) return SCENE_BLANK;
  if (order <= 7) return SCENE_SCROLLER;
  if (order <= 15) return SCENE_BOX;
  if (order <= 23) return SCENE_ZOOM;
  if (order == 24) return SCENE_TUNNEL;
  if (order <= 40) return SCENE_BANNERS;
  if (order <= 48) return SCENE_HELIX;
  if (order <= 57) return SCENE_ZOOM;
  if (order <= 73) return SCENE_BANNERS;
  if (order <= 89) return SCENE_BOX;
  if (order <= 91) return SCENE_ENDING;
  return SCENE_END;
}

int32_t sceneStartOrder(int32_t order) {
  const SceneId scene = sceneForOrder(order);
  while (order > 0 && sceneForOrder(order - 1) == scene) --order;
  return order;
}

int32_t nextSceneOrder(int32_t order) {
  const SceneId scene = sceneForOrder(order);
  while (order < kEndOrder && sceneForOrder(order) == scene) ++order;
  return order;
}

float barWaveOf(float beats) {
  float v = beats * 0.25f;
  while (v > 2.0f) v -= 2.0f;
  if (v > 1.0f) v = 2.0f - v;
  return v;
}
