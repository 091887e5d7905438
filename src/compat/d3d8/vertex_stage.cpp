#include "compat/d3d8/vertex_stage.h"

#include <cmath>
#include <cstring>

namespace d3d8compat {
namespace {

struct Vec3 {
  float x, y, z;
};

float dot(const Vec3& a, const Vec3& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }

Vec3 normalized(const Vec3& v) {
  const float length = std::sqrt(dot(v, v));
  if (length == 0.0f) return v;
  return {v.x / length, v.y / length, v.z / length};
}

// v * m for a direction (upper 3 x 3 only).
Vec3 transformDirection(const Vec3& v, const D3DMATRIX& m) {
  return {v.x * m._11 + v.y * m._21 + v.z * m._31, v.x * m._12 + v.y * m._22 + v.z * m._32,
          v.x * m._13 + v.y * m._23 + v.z * m._33};
}

// The inverse-transpose of the upper 3 x 3 of m, as a matrix normals are multiplied by (row vectors).
D3DMATRIX normalMatrix(const D3DMATRIX& m) {
  // Cofactors of the 3 x 3: cof[i][j]. The inverse is cof^T / det, so its transpose is cof / det.
  const float a = m._11, b = m._12, c = m._13, d = m._21, e = m._22, f = m._23, g = m._31, h = m._32,
              i = m._33;
  const float c00 = e * i - f * h, c01 = -(d * i - f * g), c02 = d * h - e * g;
  const float c10 = -(b * i - c * h), c11 = a * i - c * g, c12 = -(a * h - b * g);
  const float c20 = b * f - c * e, c21 = -(a * f - c * d), c22 = a * e - b * d;
  const float det = a * c00 + b * c01 + c * c02;
  const float s = det != 0.0f ? 1.0f / det : 0.0f;
  D3DMATRIX n{};
  n._11 = c00 * s, n._12 = c01 * s, n._13 = c02 * s;
  n._21 = c10 * s, n._22 = c11 * s, n._23 = c12 * s;
  n._31 = c20 * s, n._32 = c21 * s, n._33 = c22 * s;
  n._44 = 1.0f;
  return n;
}

float readFloat(const BYTE* p) {
  float value;
  std::memcpy(&value, p, sizeof value);
  return value;
}

// A D3DCOLOR as floats in memory order b, g, r, a.
void colorToFloats(DWORD color, float out[4]) {
  out[0] = static_cast<float>(color & 0xFF) / 255.0f;
  out[1] = static_cast<float>((color >> 8) & 0xFF) / 255.0f;
  out[2] = static_cast<float>((color >> 16) & 0xFF) / 255.0f;
  out[3] = static_cast<float>(color >> 24) / 255.0f;
}

void colorValueToFloats(const D3DCOLORVALUE& c, float out[4]) {
  out[0] = c.b, out[1] = c.g, out[2] = c.r, out[3] = c.a;
}

float saturate(float x) { return x < 0.0f ? 0.0f : (x > 1.0f ? 1.0f : x); }

// What lighting needs, worked out once per draw.
struct LightingSetup {
  bool enabled = false;
  bool normalize = false;
  D3DMATRIX worldView{};
  D3DMATRIX normals{};
  int lightCount = 0;
  Vec3 toLight[kMaxLights];     // eye space, unit length
  float lightDiffuse[kMaxLights][4];
  float ambientSum[4];          // D3DRS_AMBIENT + the lights' ambient colours
  DWORD diffuseSource, ambientSource, emissiveSource;
  bool colorVertex;
};

LightingSetup prepareLighting(const DeviceState& state, const FvfLayout& layout) {
  LightingSetup setup;
  const DWORD* rs = state.renderStates;
  setup.enabled = rs[D3DRS_LIGHTING] != 0 && !layout.transformed;
  setup.worldView = multiply(state.world, state.view);
  if (!setup.enabled) return setup;
  setup.normalize = rs[D3DRS_NORMALIZENORMALS] != 0;
  setup.normals = normalMatrix(setup.worldView);
  colorToFloats(rs[D3DRS_AMBIENT], setup.ambientSum);
  for (UINT i = 0; i < kMaxLights; ++i) {
    const D3DLIGHT8& light = state.lights[i];
    if (!state.lightEnabled[i]) continue;
    float ambient[4];
    colorValueToFloats(light.Ambient, ambient);
    for (int k = 0; k < 3; ++k) setup.ambientSum[k] += ambient[k];
    if (light.Type != D3DLIGHT_DIRECTIONAL) continue;
    // Direction is where the light travels, in world space; lighting wants the way towards it, in eye space.
    const Vec3 travel = normalized(transformDirection({light.Direction.x, light.Direction.y, light.Direction.z},
                                                      state.view));
    setup.toLight[setup.lightCount] = {-travel.x, -travel.y, -travel.z};
    colorValueToFloats(light.Diffuse, setup.lightDiffuse[setup.lightCount]);
    ++setup.lightCount;
  }
  setup.colorVertex = rs[D3DRS_COLORVERTEX] != 0;
  setup.diffuseSource = rs[D3DRS_DIFFUSEMATERIALSOURCE];
  setup.ambientSource = rs[D3DRS_AMBIENTMATERIALSOURCE];
  setup.emissiveSource = rs[D3DRS_EMISSIVEMATERIALSOURCE];
  return setup;
}

// The colour a material source names: the vertex diffuse (COLOR1) or specular (COLOR2) when the vertex
// has it and COLORVERTEX is on, otherwise the material's own colour.
void materialColor(const LightingSetup& lit, DWORD source, const D3DCOLORVALUE& material, const BYTE* vertex,
                   const FvfLayout& layout, float out[4]) {
  if (lit.colorVertex) {
    const int offset = source == D3DMCS_COLOR1 ? layout.diffuse : (source == D3DMCS_COLOR2 ? layout.specular : -1);
    if (offset >= 0) {
      DWORD color;
      std::memcpy(&color, vertex + offset, sizeof color);
      colorToFloats(color, out);
      return;
    }
  }
  colorValueToFloats(material, out);
}

void lightVertex(const LightingSetup& lit, const DeviceState& state, const FvfLayout& layout, const BYTE* vertex,
                 float out[4]) {
  float cd[4], ca[4], ce[4];
  materialColor(lit, lit.diffuseSource, state.material.Diffuse, vertex, layout, cd);
  materialColor(lit, lit.ambientSource, state.material.Ambient, vertex, layout, ca);
  materialColor(lit, lit.emissiveSource, state.material.Emissive, vertex, layout, ce);
  float diffuseSum[3] = {0.0f, 0.0f, 0.0f};
  if (layout.normal >= 0) {
    const BYTE* n = vertex + layout.normal;
    Vec3 normal = transformDirection({readFloat(n), readFloat(n + 4), readFloat(n + 8)}, lit.normals);
    if (lit.normalize) normal = normalized(normal);
    for (int i = 0; i < lit.lightCount; ++i) {
      const float nDotL = std::fmax(0.0f, dot(normal, lit.toLight[i]));
      for (int k = 0; k < 3; ++k) diffuseSum[k] += lit.lightDiffuse[i][k] * nDotL;
    }
  }
  for (int k = 0; k < 3; ++k) out[k] = saturate(ce[k] + ca[k] * lit.ambientSum[k] + cd[k] * diffuseSum[k]);
  out[3] = saturate(cd[3]);
}

}  // namespace

D3DMATRIX multiply(const D3DMATRIX& a, const D3DMATRIX& b) {
  D3DMATRIX r{};
  for (int i = 0; i < 4; ++i) {
    for (int j = 0; j < 4; ++j) {
      r.m[i][j] = a.m[i][0] * b.m[0][j] + a.m[i][1] * b.m[1][j] + a.m[i][2] * b.m[2][j] + a.m[i][3] * b.m[3][j];
    }
  }
  return r;
}

void processVertices(const DeviceState& state, const FvfLayout& layout, const BYTE* vertices, UINT stride,
                     UINT first, UINT count, PipelineVertex* out) {
  const DWORD* rs = state.renderStates;
  const LightingSetup lit = prepareLighting(state, layout);
  const D3DMATRIX wvp = multiply(lit.worldView, state.projection);
  const float stateSize = stateAsFloat(rs[D3DRS_POINTSIZE]);
  const bool scalePoints = rs[D3DRS_POINTSCALEENABLE] != 0 && !layout.transformed;
  const float scaleA = stateAsFloat(rs[D3DRS_POINTSCALE_A]), scaleB = stateAsFloat(rs[D3DRS_POINTSCALE_B]),
              scaleC = stateAsFloat(rs[D3DRS_POINTSCALE_C]);
  const float viewportHeight = static_cast<float>(state.viewport.Height);

  for (UINT k = 0; k < count; ++k) {
    const BYTE* vertex = vertices + static_cast<size_t>(first + k) * stride;
    PipelineVertex& o = out[k];
    const float x = readFloat(vertex), y = readFloat(vertex + 4), z = readFloat(vertex + 8);
    if (layout.transformed) {
      o.pos[0] = x, o.pos[1] = y, o.pos[2] = z, o.pos[3] = readFloat(vertex + 12);
    } else {
      for (int j = 0; j < 4; ++j) o.pos[j] = x * wvp.m[0][j] + y * wvp.m[1][j] + z * wvp.m[2][j] + wvp.m[3][j];
    }

    if (lit.enabled) {
      lightVertex(lit, state, layout, vertex, o.color);
    } else if (layout.diffuse >= 0) {
      DWORD color;
      std::memcpy(&color, vertex + layout.diffuse, sizeof color);
      colorToFloats(color, o.color);
    } else {
      o.color[0] = o.color[1] = o.color[2] = o.color[3] = 1.0f;
    }

    for (int s = 0; s < kPipelineSets; ++s) {
      if (static_cast<UINT>(s) < layout.texCoordSets) {
        const BYTE* t = vertex + layout.texCoordOffset[s];
        o.tex[s][0] = readFloat(t);
        o.tex[s][1] = layout.texCoordDimension[s] >= 2 ? readFloat(t + 4) : 0.0f;
      } else {
        o.tex[s][0] = o.tex[s][1] = 0.0f;
      }
    }

    float size = layout.pointSize >= 0 ? readFloat(vertex + layout.pointSize) : stateSize;
    if (scalePoints) {
      const D3DMATRIX& wv = lit.worldView;
      const float ex = x * wv._11 + y * wv._21 + z * wv._31 + wv._41;
      const float ey = x * wv._12 + y * wv._22 + z * wv._32 + wv._42;
      const float ez = x * wv._13 + y * wv._23 + z * wv._33 + wv._43;
      const float de = std::sqrt(ex * ex + ey * ey + ez * ez);
      const float denominator = scaleA + scaleB * de + scaleC * de * de;
      // A zero (or negative) denominator means an unbounded size: the maximum clamp takes over.
      size = denominator > 0.0f ? viewportHeight * size * std::sqrt(1.0f / denominator) : INFINITY;
    }
    o.pointSize = size;
  }
}

}  // namespace d3d8compat
