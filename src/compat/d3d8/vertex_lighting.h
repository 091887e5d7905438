// Fixed-function lighting of the vertex stage, in eye space: the diffuse term (emissive, ambient,
// directional lights' N.L) and the specular term (Blinn half vector towards the eye, or towards -z when
// LOCALVIEWER is off, raised to the material power, only where N.L > 0), each colour taken from the
// material or the vertex as the *MATERIALSOURCE states say, each clamped after all lights. Normals go
// through the inverse-transpose of world * view (of the whole 4 x 4; a singular matrix transforms them
// by its own upper 3 x 3, as native runtimes do, never by zero).
#pragma once

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

// The lit diffuse colour of one vertex (b, g, r, a) and, when lit.specular, its specular colour.
void lightVertex(const LightingSetup& lit, const DeviceState& state, const FvfLayout& layout, const BYTE* vertex,
                 float diffuse[4], float specular[4]);

// The matrix normals are multiplied by (row vectors): the upper 3 x 3 of the inverse-transpose of m, or
// of m itself when m is singular.
D3DMATRIX normalMatrix(const D3DMATRIX& m);

// A D3DCOLOR as floats in memory order b, g, r, a.
void colorToFloats(DWORD color, float out[4]);

}  // namespace d3d8compat
