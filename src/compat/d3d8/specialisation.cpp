// The pixel routines: one span loop, instantiated for every combination of texture mode per stage,
// depth mode and blend mode, and the table that preparePixelState picks from.
#include <array>
#include <cstring>

#include <xmmintrin.h>
#include <utility>

#include "compat/d3d8/formats.h"
#include "compat/d3d8/output_merge.h"
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
                                                       const StageLocal& local, __m128 u, __m128 v,
                                                       const float* w, __m128* texels) {
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
    _mm_storeu_ps(lambdas, levelOfDetailx4(s, sampler, local.offset, u, v, _mm_load_ps(w)));
  }
  if (sampler.minFilter == D3DTEXF_LINEAR && sampler.magFilter == D3DTEXF_LINEAR && sampler.mipFilter == D3DTEXF_LINEAR) {
    // sampleTexture's trilinear branch when all four pixels minify onto the same levels.
    float biased[4];
    int whole[4];
    bool minified = true;
    for (int k = 0; k < 4; ++k) {
      biased[k] = lambdas[k] + sampler.lodBias;
      minified = minified && biased[k] > 0.0f;
      whole[k] = filters::floorToInt(biased[k]);
    }
    if (minified && whole[0] == whole[1] && whole[0] == whole[2] && whole[0] == whole[3]) {
      const int level = sampler.baseLevel + whole[0];
      if (level >= sampler.lastLevel) {
        if (sampler.levels[sampler.lastLevel].powerOfTwo) {
          filters::bilinear32x4(sampler.clampU, sampler.clampV, sampler.levels[sampler.lastLevel], u, v, texels);
          return;
        }
      } else if (sampler.levels[level].powerOfTwo && sampler.levels[level + 1].powerOfTwo) {
        __m128 fine[4], coarse[4];
        filters::bilinear32x4(sampler.clampU, sampler.clampV, sampler.levels[level], u, v, fine);
        filters::bilinear32x4(sampler.clampU, sampler.clampV, sampler.levels[level + 1], u, v, coarse);
        for (int k = 0; k < 4; ++k) {
          const __m128 weight = _mm_set1_ps(biased[k] - static_cast<float>(whole[k]));
          texels[k] = _mm_add_ps(fine[k], _mm_mul_ps(_mm_sub_ps(coarse[k], fine[k]), weight));
        }
        return;
      }
    }
  }
  for (int k = 0; k < 4; ++k) texels[k] = filters::sampleTexture<D3DFMT_A8R8G8B8>(sampler, us[k], vs[k], lambdas[k]);
}

