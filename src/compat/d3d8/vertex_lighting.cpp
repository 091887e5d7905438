#include "compat/d3d8/vertex_lighting.h"

#include "compat/d3d8/vertex_stage.h"

namespace d3d8compat {
namespace {

D3DMATRIX upper3x3(const D3DMATRIX& m) {
  D3DMATRIX n{};
  for (int i = 0; i < 3; ++i) {
    for (int j = 0; j < 3; ++j) n.m[i][j] = m.m[i][j];
  }
  n._44 = 1.0f;
  return n;
}

// Inverse-transpose of the upper 3 x 3 of an affine m (its fourth column 0, 0, 0, w != 0): the upper
// 3 x 3 of the 4 x 4 inverse-transpose is exactly this.
D3DMATRIX affineNormalMatrix(const D3DMATRIX& m) {
  // Cofactors of the 3 x 3: cof[i][j]. The inverse is cof^T / det, so its transpose is cof / det.
  const float a = m._11, b = m._12, c = m._13, d = m._21, e = m._22, f = m._23, g = m._31, h = m._32,
              i = m._33;
  const float c00 = e * i - f * h, c01 = -(d * i - f * g), c02 = d * h - e * g;
  const float c10 = -(b * i - c * h), c11 = a * i - c * g, c12 = -(a * h - b * g);
  const float c20 = b * f - c * e, c21 = -(a * f - c * d), c22 = a * e - b * d;
  const float det = a * c00 + b * c01 + c * c02;
  if (det == 0.0f) return upper3x3(m);
  const float s = 1.0f / det;
  D3DMATRIX n{};
  n._11 = c00 * s, n._12 = c01 * s, n._13 = c02 * s;
  n._21 = c10 * s, n._22 = c11 * s, n._23 = c12 * s;
  n._31 = c20 * s, n._32 = c21 * s, n._33 = c22 * s;
  n._44 = 1.0f;
  return n;
}

// Cofactor (row, column) of a 4 x 4: the signed determinant of the 3 x 3 left when both are removed.
double cofactor4(const D3DMATRIX& m, int row, int column) {
  double minor[3][3];
  for (int i = 0, r = 0; i < 4; ++i) {
    if (i == row) continue;
    for (int j = 0, c = 0; j < 4; ++j) {
      if (j != column) minor[r][c++] = m.m[i][j];
    }
    ++r;
  }
  const double det = minor[0][0] * (minor[1][1] * minor[2][2] - minor[1][2] * minor[2][1]) -
                     minor[0][1] * (minor[1][0] * minor[2][2] - minor[1][2] * minor[2][0]) +
                     minor[0][2] * (minor[1][0] * minor[2][1] - minor[1][1] * minor[2][0]);
  return (row + column) % 2 == 0 ? det : -det;
}

}  // namespace

D3DMATRIX normalMatrix(const D3DMATRIX& m) {
  if (m._14 == 0.0f && m._24 == 0.0f && m._34 == 0.0f && m._44 != 0.0f) return affineNormalMatrix(m);
  // The inverse is cof^T / det; its transpose, upper 3 x 3, is cof / det there.
  double cof[3][3];
  for (int i = 0; i < 3; ++i) {
    for (int j = 0; j < 3; ++j) cof[i][j] = cofactor4(m, i, j);
  }
  const double det = m._11 * cof[0][0] + m._12 * cof[0][1] + m._13 * cof[0][2] + m._14 * cofactor4(m, 0, 3);
  if (det == 0.0) return upper3x3(m);
  D3DMATRIX n{};
  for (int i = 0; i < 3; ++i) {
    for (int j = 0; j < 3; ++j) n.m[i][j] = static_cast<float>(cof[i][j] / det);
  }
  n._44 = 1.0f;
  return n;
}

LightingSetup prepareLighting(const DeviceState& state, const FvfLayout& layout, bool specular) {
  LightingSetup setup;
  const DWORD* rs = state.renderStates;
  setup.enabled = rs[D3DRS_LIGHTING] != 0 && !layout.transformed;
  setup.worldView = multiply(state.world, state.view);
  if (!setup.enabled) return setup;
  setup.specular = specular;
  setup.normalize = rs[D3DRS_NORMALIZENORMALS] != 0;
  setup.localViewer = rs[D3DRS_LOCALVIEWER] != 0;
  setup.normals = normalMatrix(setup.worldView);
  setup.power = state.material.Power;
  colorToFloats(rs[D3DRS_AMBIENT], setup.ambientSum);
  int active = 0;
  for (const LightSlot& slot : state.lights) {
    if (!slot.enabled || active == static_cast<int>(kMaxLights)) continue;
    ++active;
    const D3DLIGHT8& light = slot.light;
    float ambient[4];
    colorValueToFloats(light.Ambient, ambient);
    for (int k = 0; k < 3; ++k) setup.ambientSum[k] += ambient[k];
    if (light.Type != D3DLIGHT_DIRECTIONAL) continue;
    // Direction is where the light travels, in world space; lighting wants the way towards it, in eye space.
    const LightVector travel =
        normalized(transformDirection({light.Direction.x, light.Direction.y, light.Direction.z}, state.view));
    setup.toLight[setup.lightCount] = {-travel.x, -travel.y, -travel.z};
    colorValueToFloats(light.Diffuse, setup.lightDiffuse[setup.lightCount]);
    colorValueToFloats(light.Specular, setup.lightSpecular[setup.lightCount]);
    ++setup.lightCount;
  }
  setup.colorVertex = rs[D3DRS_COLORVERTEX] != 0;
  setup.diffuseSource = rs[D3DRS_DIFFUSEMATERIALSOURCE];
  setup.ambientSource = rs[D3DRS_AMBIENTMATERIALSOURCE];
  setup.emissiveSource = rs[D3DRS_EMISSIVEMATERIALSOURCE];
  setup.specularSource = rs[D3DRS_SPECULARMATERIALSOURCE];
  return setup;
}

}  // namespace d3d8compat
