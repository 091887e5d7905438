#include "compat/d3d8/sampler.h"

#include "compat/d3d8/sampler_filters.h"
#include "compat/d3d8/texture.h"

namespace d3d8compat {

using filters::sampleTexture;

void prepareSampler(const DeviceState& state, int stage, const Texture& texture, SamplerState* sampler) {
  const DWORD* ss = state.stageStates[stage];
  // A4R4G4B4 levels are read through their widened A8R8G8B8 copies.
  const D3DFORMAT format = texture.level(0)->samplingFormat();
  switch (format) {
    case D3DFMT_X8R8G8B8: sampler->sample = sampleTexture<D3DFMT_A8R8G8B8>; break;  // alpha by the masks
    case D3DFMT_R5G6B5: sampler->sample = sampleTexture<D3DFMT_R5G6B5>; break;
    default: sampler->sample = sampleTexture<D3DFMT_A8R8G8B8>; break;
  }
  const int count = std::min<int>(static_cast<int>(texture.levelCount()), 16);
  for (int k = 0; k < count; ++k) {
    const Surface* surface = texture.level(static_cast<UINT>(k));
    SamplerLevel& level = sampler->levels[k];
    level.bits = surface->samplingBits();
    level.width = static_cast<int>(surface->width());
    level.height = static_cast<int>(surface->height());
    level.pitch = static_cast<int>(surface->samplingPitch());
    level.widthF = static_cast<float>(level.width);
    level.heightF = static_cast<float>(level.height);
    level.powerOfTwo = (level.width & (level.width - 1)) == 0 && (level.height & (level.height - 1)) == 0;
    const bool noAlpha = format == D3DFMT_X8R8G8B8;
    level.forceAlpha = noAlpha;
    level.keep = _mm_castsi128_ps(_mm_set_epi32(noAlpha ? 0 : -1, -1, -1, -1));
    level.force = _mm_set_ps(noAlpha ? 1.0f : 0.0f, 0.0f, 0.0f, 0.0f);
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
  sampler->is32Bit = format == D3DFMT_A8R8G8B8 || format == D3DFMT_X8R8G8B8;
  sampler->needsLod = sampler->magFilter != sampler->minFilter ||
                      (sampler->mipFilter != D3DTEXF_NONE && sampler->lastLevel > sampler->baseLevel);
}

}  // namespace d3d8compat
