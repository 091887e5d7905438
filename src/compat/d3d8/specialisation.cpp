// preparePixelState: reads a draw's state into the pixel state and picks its routine (fixed-point rows
// where they serve, else a four-pixel-group routine where one exists, else the one-pixel routine).
#include <atomic>

#include "compat/d3d8/group_routines.h"
#include "compat/d3d8/output_merge.h"
#include "compat/d3d8/surface.h"
#include "compat/d3d8/texture.h"

namespace d3d8compat {
namespace {

using namespace routines;

std::atomic<bool> g_pixelGroups{true};

BlendMode chooseBlend(DWORD srcBlend, DWORD destBlend, bool enabled, bool target32) {
  if (!enabled) return target32 ? BlendMode::kOpaque : BlendMode::kGeneral;
  if (!target32) return BlendMode::kGeneral;
  if (srcBlend == D3DBLEND_SRCALPHA && destBlend == D3DBLEND_INVSRCALPHA) return BlendMode::kSourceAlpha;
  if (srcBlend == D3DBLEND_ONE && destBlend == D3DBLEND_ONE) return BlendMode::kAdditive;
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
  if (rs[D3DRS_ALPHABLENDENABLE] == 0) {  // the general blend then writes the source as it is
    ps->srcBlend = D3DBLEND_ONE;
    ps->destBlend = D3DBLEND_ZERO;
  } else if (ps->srcBlend == D3DBLEND_BOTHSRCALPHA || ps->srcBlend == D3DBLEND_BOTHINVSRCALPHA) {
    // BOTH* sets both factors from the source alpha, whatever DESTBLEND says.
    const bool inverse = ps->srcBlend == D3DBLEND_BOTHINVSRCALPHA;
    ps->srcBlend = inverse ? D3DBLEND_INVSRCALPHA : D3DBLEND_SRCALPHA;
    ps->destBlend = inverse ? D3DBLEND_SRCALPHA : D3DBLEND_INVSRCALPHA;
  }
  ps->blendMode = chooseBlend(ps->srcBlend, ps->destBlend, rs[D3DRS_ALPHABLENDENABLE] != 0, target32);

  const DWORD factor = rs[D3DRS_TEXTUREFACTOR];
  ps->factor = _mm_set_ps(static_cast<float>(factor >> 24) / 255.0f, static_cast<float>((factor >> 16) & 0xFF) / 255.0f,
                          static_cast<float>((factor >> 8) & 0xFF) / 255.0f, static_cast<float>(factor & 0xFF) / 255.0f);
  compileCascade(state, &ps->cascade, ps->blends);
  for (int s = 0; s < kCascadeStages; ++s) {
    ps->textureMode[s] = kNoTexture;
    ps->coordinateOffset[s] = 2 * s;  // the vertex stage puts stage s's coordinates in slot s
    if (s >= ps->cascade.count || !ps->cascade.samples[s]) continue;
    prepareSampler(state, s, *state.textures[s], &ps->samplers[s]);
    ps->textureMode[s] = ps->samplers[s].is32Bit ? kTexture32 : kTextureOther;
  }

  ps->specularAdd = rs[D3DRS_SPECULARENABLE] != 0;
  ps->specular = ps->specularAdd || ps->cascade.readsSpecular;
  if (ps->specular || ps->cascade.general) {
    ps->blendMode = BlendMode::kGeneral;
    *span = generalRoutine(ps->textureMode[0] != kNoTexture, ps->textureMode[1] != kNoTexture, ps->depthMode);
    return true;
  }
  const size_t index = routineIndex(ps->textureMode[0], ps->textureMode[1], ps->depthMode, ps->blendMode);
  SpanFunction grouped = nullptr;
  if (g_pixelGroups.load(std::memory_order_relaxed)) {
    const int t0 = ps->textureMode[0], t1 = ps->textureMode[1];
    switch (ps->depthMode) {
      case DepthMode::kOff: grouped = groupRoutine<DepthMode::kOff>(t0, t1, ps->blendMode); break;
      case DepthMode::kTestWrite: grouped = groupRoutine<DepthMode::kTestWrite>(t0, t1, ps->blendMode); break;
      case DepthMode::kTestOnly: grouped = groupRoutine<DepthMode::kTestOnly>(t0, t1, ps->blendMode); break;
    }
  }
  if (grouped != nullptr && ps->cascade.textureBlend && ps->textureMode[0] == kTexture32 &&
      ps->textureMode[1] == kTexture32 && ps->depthMode == DepthMode::kOff) {
    grouped = textureBlendRoutine(ps->blendMode);
  }
  if (grouped != nullptr) {
    const SpanFunction fixed = ps->cascade.textureBlend ? fixedBlendRoutine(*ps) : fixedRowRoutine(ps);
    if (fixed != nullptr) {
      ps->floatSpan = grouped;
      *span = fixed;
      return true;
    }
  }
  *span = grouped != nullptr ? grouped : onePixelRoutine(index);
  return true;
}

void setPixelGroups(bool enabled) { g_pixelGroups.store(enabled, std::memory_order_relaxed); }

}  // namespace d3d8compat
