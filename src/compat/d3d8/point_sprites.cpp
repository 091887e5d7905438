#include "compat/d3d8/point_sprites.h"

#include <algorithm>

#include "compat/d3d8/d3d8_host.h"

namespace d3d8compat {

PointRules makePointRules(const DeviceState& state, bool transformed) {
  const DWORD* rs = state.renderStates;
  PointRules rules;
  rules.minSize = stateAsFloat(rs[D3DRS_POINTSIZE_MIN]);
  rules.maxSize = std::min(adapterProfile().maxPointSize, stateAsFloat(rs[D3DRS_POINTSIZE_MAX]));
  rules.spriteCoordinates = rs[D3DRS_POINTSPRITEENABLE] != 0;
  rules.transformed = transformed;
  return rules;
}

float clampPointSize(float size, const PointRules& rules) {
  // The maximum is tested first, as the published rule is written: S > Pmax ? Pmax : max(S, Pmin).
  if (!(size <= rules.maxSize)) return rules.maxSize;  // also catches an infinite or NaN size
  return size < rules.minSize ? rules.minSize : size;
}

bool expandPoint(const PipelineVertex& point, const PointRules& rules, const ViewportMap& map,
                 const D3DVIEWPORT8& viewport, ScreenVertex corners[4]) {
  ScreenVertex centre;
  if (rules.transformed) {
    centre.x = point.pos[0], centre.y = point.pos[1], centre.z = point.pos[2], centre.rhw = point.pos[3];
    for (int k = 0; k < 4; ++k) centre.color[k] = point.color[k];
    for (int k = 0; k < 4; ++k) centre.specular[k] = point.specular[k];
    for (int s = 0; s < kPipelineSets; ++s) centre.tex[s][0] = point.tex[s][0], centre.tex[s][1] = point.tex[s][1];
  } else {
    const float z = point.pos[2], w = point.pos[3];
    if (!(w > 0.0f) || z < 0.0f || z > w) return false;
    centre = toScreen(point, map, true);
  }
  const float size = clampPointSize(point.pointSize, rules);
  if (!(size > 0.0f)) return false;
  const float half = size * 0.5f;
  const float left = centre.x - half, right = centre.x + half, top = centre.y - half, bottom = centre.y + half;
  if (right < static_cast<float>(viewport.X) - 1.0f || left > static_cast<float>(viewport.X + viewport.Width) ||
      bottom < static_cast<float>(viewport.Y) - 1.0f || top > static_cast<float>(viewport.Y + viewport.Height)) {
    return false;
  }
  static constexpr float kCornerU[4] = {0.0f, 1.0f, 1.0f, 0.0f};
  static constexpr float kCornerV[4] = {0.0f, 0.0f, 1.0f, 1.0f};
  for (int i = 0; i < 4; ++i) {
    corners[i] = centre;
    corners[i].x = kCornerU[i] == 0.0f ? left : right;
    corners[i].y = kCornerV[i] == 0.0f ? top : bottom;
    if (rules.spriteCoordinates) {
      for (int s = 0; s < kPipelineSets; ++s) corners[i].tex[s][0] = kCornerU[i], corners[i].tex[s][1] = kCornerV[i];
    }
  }
  return true;
}

}  // namespace d3d8compat
