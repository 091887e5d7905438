// Fixed-function lighting of the vertex stage, the per-draw part: lights, material sources and the
// normal matrix worked out once per draw (LightingSetup), and the small vector and colour helpers the
// per-vertex part (lightVertex, in vertex_stage.cpp) uses. Normals go through the inverse-transpose of
// world * view (of the whole 4 x 4; a singular matrix transforms them by its own upper 3 x 3, as native
// runtimes do, never by zero).
#pragma once

#include <cmath>

#include "compat/d3d8/device_state.h"
#include "compat/d3d8/fvf.h"

namespace d3d8compat {

struct LightVector {
  float x, y, z;
};

// What lighting needs, worked out once per draw.
struct LightingSetup {
  bool enabled = false;     // LIGHTING on and untransformed vertices
  bool specular = false;    // the specular term is wanted
  bool normalize = false;
  bool localViewer = false;
  D3DMATRIX worldView{};
  D3DMATRIX normals{};
  int lightCount = 0;
  LightVector toLight[kMaxLights];  // eye space, unit length
  float lightDiffuse[kMaxLights][4];
  float lightSpecular[kMaxLights][4];
  float ambientSum[4];              // D3DRS_AMBIENT + the lights' ambient colours
  float power = 0.0f;
  DWORD diffuseSource, ambientSource, emissiveSource, specularSource;
  bool colorVertex;
};

// Reads the lights, material sources and matrices of `state` for a draw of `layout`. `specular`: the draw
// reads the specular colour.
LightingSetup prepareLighting(const DeviceState& state, const FvfLayout& layout, bool specular);

// The matrix normals are multiplied by (row vectors): the upper 3 x 3 of the inverse-transpose of m, or
// of m itself when m is singular.
D3DMATRIX normalMatrix(const D3DMATRIX& m);

// A D3DCOLOR as floats in memory order b, g, r, a.
inline void colorToFloats(DWORD color, float out[4]) {
  out[0] = static_cast<float>(color & 0xFF) / 255.0f;
  out[1] = static_cast<float>((color >> 8) & 0xFF) / 255.0f;
  out[2] = static_cast<float>((color >> 16) & 0xFF) / 255.0f;
  out[3] = static_cast<float>(color >> 24) / 255.0f;
}

inline void colorValueToFloats(const D3DCOLORVALUE& c, float out[4]) {
  out[0] = c.b, out[1] = c.g, out[2] = c.r, out[3] = c.a;
}

inline float dot(const LightVector& a, const LightVector& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }

inline LightVector normalized(const LightVector& v) {
  const float length = std::sqrt(dot(v, v));
  if (length == 0.0f) return v;
  return {v.x / length, v.y / length, v.z / length};
}

// v * m for a direction (upper 3 x 3 only).
inline LightVector transformDirection(const LightVector& v, const D3DMATRIX& m) {
  return {v.x * m._11 + v.y * m._21 + v.z * m._31, v.x * m._12 + v.y * m._22 + v.z * m._32,
          v.x * m._13 + v.y * m._23 + v.z * m._33};
}

}  // namespace d3d8compat
