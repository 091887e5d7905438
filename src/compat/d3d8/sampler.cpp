#include "compat/d3d8/sampler.h"

#include <algorithm>

#include "compat/d3d8/texture.h"

namespace d3d8compat {
namespace {

const __m128 kInverse255 = _mm_set1_ps(1.0f / 255.0f);

// One texel as floats in lanes b, g, r, a.
template <D3DFORMAT Format>
__m128 fetch(const SamplerLevel& level, int x, int y) {
  const BYTE* p = level.bits + static_cast<size_t>(y) * level.pitch;
  if constexpr (Format == D3DFMT_A8R8G8B8 || Format == D3DFMT_X8R8G8B8) {
    int32_t word;
    __builtin_memcpy(&word, p + static_cast<size_t>(x) * 4, 4);
    const __m128i zero = _mm_setzero_si128();
    const __m128i lanes = _mm_unpacklo_epi16(_mm_unpacklo_epi8(_mm_cvtsi32_si128(word), zero), zero);
    __m128 texel = _mm_mul_ps(_mm_cvtepi32_ps(lanes), kInverse255);
    if constexpr (Format == D3DFMT_X8R8G8B8) {
      const __m128 rgbMask = _mm_castsi128_ps(_mm_set_epi32(0, -1, -1, -1));
      texel = _mm_or_ps(_mm_and_ps(texel, rgbMask), _mm_set_ps(1.0f, 0.0f, 0.0f, 0.0f));
    }
    return texel;
  } else {
    uint16_t word;
    __builtin_memcpy(&word, p + static_cast<size_t>(x) * 2, 2);
    if constexpr (Format == D3DFMT_R5G6B5) {
      return _mm_set_ps(1.0f, static_cast<float>(word >> 11) / 31.0f, static_cast<float>((word >> 5) & 63) / 63.0f,
                        static_cast<float>(word & 31) / 31.0f);
    } else {  // A4R4G4B4
      return _mm_set_ps(static_cast<float>(word >> 12) / 15.0f, static_cast<float>((word >> 8) & 15) / 15.0f,
                        static_cast<float>((word >> 4) & 15) / 15.0f, static_cast<float>(word & 15) / 15.0f);
    }
  }
}

int floorToInt(float x) {
  const int i = static_cast<int>(x);
  return x < static_cast<float>(i) ? i - 1 : i;
}

// Keeps coordinates small before scaling, so the integer conversion cannot overflow: WRAP repeats every
// 1.0 anyway, and CLAMP smears edge texels beyond [-1, 2] the same as at [-1, 2].
float reduce(float t, bool clamp) {
  if (clamp) return std::clamp(t, -1.0f, 2.0f);
  return t - static_cast<float>(floorToInt(t));
}

int address(int i, int size, bool clamp) {
  if (clamp) return std::clamp(i, 0, size - 1);
  i %= size;
  return i < 0 ? i + size : i;
}

template <D3DFORMAT Format>
__m128 pointSample(const SamplerState& s, const SamplerLevel& level, float u, float v) {
  const int x = address(floorToInt(reduce(u, s.clampU) * level.widthF), level.width, s.clampU);
  const int y = address(floorToInt(reduce(v, s.clampV) * level.heightF), level.height, s.clampV);
  return fetch<Format>(level, x, y);
}

template <D3DFORMAT Format>
__m128 bilinearSample(const SamplerState& s, const SamplerLevel& level, float u, float v) {
  const float x = reduce(u, s.clampU) * level.widthF - 0.5f;
  const float y = reduce(v, s.clampV) * level.heightF - 0.5f;
  const int i0 = floorToInt(x), j0 = floorToInt(y);
  const __m128 fu = _mm_set1_ps(x - static_cast<float>(i0));
  const __m128 fv = _mm_set1_ps(y - static_cast<float>(j0));
  const int x0 = address(i0, level.width, s.clampU), x1 = address(i0 + 1, level.width, s.clampU);
  const int y0 = address(j0, level.height, s.clampV), y1 = address(j0 + 1, level.height, s.clampV);
  const __m128 t00 = fetch<Format>(level, x0, y0), t10 = fetch<Format>(level, x1, y0);
  const __m128 t01 = fetch<Format>(level, x0, y1), t11 = fetch<Format>(level, x1, y1);
  const __m128 top = _mm_add_ps(t00, _mm_mul_ps(_mm_sub_ps(t10, t00), fu));
  const __m128 bottom = _mm_add_ps(t01, _mm_mul_ps(_mm_sub_ps(t11, t01), fu));
  return _mm_add_ps(top, _mm_mul_ps(_mm_sub_ps(bottom, top), fv));
}

template <D3DFORMAT Format>
__m128 filterLevel(const SamplerState& s, int level, DWORD filter, float u, float v) {
  return filter == D3DTEXF_POINT ? pointSample<Format>(s, s.levels[level], u, v)
                                 : bilinearSample<Format>(s, s.levels[level], u, v);
}

template <D3DFORMAT Format>
__m128 sampleTexture(const SamplerState& s, float u, float v, float lambda) {
  lambda += s.lodBias;
  if (!(lambda > 0.0f)) return filterLevel<Format>(s, s.baseLevel, s.magFilter, u, v);
  if (s.mipFilter == D3DTEXF_NONE) return filterLevel<Format>(s, s.baseLevel, s.minFilter, u, v);
  if (s.mipFilter == D3DTEXF_POINT) {
    const int level = std::min(s.baseLevel + floorToInt(lambda + 0.5f), s.lastLevel);
    return filterLevel<Format>(s, level, s.minFilter, u, v);
  }
  const int whole = floorToInt(lambda);
  const int level = s.baseLevel + whole;
  if (level >= s.lastLevel) return filterLevel<Format>(s, s.lastLevel, s.minFilter, u, v);
  const __m128 fine = filterLevel<Format>(s, level, s.minFilter, u, v);
  const __m128 coarse = filterLevel<Format>(s, level + 1, s.minFilter, u, v);
  const __m128 weight = _mm_set1_ps(lambda - static_cast<float>(whole));
  return _mm_add_ps(fine, _mm_mul_ps(_mm_sub_ps(coarse, fine), weight));
}

}  // namespace

void prepareSampler(const DeviceState& state, int stage, const Texture& texture, SamplerState* sampler) {
  const DWORD* ss = state.stageStates[stage];
  switch (texture.format()) {
    case D3DFMT_X8R8G8B8: sampler->sample = sampleTexture<D3DFMT_X8R8G8B8>; break;
    case D3DFMT_R5G6B5: sampler->sample = sampleTexture<D3DFMT_R5G6B5>; break;
    case D3DFMT_A4R4G4B4: sampler->sample = sampleTexture<D3DFMT_A4R4G4B4>; break;
    default: sampler->sample = sampleTexture<D3DFMT_A8R8G8B8>; break;
  }
  const int count = std::min<int>(static_cast<int>(texture.levelCount()), 16);
  for (int k = 0; k < count; ++k) {
    const Surface* surface = texture.level(static_cast<UINT>(k));
    SamplerLevel& level = sampler->levels[k];
    level.bits = surface->bits();
    level.width = static_cast<int>(surface->width());
    level.height = static_cast<int>(surface->height());
    level.pitch = static_cast<int>(surface->pitch());
    level.widthF = static_cast<float>(level.width);
    level.heightF = static_cast<float>(level.height);
  }
  sampler->lastLevel = count - 1;
  sampler->baseLevel = std::min<int>(static_cast<int>(ss[D3DTSS_MAXMIPLEVEL]), count - 1);
  auto filter = [](DWORD f) { return f == D3DTEXF_POINT ? DWORD{D3DTEXF_POINT} : DWORD{D3DTEXF_LINEAR}; };
  sampler->magFilter = filter(ss[D3DTSS_MAGFILTER]);
  sampler->minFilter = filter(ss[D3DTSS_MINFILTER]);
  const DWORD mip = ss[D3DTSS_MIPFILTER];
  sampler->mipFilter = mip == D3DTEXF_NONE ? DWORD{D3DTEXF_NONE} : filter(mip);
  sampler->lodBias = stateAsFloat(ss[D3DTSS_MIPMAPLODBIAS]);
  sampler->clampU = ss[D3DTSS_ADDRESSU] != D3DTADDRESS_WRAP;
  sampler->clampV = ss[D3DTSS_ADDRESSV] != D3DTADDRESS_WRAP;
  sampler->needsLod = sampler->magFilter != sampler->minFilter ||
                      (sampler->mipFilter != D3DTEXF_NONE && sampler->lastLevel > sampler->baseLevel);
}

}  // namespace d3d8compat
