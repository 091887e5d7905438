#include "compat/d3d8/vertex_stage.h"

#include <cmath>
#include <cstring>

#include "compat/d3d8/vertex_lighting.h"

namespace d3d8compat {
namespace {

float readFloat(const BYTE* p) {
  float value;
  std::memcpy(&value, p, sizeof value);
  return value;
}

float saturate(float x) { return x < 0.0f ? 0.0f : (x > 1.0f ? 1.0f : x); }

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

// The lit diffuse colour of one vertex (b, g, r, a) and, when lit.specular, its specular colour: the
// diffuse term (emissive, ambient, N.L of each light) and the specular term (Blinn half vector towards
// the eye, or towards -z when LOCALVIEWER is off, to the material power, only where N.L > 0), each
// clamped after all lights.
template <bool Specular>
void lightVertex(const LightingSetup& lit, const DeviceState& state, const FvfLayout& layout, const BYTE* vertex,
                 float diffuse[4], float specular[4]) {
  float cd[4], ca[4], ce[4];
  materialColor(lit, lit.diffuseSource, state.material.Diffuse, vertex, layout, cd);
  materialColor(lit, lit.ambientSource, state.material.Ambient, vertex, layout, ca);
  materialColor(lit, lit.emissiveSource, state.material.Emissive, vertex, layout, ce);
  float diffuseSum[3] = {0.0f, 0.0f, 0.0f};
  float specularSum[3] = {0.0f, 0.0f, 0.0f};
  if (layout.normal >= 0) {
    const BYTE* n = vertex + layout.normal;
    LightVector normal = transformDirection({readFloat(n), readFloat(n + 4), readFloat(n + 8)}, lit.normals);
    if (lit.normalize) normal = normalized(normal);
    // Towards the eye: from the vertex to the eye-space origin, or -z for a viewer infinitely far away.
    LightVector toEye{0.0f, 0.0f, -1.0f};
    if (Specular && lit.localViewer) {
      const D3DMATRIX& wv = lit.worldView;
      const float x = readFloat(vertex), y = readFloat(vertex + 4), z = readFloat(vertex + 8);
      toEye = normalized({-(x * wv._11 + y * wv._21 + z * wv._31 + wv._41), -(x * wv._12 + y * wv._22 + z * wv._32 + wv._42),
                          -(x * wv._13 + y * wv._23 + z * wv._33 + wv._43)});
    }
    for (int i = 0; i < lit.lightCount; ++i) {
      const float nDotL = std::fmax(0.0f, dot(normal, lit.toLight[i]));
      for (int k = 0; k < 3; ++k) diffuseSum[k] += lit.lightDiffuse[i][k] * nDotL;
      if (!Specular || !(nDotL > 0.0f)) continue;
      const LightVector& l = lit.toLight[i];
      const LightVector half = normalized({toEye.x + l.x, toEye.y + l.y, toEye.z + l.z});
      const float highlight = std::pow(std::fmax(0.0f, dot(normal, half)), lit.power);
      for (int k = 0; k < 3; ++k) specularSum[k] += lit.lightSpecular[i][k] * highlight;
    }
  }
  for (int k = 0; k < 3; ++k) diffuse[k] = saturate(ce[k] + ca[k] * lit.ambientSum[k] + cd[k] * diffuseSum[k]);
  diffuse[3] = saturate(cd[3]);
  if constexpr (!Specular) return;
  float cs[4];
  materialColor(lit, lit.specularSource, state.material.Specular, vertex, layout, cs);
  for (int k = 0; k < 3; ++k) specular[k] = saturate(cs[k] * specularSum[k]);
  specular[3] = saturate(cs[3]);
}

// Where each stage's coordinates come from, worked out once per draw: the set and, when the stage has a
// texture transform (COUNT1..4 on untransformed vertices), its matrix and output count.
struct CoordinateSource {
  int set;               // -1: the vertex has no such set, (0, 0)
  UINT dimension;        // floats the set holds
  UINT offset;
  UINT count;            // 0: no transform; 1..4: outputs the transform keeps (u, and v from 2)
  const D3DMATRIX* matrix;
};

CoordinateSource coordinateSource(const DeviceState& state, const FvfLayout& layout, int stage) {
  CoordinateSource source{-1, 2, 0, 0, nullptr};
  const UINT set = coordinateSet(state, stage);
  if (set < layout.texCoordSets) {
    source.set = static_cast<int>(set);
    source.dimension = layout.texCoordDimension[set];
    source.offset = layout.texCoordOffset[set];
  }
  const DWORD count = state.stageStates[stage][D3DTSS_TEXTURETRANSFORMFLAGS] & 0xFFu;
  if (!layout.transformed && count >= D3DTTFF_COUNT1 && count <= D3DTTFF_COUNT4) {
    source.count = count;
    source.matrix = &state.textureTransforms[stage];
  }
  return source;
}

// A stage's (u, v) for one vertex. A transform takes the set's coordinates with a 1 after the last of
// them (so (u, v) becomes (u, v, 1, 0) and a 2D translation sits in the third row, as in Direct3D).
inline __attribute__((always_inline)) void readCoordinates(const CoordinateSource& source, const BYTE* vertex,
                                                         float out[2]) {
  if (source.count == 0) {  // no transform: the set's first two coordinates
    if (source.set < 0) {
      out[0] = out[1] = 0.0f;
      return;
    }
    const BYTE* t = vertex + source.offset;
    out[0] = readFloat(t);
    out[1] = source.dimension >= 2 ? readFloat(t + 4) : 0.0f;
    return;
  }
  float in[4] = {0.0f, 0.0f, 0.0f, 0.0f};
  if (source.set >= 0) {
    const BYTE* t = vertex + source.offset;
    for (UINT k = 0; k < source.dimension; ++k) in[k] = readFloat(t + 4 * k);
  }
  if (source.dimension < 4) in[source.dimension] = 1.0f;
  const D3DMATRIX& m = *source.matrix;
  out[0] = in[0] * m._11 + in[1] * m._21 + in[2] * m._31 + in[3] * m._41;
  out[1] = source.count >= 2 ? in[0] * m._12 + in[1] * m._22 + in[2] * m._32 + in[3] * m._42 : 0.0f;
}

template <bool Specular>
void processVerticesWith(const DeviceState& state, const FvfLayout& layout, const BYTE* vertices, UINT stride,
                         UINT first, UINT count, PipelineVertex* out) {
  const DWORD* rs = state.renderStates;
  const LightingSetup lit = prepareLighting(state, layout, Specular);
  const D3DMATRIX wvp = multiply(lit.worldView, state.projection);
  const float stateSize = stateAsFloat(rs[D3DRS_POINTSIZE]);
  const bool scalePoints = rs[D3DRS_POINTSCALEENABLE] != 0 && !layout.transformed;
  const float scaleA = stateAsFloat(rs[D3DRS_POINTSCALE_A]), scaleB = stateAsFloat(rs[D3DRS_POINTSCALE_B]),
              scaleC = stateAsFloat(rs[D3DRS_POINTSCALE_C]);
  const float viewportHeight = static_cast<float>(state.viewport.Height);
  CoordinateSource coordinates[kPipelineSets];
  for (int s = 0; s < kPipelineSets; ++s) coordinates[s] = coordinateSource(state, layout, s);

  for (UINT k = 0; k < count; ++k) {
    const BYTE* vertex = vertices + static_cast<size_t>(first + k) * stride;
    PipelineVertex& o = out[k];
    const float x = readFloat(vertex), y = readFloat(vertex + 4), z = readFloat(vertex + 8);
    if (layout.transformed) {
      o.pos[0] = x, o.pos[1] = y, o.pos[2] = z, o.pos[3] = readFloat(vertex + 12);
    } else {
      for (int j = 0; j < 4; ++j) o.pos[j] = x * wvp.m[0][j] + y * wvp.m[1][j] + z * wvp.m[2][j] + wvp.m[3][j];
    }

    o.specular[0] = o.specular[1] = o.specular[2] = o.specular[3] = 0.0f;
    if (lit.enabled) {
      lightVertex<Specular>(lit, state, layout, vertex, o.color, o.specular);
    } else {
      if (layout.diffuse >= 0) {
        DWORD color;
        std::memcpy(&color, vertex + layout.diffuse, sizeof color);
        colorToFloats(color, o.color);
      } else {
        o.color[0] = o.color[1] = o.color[2] = o.color[3] = 1.0f;
      }
      // A vertex without a specular colour has none (zero), as Direct3D 9's fixed function and DXVK
      // treat it; the D3DTA page's 0xFFFFFFFF would light every unlit vertex white.
      if (Specular && layout.specular >= 0) {
        DWORD color;
        std::memcpy(&color, vertex + layout.specular, sizeof color);
        colorToFloats(color, o.specular);
      }
    }

    for (int s = 0; s < kPipelineSets; ++s) readCoordinates(coordinates[s], vertex, o.tex[s]);

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
                     UINT first, UINT count, PipelineVertex* out, bool specular) {
  if (specular) {
    processVerticesWith<true>(state, layout, vertices, stride, first, count, out);
  } else {
    processVerticesWith<false>(state, layout, vertices, stride, first, count, out);
  }
}

}  // namespace d3d8compat
