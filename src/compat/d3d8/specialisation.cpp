// The pixel routines: one span loop, instantiated for every combination of texture mode per stage,
// depth mode and blend mode, and the table that preparePixelState picks from.
#include <algorithm>
#include <array>
#include <atomic>
#include <cstring>

#include <xmmintrin.h>
#include <utility>

#include "compat/d3d8/formats.h"
#include "compat/d3d8/output_merge.h"
#include "compat/d3d8/pixel_group.h"
#include "compat/d3d8/pixel_routine.h"
#include "compat/d3d8/sampler_filters.h"
#include "compat/d3d8/surface.h"
#include "compat/d3d8/texture.h"

namespace d3d8compat {
namespace {

// log2 of a positive float: the exponent exactly, the mantissa m in [1, 2) as t + t (1 - t) q(t), t = m - 1,
// with q fitted by least squares (largest error 1.5e-4, exact at powers of two). Zero and denormals read
// as about -127 and infinity as 128, which select magnification and the last level as log2 would.
inline float fastLog2(float x) {
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
inline __m128 fastLog2x4(__m128 x) {
  const __m128i bits = _mm_castps_si128(x);
  const __m128i exponent = _mm_sub_epi32(_mm_and_si128(_mm_srli_epi32(bits, 23), _mm_set1_epi32(0xFF)), _mm_set1_epi32(127));
  const __m128 m = _mm_castsi128_ps(_mm_or_si128(_mm_and_si128(bits, _mm_set1_epi32(0x007FFFFF)), _mm_set1_epi32(0x3F800000)));
  const __m128 t = _mm_sub_ps(m, _mm_set1_ps(1.0f));
  const __m128 q = _mm_add_ps(_mm_set1_ps(0.43807325f),
                              _mm_mul_ps(t, _mm_add_ps(_mm_set1_ps(-0.23669342f), _mm_mul_ps(t, _mm_set1_ps(0.08030730f)))));
  return _mm_add_ps(_mm_add_ps(_mm_cvtepi32_ps(exponent), t), _mm_mul_ps(_mm_mul_ps(t, _mm_sub_ps(_mm_set1_ps(1.0f), t)), q));
}

inline __m128 levelOfDetailx4(const TriangleSetup& s, const SamplerState& sampler, int offset, __m128 u, __m128 v, __m128 w) {
  const __m128 width = _mm_set1_ps(sampler.levels[0].widthF), height = _mm_set1_ps(sampler.levels[0].heightF);
  const __m128 rhwDx = _mm_set1_ps(s.rhwDx), rhwDy = _mm_set1_ps(s.rhwDy);
  auto derivative = [w](float texD, __m128 t, __m128 rhwD, __m128 size) {
    return _mm_mul_ps(_mm_mul_ps(_mm_sub_ps(_mm_set1_ps(texD), _mm_mul_ps(t, rhwD)), w), size);
  };
  const __m128 dudx = derivative(s.texDx[offset], u, rhwDx, width), dvdx = derivative(s.texDx[offset + 1], v, rhwDx, height);
  const __m128 dudy = derivative(s.texDy[offset], u, rhwDy, width), dvdy = derivative(s.texDy[offset + 1], v, rhwDy, height);
  const __m128 lengthX = _mm_add_ps(_mm_mul_ps(dudx, dudx), _mm_mul_ps(dvdx, dvdx));
  const __m128 lengthY = _mm_add_ps(_mm_mul_ps(dudy, dudy), _mm_mul_ps(dvdy, dvdy));
  return _mm_mul_ps(_mm_set1_ps(0.5f), fastLog2x4(_mm_max_ps(lengthX, lengthY)));  // max: lengthX > lengthY ? X : Y
}

// What a span keeps of one stage's sampler in locals: the pixel stores go through byte pointers, which
// could alias anything, so values read through `ps` would be reloaded after every pixel.
struct StageLocal {
  SamplerLevel level;    // the base level
  int offset;            // coordinate offset
  bool direct;           // 32-bit power-of-two level, bilinear, no level of detail: bilinear32 on `level`
  bool clampU, clampV;
};

inline StageLocal stageLocal(const PixelState& ps, int stage) {
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
        filters::forEachLane([&]<int K>() {
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

// One pixel at a time: stages reading 16-bit textures, and blends other than the 32-bit target's own.
template <int Tex0, int Tex1, DepthMode Depth, BlendMode Blend, bool AlphaTest>
void shadePixels(const void* context, const TriangleSetup& s, int y, int xBegin, int xEnd) {
  const PixelState& ps = *static_cast<const PixelState*>(context);
  const float fx = static_cast<float>(xBegin) - s.x0, fy = static_cast<float>(y) - s.y0;
  float rhw = s.rhw + s.rhwDx * fx + s.rhwDy * fy;
  float z = s.z + s.zDx * fx + s.zDy * fy;
  const __m128 vfx = _mm_set1_ps(fx), vfy = _mm_set1_ps(fy);
  const __m128 colorDx = _mm_load_ps(s.colorDx), texDx = _mm_load_ps(s.texDx);
  __m128 color = _mm_add_ps(_mm_load_ps(s.color),
                            _mm_add_ps(_mm_mul_ps(colorDx, vfx), _mm_mul_ps(_mm_load_ps(s.colorDy), vfy)));
  __m128 tex = _mm_add_ps(_mm_load_ps(s.tex), _mm_add_ps(_mm_mul_ps(texDx, vfx), _mm_mul_ps(_mm_load_ps(s.texDy), vfy)));

  BYTE* colorOut = ps.color + static_cast<size_t>(y) * ps.colorPitch + static_cast<size_t>(xBegin) * ps.colorBytes;
  BYTE* depthOut = nullptr;
  if constexpr (Depth != DepthMode::kOff) {
    depthOut = ps.depth + static_cast<size_t>(y) * ps.depthPitch + static_cast<size_t>(xBegin) * ps.depthBytes;
  }
  alignas(16) float coords[8] = {0, 0, 0, 0, 0, 0, 0, 0};
  // Values the loop reads, held in locals (see StageLocal).
  StageLocal stage0{}, stage1{};
  if constexpr (Tex0 != kNoTexture) stage0 = stageLocal(ps, 0);
  if constexpr (Tex1 != kNoTexture) stage1 = stageLocal(ps, 1);
  const int colorBytes = Blend == BlendMode::kGeneral ? ps.colorBytes : 4;
  const uint32_t alphaOr = ps.alphaOr;
  const int depthBytes = ps.depthBytes, depthShift = ps.depthShift;
  const double depthMax = ps.depthMax;
  const unsigned depthTable = ps.depthTable;
  const bool singleStage = ps.cascade.singleTextureStage;

  // Everything after sampling for one pixel: cascade, alpha test, depth write, blend and colour write.
  auto finish = [&](__m128 diffuse, const __m128* textures, BYTE* colorAt, BYTE* depthAt, uint32_t depthValue,
                    uint32_t storedWord) __attribute__((always_inline)) {
    __m128 out;
    if constexpr (Tex0 != kNoTexture && Tex1 == kNoTexture) {
      out = singleStage ? runSingleStage(ps.cascade, diffuse, textures[0])
                        : runCascade(ps.cascade, diffuse, ps.factor, textures);
    } else {
      out = runCascade(ps.cascade, diffuse, ps.factor, textures);
    }
    if constexpr (AlphaTest) {
      const __m128 alpha = _mm_min_ss(_mm_max_ss(broadcastAlpha(out), _mm_setzero_ps()), _mm_set_ss(1.0f));
      const __m128 scaled = _mm_add_ss(_mm_mul_ss(alpha, _mm_set_ss(255.0f)), _mm_set_ss(0.5f));
      if (!comparisonPasses(ps.alphaTable, static_cast<uint32_t>(_mm_cvttss_si32(scaled)), ps.alphaRef)) return;
    }
    if constexpr (Depth == DepthMode::kTestWrite) {
      const uint32_t keep = depthShift != 0 ? (storedWord & 0xFFu) : 0u;
      storePixel(depthAt, static_cast<UINT>(depthBytes), (depthValue << depthShift) | keep);
    }
    if constexpr (Blend == BlendMode::kGeneral) {
      const uint32_t stored = loadPixel(colorAt, static_cast<UINT>(colorBytes));
      const __m128 dst = fromColorWord(unpackColor(ps.colorFormat, stored));
      const __m128 result = blendGeneric(ps.srcBlend, ps.destBlend, out, dst);
      storePixel(colorAt, static_cast<UINT>(colorBytes), packColor(ps.colorFormat, toColorWord(result) | alphaOr));
    } else {
      __m128 result = out;
      if constexpr (Blend != BlendMode::kOpaque) {
        uint32_t stored;
        __builtin_memcpy(&stored, colorAt, 4);
        const __m128 dst = fromColorWord(stored | alphaOr);
        result = Blend == BlendMode::kSourceAlpha ? blendSourceAlpha(out, dst) : blendAdditive(out, dst);
      }
      const uint32_t word = toColorWord(result) | alphaOr;
      __builtin_memcpy(colorAt, &word, 4);
    }
  };

  for (int x = xBegin; x < xEnd; ++x) {
    uint32_t depthValue = 0, storedWord = 0;
    bool visible = true;
    if constexpr (Depth != DepthMode::kOff) {
      depthValue = quantizeDepthValue(z, depthMax);
      storedWord = loadPixel(depthOut, static_cast<UINT>(depthBytes));
      visible = comparisonPasses(depthTable, depthValue, storedWord >> depthShift);
    }
    if (visible) {
      const float w = 1.0f / rhw;
      const __m128 vw = _mm_set1_ps(w);
      __m128 textures[kCascadeStages] = {_mm_setzero_ps(), _mm_setzero_ps()};
      if constexpr (Tex0 != kNoTexture || Tex1 != kNoTexture) _mm_store_ps(coords, _mm_mul_ps(tex, vw));
      if constexpr (Tex0 != kNoTexture) textures[0] = sampleStage<Tex0>(ps, s, 0, stage0, coords, w);
      if constexpr (Tex1 != kNoTexture) textures[1] = sampleStage<Tex1>(ps, s, 1, stage1, coords, w);
      finish(_mm_mul_ps(color, vw), textures, colorOut, depthOut, depthValue, storedWord);
    }
    rhw += s.rhwDx;
    z += s.zDx;
    color = _mm_add_ps(color, colorDx);
    tex = _mm_add_ps(tex, texDx);
    colorOut += colorBytes;
    if constexpr (Depth != DepthMode::kOff) depthOut += depthBytes;
  }
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

// Makes the decisions sampleTexture makes for this stage's constant level of detail. False where they
// lead to a filter the row kernel does not run (point sampling, levels that are not powers of two).
bool prepareRowSampling(const PixelState& ps, const TriangleSetup& s, int stage, const StageLocal& local, float u,
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
    row->rows[k] = filters::texelRows(sampler.clampV, chosen, v);
  }
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

// Whether a routine shades its spans in four-pixel groups: every sampled stage reads a 32-bit texture and
// the blend is one of the 32-bit target's own.
template <int Tex0, int Tex1, BlendMode Blend>
constexpr bool kGrouped = Tex0 != kTextureOther && Tex1 != kTextureOther && Blend != BlendMode::kGeneral;

// An attribute along the row being shaded: value = row + dx * (x - x0), four pixels per vector.
struct RowPlane {
  __m128 row, dx;
};

inline RowPlane rowPlane(float at0, float dx, float dy, float fy) {
  return {_mm_set1_ps(at0 + dy * fy), _mm_set1_ps(dx)};
}

inline __m128 planeAt(const RowPlane& p, __m128 fx) { return _mm_add_ps(p.row, _mm_mul_ps(p.dx, fx)); }

// The whole span in groups of four pixels (the last group masked): depth, 1/rhw, coordinates and
// sampling on the four pixels' lanes, the cascade per pixel, then the alpha test, depth write, blend and
// colour write of the group at once. Depth, rhw and coordinates are evaluated from their planes at each
// pixel; colours step from pixel to pixel.
template <int Tex0, int Tex1, DepthMode Depth, BlendMode Blend, bool AlphaTest>
void shadeGroups(const void* context, const TriangleSetup& s, int y, int xBegin, int xEnd) {
  const PixelState& ps = *static_cast<const PixelState*>(context);
  constexpr bool kSamples = Tex0 == kTexture32 || Tex1 == kTexture32;
  const float fy = static_cast<float>(y) - s.y0;
  __m128 fx = _mm_add_ps(_mm_set1_ps(static_cast<float>(xBegin) - s.x0), _mm_setr_ps(0.0f, 1.0f, 2.0f, 3.0f));
  const RowPlane rhwPlane = rowPlane(s.rhw, s.rhwDx, s.rhwDy, fy);
  const RowPlane zPlane = rowPlane(s.z, s.zDx, s.zDy, fy);
  RowPlane texPlanes[4];
  if constexpr (kSamples) {
    for (int i = 0; i < 4; ++i) texPlanes[i] = rowPlane(s.tex[i], s.texDx[i], s.texDy[i], fy);
  }
  // Colours (times rhw) of the group's four pixels, lanes b, g, r, a.
  const __m128 colorDx = _mm_load_ps(s.colorDx);
  __m128 colors[4];
  colors[0] = _mm_add_ps(_mm_load_ps(s.color),
                         _mm_add_ps(_mm_mul_ps(colorDx, _mm_set1_ps(static_cast<float>(xBegin) - s.x0)),
                                    _mm_mul_ps(_mm_load_ps(s.colorDy), _mm_set1_ps(fy))));
  for (int k = 1; k < 4; ++k) colors[k] = _mm_add_ps(colors[k - 1], colorDx);
  const __m128 colorStep = _mm_mul_ps(colorDx, _mm_set1_ps(4.0f));

  BYTE* colorOut = ps.color + static_cast<size_t>(y) * ps.colorPitch + static_cast<size_t>(xBegin) * 4;
  BYTE* depthOut = nullptr;
  if constexpr (Depth != DepthMode::kOff) {
    depthOut = ps.depth + static_cast<size_t>(y) * ps.depthPitch + static_cast<size_t>(xBegin) * ps.depthBytes;
  }
  StageLocal stage0{}, stage1{};
  if constexpr (Tex0 != kNoTexture) stage0 = stageLocal(ps, 0);
  if constexpr (Tex1 != kNoTexture) stage1 = stageLocal(ps, 1);
  const __m128i alphaOr = _mm_set1_epi32(static_cast<int>(ps.alphaOr));
  const int depthBytes = ps.depthBytes;
  const __m128i depthShift = _mm_cvtsi32_si128(ps.depthShift);
  const __m128i stencilKeep = _mm_set1_epi32(ps.depthShift != 0 ? 0xFF : 0);
  const double depthMax = ps.depthMax;
  const unsigned depthTable = ps.depthTable;
  const bool singleStage = ps.cascade.singleTextureStage, modulateOnly = ps.cascade.modulateOnly;

  // A triangle with constant rhw (pre-transformed, no perspective) has one 1/rhw, and a stage whose v
  // does not change along the row either samples through a RowSampling.
  const bool affine = s.rhwDx == 0.0f && s.rhwDy == 0.0f;
  const __m128 spanW = _mm_div_ps(_mm_set1_ps(1.0f), rhwPlane.row);
  bool rowSampling[kCascadeStages] = {false, false};
  RowSampling rows[kCascadeStages];
  auto prepareRow = [&](int stage, const StageLocal& local) {
    if (!affine || (local.offset < 4 && s.texDx[local.offset + 1] != 0.0f)) return false;
    float u = 0.0f, v = 0.0f;
    if (local.offset < 4) {
      u = _mm_cvtss_f32(_mm_mul_ps(planeAt(texPlanes[local.offset], fx), spanW));
      v = _mm_cvtss_f32(_mm_mul_ps(planeAt(texPlanes[local.offset + 1], fx), spanW));
    }
    return prepareRowSampling(ps, s, stage, local, u, v, _mm_cvtss_f32(spanW), &rows[stage]);
  };
  if constexpr (Tex0 == kTexture32) rowSampling[0] = prepareRow(0, stage0);
  if constexpr (Tex1 == kTexture32) rowSampling[1] = prepareRow(1, stage1);

  // Depth that does not change along the row (sprites, screen-facing quads) is quantized once.
  const bool flatDepth = s.zDx == 0.0f;
  __m128i spanDepth = _mm_setzero_si128();
  if constexpr (Depth != DepthMode::kOff) spanDepth = quantizeDepth4(zPlane.row, depthMax);

  // A group past the span's end may still read and rewrite whole vectors while it lies inside the row.
  const int colorRow = ps.colorPitch / 4, depthRow = Depth != DepthMode::kOff ? ps.depthPitch / ps.depthBytes : 0;
  for (int x = xBegin; x < xEnd; x += 4) {
    const int count = xEnd - x < 4 ? xEnd - x : 4;
    unsigned visible = (1u << count) - 1u;
    const bool colorWhole = x + 4 <= colorRow, depthWhole = x + 4 <= depthRow;
    __m128i storedDepth = _mm_setzero_si128(), depthValues = _mm_setzero_si128();
    if constexpr (Depth != DepthMode::kOff) {
      storedDepth = loadGroup(depthOut, depthBytes, count, depthWhole);
      depthValues = flatDepth ? spanDepth : quantizeDepth4(planeAt(zPlane, fx), depthMax);
      visible &= comparisonPasses4(depthTable, depthValues, _mm_srl_epi32(storedDepth, depthShift));
    }
    if (visible != 0) {
      const __m128 w = affine ? spanW : _mm_div_ps(_mm_set1_ps(1.0f), planeAt(rhwPlane, fx));
      __m128 texels[kCascadeStages][4];
      if constexpr (kSamples) {
        const __m128 coords[6] = {_mm_mul_ps(planeAt(texPlanes[0], fx), w), _mm_mul_ps(planeAt(texPlanes[1], fx), w),
                                  _mm_mul_ps(planeAt(texPlanes[2], fx), w), _mm_mul_ps(planeAt(texPlanes[3], fx), w),
                                  _mm_setzero_ps(), _mm_setzero_ps()};
        if constexpr (Tex0 == kTexture32) {
          if (rowSampling[0]) {
            sampleRow(rows[0], stage0.clampU, coords[stage0.offset], texels[0]);
          } else {
            sampleGroup(ps, s, 0, stage0, coords[stage0.offset], coords[stage0.offset + 1], w, texels[0]);
          }
        }
        if constexpr (Tex1 == kTexture32) {
          if (rowSampling[1]) {
            sampleRow(rows[1], stage1.clampU, coords[stage1.offset], texels[1]);
          } else {
            sampleGroup(ps, s, 1, stage1, coords[stage1.offset], coords[stage1.offset + 1], w, texels[1]);
          }
        }
      }
      __m128 outs[4];
      filters::forEachLane([&]<int K>() {
        const __m128 diffuse = _mm_mul_ps(colors[K], filters::broadcastLane<K>(w));
        const __m128 textures[kCascadeStages] = {Tex0 == kTexture32 ? texels[0][K] : _mm_setzero_ps(),
                                                 Tex1 == kTexture32 ? texels[1][K] : _mm_setzero_ps()};
        if constexpr (Tex0 == kTexture32 && Tex1 == kNoTexture) {
          if (modulateOnly) {
            // runSingleStage with k0 = k1 = k2 = 0, k3 = 1 adds only zeros to the product; the clamp is
            // left to the colour write when nothing reads the value before it.
            const __m128 product = _mm_mul_ps(textures[0], diffuse);
            outs[K] = Blend == BlendMode::kOpaque ? product
                                                  : _mm_min_ps(_mm_max_ps(product, _mm_setzero_ps()), _mm_set1_ps(1.0f));
          } else {
            outs[K] = singleStage ? runSingleStage(ps.cascade, diffuse, textures[0])
                                  : runCascade(ps.cascade, diffuse, ps.factor, textures);
          }
        } else {
          outs[K] = runCascade(ps.cascade, diffuse, ps.factor, textures);
        }
      });
      if constexpr (AlphaTest) visible &= alphaPasses4(outs, ps.alphaTable, ps.alphaRef);
      if (visible != 0) {
        const __m128i lanes = laneMask(visible);
        if constexpr (Depth == DepthMode::kTestWrite) {
          const __m128i words = _mm_or_si128(_mm_sll_epi32(depthValues, depthShift), _mm_and_si128(storedDepth, stencilKeep));
          storeGroup(depthOut, depthBytes, count, depthWhole, selectLanes(lanes, words, storedDepth));
        }
        __m128i stored = _mm_setzero_si128();
        if (Blend != BlendMode::kOpaque || visible != 15u) stored = loadGroup(colorOut, 4, count, colorWhole);
        __m128i words;
        if constexpr (Blend == BlendMode::kOpaque) {
          words = packColors(outs);
        } else if constexpr (Blend == BlendMode::kAdditive) {
          // round(255 src) + dst, saturated: the exact sum of the float blend, dst being whole steps.
          words = _mm_adds_epu8(packColors(outs), _mm_or_si128(stored, alphaOr));
        } else {
          __m128 dst[4];
          unpackColors(_mm_or_si128(stored, alphaOr), dst);
          for (int k = 0; k < 4; ++k) dst[k] = blendSourceAlpha(outs[k], dst[k]);
          words = packColors(dst);
        }
        words = _mm_or_si128(words, alphaOr);
        storeGroup(colorOut, 4, count, colorWhole, visible == 15u ? words : selectLanes(lanes, words, stored));
      }
    }
    fx = _mm_add_ps(fx, _mm_set1_ps(4.0f));
    for (int k = 0; k < 4; ++k) colors[k] = _mm_add_ps(colors[k], colorStep);
    colorOut += 16;
    if constexpr (Depth != DepthMode::kOff) depthOut += 4 * depthBytes;
  }
}

template <int Tex0, int Tex1, DepthMode Depth, BlendMode Blend, bool AlphaTest>
void shadeSpan(const void* context, const TriangleSetup& s, int y, int xBegin, int xEnd) {
  if constexpr (kGrouped<Tex0, Tex1, Blend>) {
    shadeGroups<Tex0, Tex1, Depth, Blend, AlphaTest>(context, s, y, xBegin, xEnd);
  } else {
    shadePixels<Tex0, Tex1, Depth, Blend, AlphaTest>(context, s, y, xBegin, xEnd);
  }
}

constexpr int kDepthModes = 3, kBlendModes = 4, kTextureModes = 3;
constexpr size_t kRoutineCount = kTextureModes * kTextureModes * kDepthModes * kBlendModes * 2;

// Routine index: ((((texture mode 0) * 3 + texture mode 1) * 3 + depth mode) * 4 + blend mode) * 2 + alpha test.
// Groups: the draw's own routine; otherwise its one-pixel routine.
template <size_t I, bool Groups>
constexpr SpanFunction routineAt() {
  constexpr size_t blendIndex = I / 2;
  constexpr int kTex0 = static_cast<int>(blendIndex / (kTextureModes * kDepthModes * kBlendModes));
  constexpr int kTex1 = static_cast<int>(blendIndex / (kDepthModes * kBlendModes) % kTextureModes);
  constexpr DepthMode kDepth = static_cast<DepthMode>(blendIndex / kBlendModes % kDepthModes);
  constexpr BlendMode kBlend = static_cast<BlendMode>(blendIndex % kBlendModes);
  if constexpr (Groups) {
    return shadeSpan<kTex0, kTex1, kDepth, kBlend, (I % 2) != 0>;
  } else {
    return shadePixels<kTex0, kTex1, kDepth, kBlend, (I % 2) != 0>;
  }
}
template <bool Groups, size_t... I>
constexpr std::array<SpanFunction, sizeof...(I)> makeRoutines(std::index_sequence<I...>) {
  return {{routineAt<I, Groups>()...}};
}
constexpr std::array<SpanFunction, kRoutineCount> kRoutines =
    makeRoutines<true>(std::make_index_sequence<kRoutineCount>{});
constexpr std::array<SpanFunction, kRoutineCount> kPixelRoutines =
    makeRoutines<false>(std::make_index_sequence<kRoutineCount>{});
std::atomic<bool> g_pixelGroups{true};

BlendMode chooseBlend(const DeviceState& state, bool target32) {
  const DWORD* rs = state.renderStates;
  if (rs[D3DRS_ALPHABLENDENABLE] == 0) return target32 ? BlendMode::kOpaque : BlendMode::kGeneral;
  if (!target32) return BlendMode::kGeneral;
  if (rs[D3DRS_SRCBLEND] == D3DBLEND_SRCALPHA && rs[D3DRS_DESTBLEND] == D3DBLEND_INVSRCALPHA) return BlendMode::kSourceAlpha;
  if (rs[D3DRS_SRCBLEND] == D3DBLEND_ONE && rs[D3DRS_DESTBLEND] == D3DBLEND_ONE) return BlendMode::kAdditive;
  return BlendMode::kGeneral;
}

}  // namespace

bool preparePixelState(const DeviceState& state, PixelState* ps, SpanFunction* span) {
  Surface* target = state.renderTarget;
  if (target == nullptr) return false;
  const DWORD* rs = state.renderStates;

  ps->color = target->bits();
  ps->colorPitch = static_cast<int>(target->pitch());
  ps->colorBytes = static_cast<int>(target->bytesPerPixel());
  ps->colorFormat = target->format();
  ps->alphaOr = ps->colorFormat == D3DFMT_A8R8G8B8 ? 0u : 0xFF000000u;
  const bool target32 = ps->colorBytes == 4;

  const Surface* depth = state.depthStencil;
  ps->depthMode = DepthMode::kOff;
  ps->depth = nullptr;
  if (depth != nullptr && rs[D3DRS_ZENABLE] != D3DZB_FALSE) {
    ps->depthMode = rs[D3DRS_ZWRITEENABLE] != 0 ? DepthMode::kTestWrite : DepthMode::kTestOnly;
    ps->depth = const_cast<BYTE*>(depth->bits());
    ps->depthPitch = static_cast<int>(depth->pitch());
    ps->depthBytes = static_cast<int>(depth->bytesPerPixel());
    const bool d24 = depth->format() == D3DFMT_D24S8;
    ps->depthShift = d24 ? 8 : 0;
    ps->depthMax = d24 ? 16777215.0 : 65535.0;
  }
  ps->depthTable = comparisonTable(rs[D3DRS_ZFUNC]);
  ps->alphaTable = rs[D3DRS_ALPHATESTENABLE] != 0 ? comparisonTable(rs[D3DRS_ALPHAFUNC]) : comparisonTable(D3DCMP_ALWAYS);
  ps->alphaRef = rs[D3DRS_ALPHAREF] & 0xFFu;
  ps->srcBlend = rs[D3DRS_SRCBLEND];
  ps->destBlend = rs[D3DRS_DESTBLEND];
  ps->blendMode = chooseBlend(state, target32);

  const DWORD factor = rs[D3DRS_TEXTUREFACTOR];
  ps->factor = _mm_set_ps(static_cast<float>(factor >> 24) / 255.0f, static_cast<float>((factor >> 16) & 0xFF) / 255.0f,
                          static_cast<float>((factor >> 8) & 0xFF) / 255.0f, static_cast<float>(factor & 0xFF) / 255.0f);
  compileCascade(state, &ps->cascade);
  for (int s = 0; s < kCascadeStages; ++s) {
    ps->textureMode[s] = kNoTexture;
    const DWORD set = state.stageStates[s][D3DTSS_TEXCOORDINDEX] & 0xFFFFu;
    ps->coordinateOffset[s] = set < static_cast<DWORD>(kPipelineSets) ? static_cast<int>(2 * set) : 4;
    if (s >= ps->cascade.count || !ps->cascade.samples[s]) continue;
    prepareSampler(state, s, *state.textures[s], &ps->samplers[s]);
    ps->textureMode[s] = ps->samplers[s].is32Bit ? kTexture32 : kTextureOther;
  }

  const size_t index = ((static_cast<size_t>(ps->textureMode[0]) * kTextureModes + ps->textureMode[1]) * kDepthModes +
                        static_cast<size_t>(ps->depthMode)) * kBlendModes + static_cast<size_t>(ps->blendMode);
  const bool alphaTest = ps->alphaTable != comparisonTable(D3DCMP_ALWAYS);
  const auto& routines = g_pixelGroups.load(std::memory_order_relaxed) ? kRoutines : kPixelRoutines;
  *span = routines[index * 2 + (alphaTest ? 1 : 0)];
  return true;
}

void setPixelGroups(bool enabled) { g_pixelGroups.store(enabled, std::memory_order_relaxed); }

}  // namespace d3d8compat
