// Sampling as the pixel routines do it: the level of detail from the interpolants' planes (one pixel or
// four), a stage's sampler values held in locals for a span, one texel for one pixel, four texels for a
// four-pixel group, and the per-span sampling of pre-transformed rows. Included by the routine files
// only; which routine runs is decided in preparePixelState.
#pragma once

#include <algorithm>
#include <cstring>

#include "compat/d3d8/pixel_routine.h"
#include "compat/d3d8/sampler_filters.h"

namespace d3d8compat {
namespace routines {

// log2 of a positive float: the exponent exactly, the mantissa m in [1, 2) as t + t (1 - t) q(t), t = m - 1,
// with q fitted by least squares (largest error 1.5e-4, exact at powers of two). Zero and denormals read
// as about -127 and infinity as 128, which select magnification and the last level as log2 would.
inline __attribute__((always_inline)) float fastLog2(float x) {
  uint32_t bits;
  std::memcpy(&bits, &x, sizeof bits);
  const int exponent = static_cast<int>((bits >> 23) & 0xFFu) - 127;
  bits = (bits & 0x007FFFFFu) | 0x3F800000u;
  float m;
  std::memcpy(&m, &bits, sizeof m);
  const float t = m - 1.0f;
  return static_cast<float>(exponent) + t + t * (1.0f - t) * (0.43807325f + t * (-0.23669342f + t * 0.08030730f));
}

// Level of detail at a pixel from the analytic derivatives of u = U / Q, v = V / Q (U, V, Q screen-linear):
// du/dx = (dU/dx - u dQ/dx) / Q. lambda = log2 of the longer screen-axis footprint in level-0 texels.
inline __attribute__((always_inline)) float levelOfDetail(const TriangleSetup& s, const SamplerState& sampler, int offset, float u, float v, float w) {
  const float width = sampler.levels[0].widthF, height = sampler.levels[0].heightF;
  const float dudx = (s.texDx[offset] - u * s.rhwDx) * w * width;
  const float dvdx = (s.texDx[offset + 1] - v * s.rhwDx) * w * height;
  const float dudy = (s.texDy[offset] - u * s.rhwDy) * w * width;
  const float dvdy = (s.texDy[offset + 1] - v * s.rhwDy) * w * height;
  const float lengthX = dudx * dudx + dvdx * dvdx, lengthY = dudy * dudy + dvdy * dvdy;
  return 0.5f * fastLog2(lengthX > lengthY ? lengthX : lengthY);
}

// fastLog2 and levelOfDetail for four pixels (lanes of u, v, w), with the same operations in the same order.
inline __attribute__((always_inline)) __m128 fastLog2x4(__m128 x) {
  const __m128i bits = _mm_castps_si128(x);
  const __m128i exponent = _mm_sub_epi32(_mm_and_si128(_mm_srli_epi32(bits, 23), _mm_set1_epi32(0xFF)), _mm_set1_epi32(127));
  const __m128 m = _mm_castsi128_ps(_mm_or_si128(_mm_and_si128(bits, _mm_set1_epi32(0x007FFFFF)), _mm_set1_epi32(0x3F800000)));
  const __m128 t = _mm_sub_ps(m, _mm_set1_ps(1.0f));
  const __m128 q = _mm_add_ps(_mm_set1_ps(0.43807325f),
                              _mm_mul_ps(t, _mm_add_ps(_mm_set1_ps(-0.23669342f), _mm_mul_ps(t, _mm_set1_ps(0.08030730f)))));
  return _mm_add_ps(_mm_add_ps(_mm_cvtepi32_ps(exponent), t), _mm_mul_ps(_mm_mul_ps(t, _mm_sub_ps(_mm_set1_ps(1.0f), t)), q));
}

// A stage's level-of-detail constants on one triangle, broadcast to four lanes once rather than at
// every group: the planes' steps of u, v (coordinates `offset`, `offset` + 1) and rhw, and level 0's size.
struct LodPlanes {
  __m128 uDx, vDx, uDy, vDy, rhwDx, rhwDy, width, height;
};

inline LodPlanes lodPlanes(const TriangleSetup& s, const SamplerState& sampler, int offset) {
  return {_mm_set1_ps(s.texDx[offset]), _mm_set1_ps(s.texDx[offset + 1]), _mm_set1_ps(s.texDy[offset]),
          _mm_set1_ps(s.texDy[offset + 1]), _mm_set1_ps(s.rhwDx),          _mm_set1_ps(s.rhwDy),
          _mm_set1_ps(sampler.levels[0].widthF), _mm_set1_ps(sampler.levels[0].heightF)};
}

inline __attribute__((always_inline)) __m128 levelOfDetailx4(const LodPlanes& p, __m128 u, __m128 v, __m128 w) {
  auto derivative = [w](__m128 texD, __m128 t, __m128 rhwD, __m128 size) {
    return _mm_mul_ps(_mm_mul_ps(_mm_sub_ps(texD, _mm_mul_ps(t, rhwD)), w), size);
  };
  const __m128 dudx = derivative(p.uDx, u, p.rhwDx, p.width), dvdx = derivative(p.vDx, v, p.rhwDx, p.height);
  const __m128 dudy = derivative(p.uDy, u, p.rhwDy, p.width), dvdy = derivative(p.vDy, v, p.rhwDy, p.height);
  const __m128 lengthX = _mm_add_ps(_mm_mul_ps(dudx, dudx), _mm_mul_ps(dvdx, dvdx));
  const __m128 lengthY = _mm_add_ps(_mm_mul_ps(dudy, dudy), _mm_mul_ps(dvdy, dvdy));
  return _mm_mul_ps(_mm_set1_ps(0.5f), fastLog2x4(_mm_max_ps(lengthX, lengthY)));  // max: lengthX > lengthY ? X : Y
}

inline __attribute__((always_inline)) __m128 levelOfDetailx4(const TriangleSetup& s, const SamplerState& sampler, int offset, __m128 u, __m128 v, __m128 w) {
  return levelOfDetailx4(lodPlanes(s, sampler, offset), u, v, w);
}

// An attribute along the row being shaded: value = row + dx * (x - x0), four pixels per vector.
struct RowPlane {
  __m128 row, dx;
};

inline RowPlane rowPlane(float at0, float dx, float dy, float fy) {
  return {_mm_set1_ps(at0 + dy * fy), _mm_set1_ps(dx)};
}

inline __m128 planeAt(const RowPlane& p, __m128 fx) { return _mm_add_ps(p.row, _mm_mul_ps(p.dx, fx)); }

// The colours (times rhw, lanes b, g, r, a) of the first four pixels of a span from xBegin on row fy,
// as the group routines step them from pixel to pixel.
inline void groupColors(const TriangleSetup& s, int xBegin, float fy, __m128* colors) {
  const __m128 colorDx = _mm_load_ps(s.colorDx);
  colors[0] = _mm_add_ps(_mm_load_ps(s.color),
                         _mm_add_ps(_mm_mul_ps(colorDx, _mm_set1_ps(static_cast<float>(xBegin) - s.x0)),
                                    _mm_mul_ps(_mm_load_ps(s.colorDy), _mm_set1_ps(fy))));
  for (int k = 1; k < 4; ++k) colors[k] = _mm_add_ps(colors[k - 1], colorDx);
}

// What a span keeps of one stage's sampler in locals: the pixel stores go through byte pointers, which
// could alias anything, so values read through `ps` would be reloaded after every pixel.
struct StageLocal {
  SamplerLevel level;    // the base level
  int offset;            // coordinate offset
  bool direct;           // 32-bit power-of-two level, bilinear, no level of detail: bilinear32 on `level`
  bool clampU, clampV;
};

inline __attribute__((always_inline)) StageLocal stageLocal(const PixelState& ps, int stage) {
  const SamplerState& sampler = ps.samplers[stage];
  StageLocal local;
  local.level = sampler.levels[sampler.baseLevel];
  local.offset = ps.coordinateOffset[stage];
  local.direct = sampler.is32Bit && !sampler.needsLod && sampler.magFilter == D3DTEXF_LINEAR && local.level.powerOfTwo;
  local.clampU = sampler.clampU;
  local.clampV = sampler.clampV;
  return local;
}

template <int Mode>
inline __attribute__((always_inline)) __m128 sampleStage(const PixelState& ps, const TriangleSetup& s, int stage,
                                                         const StageLocal& local, const float* coords, float w) {
  const float u = coords[local.offset], v = coords[local.offset + 1];
  if constexpr (Mode == kTexture32) {
    if (local.direct) return filters::bilinear32(local.clampU, local.clampV, local.level, u, v);
  }
  const SamplerState& sampler = ps.samplers[stage];
  // Sets beyond the vertex's have constant (0, 0) coordinates: no footprint.
  const float lambda = sampler.needsLod && local.offset < 4 ? levelOfDetail(s, sampler, local.offset, u, v, w) : 0.0f;
  if constexpr (Mode == kTexture32) return filters::sampleTexture<D3DFMT_A8R8G8B8>(sampler, u, v, lambda);
  return sampler.sample(sampler, u, v, lambda);
}

// A 32-bit stage's texels for a four-pixel group (lanes u, v; w per pixel), each as sampleStage gives it.
// Direct stages and groups whose four pixels filter the same level (or pair of levels) run the four-lane
// bilinear kernel; the rest go pixel by pixel.
inline __attribute__((always_inline)) void sampleGroup(const PixelState& ps, const TriangleSetup& s, int stage,
                                                       const StageLocal& local, __m128 u, __m128 v, __m128 w,
                                                       __m128* texels) {
  if (local.direct) {
    filters::bilinear32x4(local.clampU, local.clampV, local.level, u, v, texels);
    return;
  }
  const SamplerState& sampler = ps.samplers[stage];
  alignas(16) float us[4], vs[4];
  _mm_store_ps(us, u);
  _mm_store_ps(vs, v);
  float lambdas[4] = {0.0f, 0.0f, 0.0f, 0.0f};
  if (sampler.needsLod && local.offset < 4) {
    _mm_storeu_ps(lambdas, levelOfDetailx4(s, sampler, local.offset, u, v, w));
  }
  const __m128 biased = _mm_add_ps(_mm_loadu_ps(lambdas), _mm_set1_ps(sampler.lodBias));
  const int minified = _mm_movemask_ps(_mm_cmpgt_ps(biased, _mm_setzero_ps()));
  const SamplerLevel& base = sampler.levels[sampler.baseLevel];
  if (minified == 0 && sampler.magFilter == D3DTEXF_LINEAR && base.powerOfTwo) {
    // sampleTexture's magnification branch for all four pixels.
    filters::bilinear32x4(sampler.clampU, sampler.clampV, base, u, v, texels);
    return;
  }
  if (minified == 15 && sampler.minFilter == D3DTEXF_LINEAR && sampler.mipFilter == D3DTEXF_LINEAR) {
    // sampleTexture's trilinear branch when the four pixels' levels (and the next ones) lie within three
    // neighbouring levels: each level filtered once for the group, each pixel blending its own pair.
    alignas(16) int whole[4];
    _mm_store_si128(reinterpret_cast<__m128i*>(whole), filters::floorToInt4(biased));
    const int lowest = std::min(std::min(whole[0], whole[1]), std::min(whole[2], whole[3]));
    const int highest = std::max(std::max(whole[0], whole[1]), std::max(whole[2], whole[3]));
    const int level = sampler.baseLevel + lowest;
    if (lowest == highest && level >= sampler.lastLevel) {
      if (sampler.levels[sampler.lastLevel].powerOfTwo) {
        filters::bilinear32x4(sampler.clampU, sampler.clampV, sampler.levels[sampler.lastLevel], u, v, texels);
        return;
      }
    } else if (highest - lowest <= 1 && sampler.baseLevel + highest < sampler.lastLevel) {
      const int levelCount = 2 + highest - lowest;
      bool powerOfTwo = true;
      for (int l = level; l < level + levelCount; ++l) powerOfTwo = powerOfTwo && sampler.levels[l].powerOfTwo;
      if (powerOfTwo) {
        __m128 filtered[3][4];
        for (int l = 0; l < levelCount; ++l) {
          filters::bilinear32x4(sampler.clampU, sampler.clampV, sampler.levels[level + l], u, v, filtered[l]);
        }
        const __m128 weights = _mm_sub_ps(biased, _mm_cvtepi32_ps(_mm_load_si128(reinterpret_cast<const __m128i*>(whole))));
        filters::forEachLane([&]<int K>() __attribute__((always_inline)) {
          const int first = whole[K] - lowest;
          const __m128 fine = filtered[first][K], coarse = filtered[first + 1][K];
          texels[K] = _mm_add_ps(fine, _mm_mul_ps(_mm_sub_ps(coarse, fine), filters::broadcastLane<K>(weights)));
        });
        return;
      }
    }
  }
  for (int k = 0; k < 4; ++k) texels[k] = filters::sampleTexture<D3DFMT_A8R8G8B8>(sampler, us[k], vs[k], lambdas[k]);
}

// A stage's sampling along one row of a pre-transformed triangle whose v is constant along the row: the
// level of detail is then the same at every pixel, so the level (or pair of levels), their texel rows
// and the blend weight are found once for the span, leaving only u per pixel.
struct RowSampling {
  const SamplerLevel* levels[2];
  filters::TexelRows rows[2];
  int count;        // 1: levels[0] only; 2: levels[0] blended towards levels[1] by `weight`
  __m128 weight;
};

// Makes the decisions sampleTexture makes for this stage's constant level of detail: the levels, their
// count and weight (not yet the texel rows). False where they lead to a filter the row kernel does not
// run (point sampling, levels that are not powers of two). Without perspective the level of detail does
// not depend on u and v, so the choice holds for every row of the triangle.
inline bool chooseRowLevels(const PixelState& ps, const TriangleSetup& s, int stage, const StageLocal& local, float u,
                            float v, float w, RowSampling* row) {
  const SamplerState& sampler = ps.samplers[stage];
  int level = sampler.baseLevel;
  row->count = 1;
  row->weight = _mm_setzero_ps();
  if (!local.direct) {
    const float lambda = sampler.needsLod && local.offset < 4 ? levelOfDetail(s, sampler, local.offset, u, v, w) : 0.0f;
    const float biased = lambda + sampler.lodBias;
    DWORD filter = sampler.minFilter;
    if (!(biased > 0.0f)) {
      filter = sampler.magFilter;
    } else if (sampler.mipFilter == D3DTEXF_POINT) {
      level = std::min(sampler.baseLevel + filters::floorToInt(biased + 0.5f), sampler.lastLevel);
    } else if (sampler.mipFilter == D3DTEXF_LINEAR) {
      const int whole = filters::floorToInt(biased);
      level = std::min(sampler.baseLevel + whole, sampler.lastLevel);
      if (level < sampler.lastLevel) {
        row->count = 2;
        row->weight = _mm_set1_ps(biased - static_cast<float>(whole));
      }
    }
    if (filter != D3DTEXF_LINEAR) return false;
  }
  for (int k = 0; k < row->count; ++k) {
    const SamplerLevel& chosen = sampler.levels[level + k];
    if (!chosen.powerOfTwo) return false;
    row->levels[k] = &chosen;
  }
  return true;
}

// The texel rows of the chosen levels at v.
inline void chooseTexelRows(bool clampV, float v, RowSampling* row) {
  for (int k = 0; k < row->count; ++k) row->rows[k] = filters::texelRows(clampV, *row->levels[k], v);
}

// chooseRowLevels, then the texel rows at v.
inline bool prepareRowSampling(const PixelState& ps, const TriangleSetup& s, int stage, const StageLocal& local, float u,
                               float v, float w, RowSampling* row) {
  if (!chooseRowLevels(ps, s, stage, local, u, v, w, row)) return false;
  chooseTexelRows(ps.samplers[stage].clampV, v, row);
  return true;
}

// One group's texels through a RowSampling: as sampleGroup gives them for these pixels.
inline __attribute__((always_inline)) void sampleRow(const RowSampling& row, bool clampU, __m128 u, __m128* texels) {
  filters::bilinear32x4Row(clampU, *row.levels[0], row.rows[0], u, texels);
  if (row.count == 2) {
    __m128 coarse[4];
    filters::bilinear32x4Row(clampU, *row.levels[1], row.rows[1], u, coarse);
    for (int k = 0; k < 4; ++k) texels[k] = _mm_add_ps(texels[k], _mm_mul_ps(_mm_sub_ps(coarse[k], texels[k]), row.weight));
  }
}

}  // namespace routines
}  // namespace d3d8compat