template <int Tex0, int Tex1, DepthMode Depth, BlendMode Blend, bool AlphaTest>
void shadeSpan(const void* context, const TriangleSetup& s, int y, int xBegin, int xEnd) {
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

  int x = xBegin;
  // Four pixels at a time when the sampled stages read 32-bit textures: the interpolants step exactly as in
  // the loop below, the depth test, division and coordinate work run on the four pixels' lanes, and every
  // value is the one the loop below computes, so the bytes written are the same.
  if constexpr (Tex0 == kTexture32 && (Tex1 == kNoTexture || Tex1 == kTexture32)) {
    for (; x + 4 <= xEnd; x += 4) {
      // The accumulators step exactly as in the one-pixel loop; lanes are built in registers (narrow
      // stores read back as one vector would stall store forwarding).
      const float r0 = rhw, r1 = r0 + s.rhwDx, r2 = r1 + s.rhwDx, r3 = r2 + s.rhwDx;
      rhw = r3 + s.rhwDx;
      const float z0 = z, z1 = z0 + s.zDx, z2 = z1 + s.zDx, z3 = z2 + s.zDx;
      z = z3 + s.zDx;
      __m128 colors[4], texs[4];
      for (int k = 0; k < 4; ++k) {
        colors[k] = color;
        texs[k] = tex;
        color = _mm_add_ps(color, colorDx);
        tex = _mm_add_ps(tex, texDx);
      }
      alignas(16) uint32_t depthValues[4] = {0, 0, 0, 0}, storedWords[4] = {0, 0, 0, 0};
      unsigned visible = 15u;
      if constexpr (Depth != DepthMode::kOff) {
        const __m128i stored = depthBytes == 4 ? _mm_loadu_si128(reinterpret_cast<const __m128i*>(depthOut))
                                               : _mm_unpacklo_epi16(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(depthOut)),
                                                                    _mm_setzero_si128());
        _mm_store_si128(reinterpret_cast<__m128i*>(storedWords), stored);
        visible = depthPasses4(_mm_setr_ps(z0, z1, z2, z3), depthMax, stored, depthShift, depthTable, depthValues);
      }
      if (visible != 0) {
        const __m128 w = _mm_div_ps(_mm_set1_ps(1.0f), _mm_setr_ps(r0, r1, r2, r3));
        __m128 u0 = texs[0], v0 = texs[1], u1 = texs[2], v1 = texs[3];
        _MM_TRANSPOSE4_PS(u0, v0, u1, v1);  // lanes: the four pixels
        const __m128 lanes[6] = {_mm_mul_ps(u0, w), _mm_mul_ps(v0, w), _mm_mul_ps(u1, w), _mm_mul_ps(v1, w),
                                 _mm_setzero_ps(), _mm_setzero_ps()};
        alignas(16) float wLanes[4];
        _mm_store_ps(wLanes, w);
        __m128 texels[kCascadeStages][4];
        sampleGroup(ps, s, 0, stage0, lanes[stage0.offset], lanes[stage0.offset + 1], wLanes, texels[0]);
        if constexpr (Tex1 == kTexture32) {
          sampleGroup(ps, s, 1, stage1, lanes[stage1.offset], lanes[stage1.offset + 1], wLanes, texels[1]);
        } else {
          for (int k = 0; k < 4; ++k) texels[1][k] = _mm_setzero_ps();
        }
        for (int k = 0; k < 4; ++k) {
          if ((visible >> k & 1u) == 0) continue;
          const __m128 textures[kCascadeStages] = {texels[0][k], texels[1][k]};
          BYTE* depthAt = Depth != DepthMode::kOff ? depthOut + k * depthBytes : nullptr;
          finish(_mm_mul_ps(colors[k], _mm_set1_ps(wLanes[k])), textures, colorOut + k * colorBytes, depthAt,
                 depthValues[k], storedWords[k]);
        }
      }
      colorOut += 4 * colorBytes;
      if constexpr (Depth != DepthMode::kOff) depthOut += 4 * depthBytes;
    }
  }

  for (; x < xEnd; ++x) {
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

constexpr int kDepthModes = 3, kBlendModes = 4, kTextureModes = 3;
constexpr size_t kRoutineCount = kTextureModes * kTextureModes * kDepthModes * kBlendModes * 2;

// Routine index: ((((texture mode 0) * 3 + texture mode 1) * 3 + depth mode) * 4 + blend mode) * 2 + alpha test.
template <size_t I>
constexpr SpanFunction routineAt() {
  constexpr size_t blendIndex = I / 2;
  return shadeSpan<static_cast<int>(blendIndex / (kTextureModes * kDepthModes * kBlendModes)),
                   static_cast<int>(blendIndex / (kDepthModes * kBlendModes) % kTextureModes),
                   static_cast<DepthMode>(blendIndex / kBlendModes % kDepthModes),
                   static_cast<BlendMode>(blendIndex % kBlendModes), (I % 2) != 0>;
}
template <size_t... I>
constexpr std::array<SpanFunction, sizeof...(I)> makeRoutines(std::index_sequence<I...>) {
  return {{routineAt<I>()...}};
}
constexpr std::array<SpanFunction, kRoutineCount> kRoutines = makeRoutines(std::make_index_sequence<kRoutineCount>{});

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
  *span = kRoutines[index * 2 + (alphaTest ? 1 : 0)];
  return true;
}

}  // namespace d3d8compat
