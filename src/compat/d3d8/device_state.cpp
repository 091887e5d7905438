#include "compat/d3d8/device_state.h"

#include <algorithm>

#include "compat/d3d8/d3d8_host.h"

namespace d3d8compat {
namespace {

D3DMATRIX identity() {
  D3DMATRIX m{};
  m._11 = m._22 = m._33 = m._44 = 1.0f;
  return m;
}

void setRenderStateDefaults(DWORD* rs, bool autoDepthStencil) {
  rs[D3DRS_ZENABLE] = autoDepthStencil ? D3DZB_TRUE : D3DZB_FALSE;
  rs[D3DRS_FILLMODE] = D3DFILL_SOLID;
  rs[D3DRS_SHADEMODE] = D3DSHADE_GOURAUD;
  rs[D3DRS_ZWRITEENABLE] = TRUE;
  rs[D3DRS_ALPHATESTENABLE] = FALSE;
  rs[D3DRS_LASTPIXEL] = TRUE;
  rs[D3DRS_SRCBLEND] = D3DBLEND_ONE;
  rs[D3DRS_DESTBLEND] = D3DBLEND_ZERO;
  rs[D3DRS_CULLMODE] = D3DCULL_CCW;
  rs[D3DRS_ZFUNC] = D3DCMP_LESSEQUAL;
  rs[D3DRS_ALPHAREF] = 0;
  rs[D3DRS_ALPHAFUNC] = D3DCMP_ALWAYS;
  rs[D3DRS_DITHERENABLE] = FALSE;
  rs[D3DRS_ALPHABLENDENABLE] = FALSE;
  rs[D3DRS_FOGENABLE] = FALSE;
  rs[D3DRS_SPECULARENABLE] = FALSE;
  rs[D3DRS_FOGCOLOR] = 0;
  rs[D3DRS_FOGTABLEMODE] = D3DFOG_NONE;
  rs[D3DRS_FOGSTART] = floatAsState(0.0f);
  rs[D3DRS_FOGEND] = floatAsState(1.0f);
  rs[D3DRS_FOGDENSITY] = floatAsState(1.0f);
  rs[D3DRS_ZBIAS] = 0;
  rs[D3DRS_STENCILENABLE] = FALSE;
  rs[D3DRS_STENCILFAIL] = D3DSTENCILOP_KEEP;
  rs[D3DRS_STENCILZFAIL] = D3DSTENCILOP_KEEP;
  rs[D3DRS_STENCILPASS] = D3DSTENCILOP_KEEP;
  rs[D3DRS_STENCILFUNC] = D3DCMP_ALWAYS;
  rs[D3DRS_STENCILREF] = 0;
  rs[D3DRS_STENCILMASK] = 0xFFFFFFFF;
  rs[D3DRS_STENCILWRITEMASK] = 0xFFFFFFFF;
  rs[D3DRS_TEXTUREFACTOR] = 0xFFFFFFFF;
  for (DWORD wrap = D3DRS_WRAP0; wrap <= D3DRS_WRAP7; ++wrap) rs[wrap] = 0;
  rs[D3DRS_CLIPPING] = TRUE;
  rs[D3DRS_LIGHTING] = TRUE;
  rs[D3DRS_AMBIENT] = 0;
  rs[D3DRS_FOGVERTEXMODE] = D3DFOG_NONE;
  rs[D3DRS_COLORVERTEX] = TRUE;
  rs[D3DRS_LOCALVIEWER] = TRUE;
  rs[D3DRS_NORMALIZENORMALS] = FALSE;
  rs[D3DRS_DIFFUSEMATERIALSOURCE] = D3DMCS_COLOR1;
  rs[D3DRS_SPECULARMATERIALSOURCE] = D3DMCS_COLOR2;
  rs[D3DRS_AMBIENTMATERIALSOURCE] = D3DMCS_MATERIAL;
  rs[D3DRS_EMISSIVEMATERIALSOURCE] = D3DMCS_MATERIAL;
  rs[D3DRS_POINTSIZE] = floatAsState(1.0f);
  rs[D3DRS_POINTSIZE_MIN] = floatAsState(0.0f);  // 0.0 in Direct3D 8 (1.0 only from Direct3D 9)
  rs[D3DRS_POINTSPRITEENABLE] = FALSE;
  rs[D3DRS_POINTSCALEENABLE] = FALSE;
  rs[D3DRS_POINTSCALE_A] = floatAsState(1.0f);
  rs[D3DRS_POINTSCALE_B] = floatAsState(0.0f);
  rs[D3DRS_POINTSCALE_C] = floatAsState(0.0f);
  rs[D3DRS_MULTISAMPLEANTIALIAS] = TRUE;
  rs[D3DRS_MULTISAMPLEMASK] = 0xFFFFFFFF;
  rs[D3DRS_POINTSIZE_MAX] = floatAsState(adapterProfile().maxPointSize);  // 64 on the default adapter
  rs[D3DRS_COLORWRITEENABLE] = 0xF;
  rs[D3DRS_BLENDOP] = D3DBLENDOP_ADD;
}

void setStageDefaults(DWORD* ss, DWORD stage) {
  ss[D3DTSS_COLOROP] = stage == 0 ? D3DTOP_MODULATE : D3DTOP_DISABLE;
  ss[D3DTSS_COLORARG1] = D3DTA_TEXTURE;
  ss[D3DTSS_COLORARG2] = D3DTA_CURRENT;
  ss[D3DTSS_ALPHAOP] = stage == 0 ? D3DTOP_SELECTARG1 : D3DTOP_DISABLE;
  ss[D3DTSS_ALPHAARG1] = D3DTA_TEXTURE;
  ss[D3DTSS_ALPHAARG2] = D3DTA_CURRENT;
  ss[D3DTSS_TEXCOORDINDEX] = stage;
  ss[D3DTSS_ADDRESSU] = D3DTADDRESS_WRAP;
  ss[D3DTSS_ADDRESSV] = D3DTADDRESS_WRAP;
  ss[D3DTSS_ADDRESSW] = D3DTADDRESS_WRAP;
  ss[D3DTSS_BORDERCOLOR] = 0;
  ss[D3DTSS_MAGFILTER] = D3DTEXF_POINT;
  ss[D3DTSS_MINFILTER] = D3DTEXF_POINT;
  ss[D3DTSS_MIPFILTER] = D3DTEXF_NONE;
  ss[D3DTSS_MIPMAPLODBIAS] = 0;
  ss[D3DTSS_MAXMIPLEVEL] = 0;
  ss[D3DTSS_MAXANISOTROPY] = 1;
  ss[D3DTSS_TEXTURETRANSFORMFLAGS] = D3DTTFF_DISABLE;
  ss[D3DTSS_COLORARG0] = D3DTA_CURRENT;
  ss[D3DTSS_ALPHAARG0] = D3DTA_CURRENT;
  ss[D3DTSS_RESULTARG] = D3DTA_CURRENT;
}

}  // namespace

void setCreationDefaults(DeviceState& state, bool autoDepthStencil, UINT width, UINT height) {
  state = DeviceState{};
  setRenderStateDefaults(state.renderStates, autoDepthStencil);
  for (DWORD stage = 0; stage < kStageCount; ++stage) {
    setStageDefaults(state.stageStates[stage], stage);
    state.textureTransforms[stage] = identity();
  }
  state.world = state.view = state.projection = identity();
  for (D3DMATRIX& m : state.worldMatrices) m = identity();
  state.viewport = D3DVIEWPORT8{0, 0, width, height, 0.0f, 1.0f};
}

D3DMATRIX* transformSlot(DeviceState& state, D3DTRANSFORMSTATETYPE type) {
  switch (type) {
    case D3DTS_WORLD:
      return &state.world;
    case D3DTS_VIEW:
      return &state.view;
    case D3DTS_PROJECTION:
      return &state.projection;
    default:
      if (type >= D3DTS_TEXTURE0 && type <= D3DTS_TEXTURE7) return &state.textureTransforms[type - D3DTS_TEXTURE0];
      if (type > D3DTS_WORLD && type <= D3DTS_WORLDMATRIX(255)) return &state.worldMatrices[type - D3DTS_WORLD - 1];
      return nullptr;
  }
}

const LightSlot* findLight(const DeviceState& state, DWORD index) {
  const auto at = std::lower_bound(state.lights.begin(), state.lights.end(), index,
                                   [](const LightSlot& slot, DWORD i) { return slot.index < i; });
  return at != state.lights.end() && at->index == index ? &*at : nullptr;
}

LightSlot& lightSlot(DeviceState& state, DWORD index) {
  const auto at = std::lower_bound(state.lights.begin(), state.lights.end(), index,
                                   [](const LightSlot& slot, DWORD i) { return slot.index < i; });
  if (at != state.lights.end() && at->index == index) return *at;
  return *state.lights.insert(at, LightSlot{index, D3DLIGHT8{}, false});
}

void enableLight(DeviceState& state, DWORD index, bool enable) {
  LightSlot& slot = lightSlot(state, index);
  D3DLIGHT8& light = slot.light;
  if (enable && light.Type == 0) {
    light = D3DLIGHT8{};
    light.Type = D3DLIGHT_DIRECTIONAL;
    light.Diffuse = D3DCOLORVALUE{1.0f, 1.0f, 1.0f, 0.0f};
    light.Direction = D3DVECTOR{0.0f, 0.0f, 1.0f};
  }
  slot.enabled = enable;
}

}  // namespace d3d8compat
