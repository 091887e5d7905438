// The recordable Set* calls and their Get* counterparts. While a state block is being recorded a Set*
// call lands in the block only and marks the state as named there; otherwise it changes the device.
// Get* calls always read the device.
#include "compat/d3d8/buffers.h"
#include "compat/d3d8/device.h"
#include "compat/d3d8/fvf.h"
#include "compat/d3d8/surface.h"
#include "compat/d3d8/texture.h"
#include "compat/d3d8/viewport.h"

namespace d3d8compat {
namespace {

void nameOnce(std::vector<DWORD>& indices, DWORD index) {
  for (DWORD named : indices) {
    if (named == index) return;
  }
  indices.push_back(index);
}

}  // namespace

HRESULT Device::SetRenderState(D3DRENDERSTATETYPE state, DWORD value) {
  if (state >= kRenderStateCount) return D3DERR_INVALIDCALL;
  setTarget().renderStates[state] = value;
  if (StateMask* mask = recordingMask()) mask->renderStates.set(state);
  return D3D_OK;
}

HRESULT Device::GetRenderState(D3DRENDERSTATETYPE state, DWORD* value) {
  if (state >= kRenderStateCount || value == nullptr) return D3DERR_INVALIDCALL;
  *value = state_.renderStates[state];
  return D3D_OK;
}

HRESULT Device::SetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD value) {
  if (stage >= kStageCount || type >= kStageStateCount) return D3DERR_INVALIDCALL;
  setTarget().stageStates[stage][type] = value;
  if (StateMask* mask = recordingMask()) mask->stageStates[stage].set(type);
  return D3D_OK;
}

HRESULT Device::GetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD* value) {
  if (stage >= kStageCount || type >= kStageStateCount || value == nullptr) return D3DERR_INVALIDCALL;
  *value = state_.stageStates[stage][type];
  return D3D_OK;
}

// Every base texture this device hands out is a Texture, so the downcast is safe. Scratch textures
// cannot be drawn with, and a texture of another device cannot be bound.
HRESULT Device::SetTexture(DWORD stage, IDirect3DBaseTexture8* texture) {
  if (stage >= kStageCount) return D3DERR_INVALIDCALL;
  Texture* bound = static_cast<Texture*>(texture);
  if (bound != nullptr && (bound->pool() == D3DPOOL_SCRATCH || bound->device() != this)) return D3DERR_INVALIDCALL;
  assignRef(setTarget().textures[stage], bound);
  if (StateMask* mask = recordingMask()) mask->textures[stage] = true;
  return D3D_OK;
}

HRESULT Device::GetTexture(DWORD stage, IDirect3DBaseTexture8** texture) {
  if (stage >= kStageCount || texture == nullptr) return D3DERR_INVALIDCALL;
  Texture* bound = state_.textures[stage];
  if (bound != nullptr) bound->AddRef();
  *texture = bound;
  return D3D_OK;
}

HRESULT Device::SetTransform(D3DTRANSFORMSTATETYPE state, const D3DMATRIX* matrix) {
  D3DMATRIX* slot = transformSlot(setTarget(), state);
  if (slot == nullptr || matrix == nullptr) return D3DERR_INVALIDCALL;
  *slot = *matrix;
  if (StateMask* mask = recordingMask()) {
    if (state == D3DTS_WORLD) mask->world = true;
    if (state == D3DTS_VIEW) mask->view = true;
    if (state == D3DTS_PROJECTION) mask->projection = true;
    if (state > D3DTS_WORLD && state <= D3DTS_WORLDMATRIX(255)) mask->worldMatrices.set(state - D3DTS_WORLD - 1);
    if (state >= D3DTS_TEXTURE0 && state <= D3DTS_TEXTURE7) mask->textureTransforms[state - D3DTS_TEXTURE0] = true;
  }
  return D3D_OK;
}

HRESULT Device::GetTransform(D3DTRANSFORMSTATETYPE state, D3DMATRIX* matrix) {
  const D3DMATRIX* slot = transformSlot(state_, state);
  if (slot == nullptr || matrix == nullptr) return D3DERR_INVALIDCALL;
  *matrix = *slot;
  return D3D_OK;
}

HRESULT Device::SetViewport(const D3DVIEWPORT8* viewport) {
  if (viewport == nullptr || !viewportFits(*viewport, state_.renderTarget)) return D3DERR_INVALIDCALL;
  setTarget().viewport = *viewport;
  if (StateMask* mask = recordingMask()) mask->viewport = true;
  return D3D_OK;
}

HRESULT Device::GetViewport(D3DVIEWPORT8* viewport) {
  if (viewport == nullptr) return D3DERR_INVALIDCALL;
  *viewport = state_.viewport;
  return D3D_OK;
}

HRESULT Device::SetMaterial(const D3DMATERIAL8* material) {
  if (material == nullptr) return D3DERR_INVALIDCALL;
  setTarget().material = *material;
  if (StateMask* mask = recordingMask()) mask->material = true;
  return D3D_OK;
}

HRESULT Device::SetLight(DWORD index, const D3DLIGHT8* light) {
  if (light == nullptr) return D3DERR_INVALIDCALL;
  if (light->Type != D3DLIGHT_POINT && light->Type != D3DLIGHT_SPOT && light->Type != D3DLIGHT_DIRECTIONAL) {
    return D3DERR_INVALIDCALL;
  }
  lightSlot(setTarget(), index).light = *light;
  if (StateMask* mask = recordingMask()) nameOnce(mask->lights, index);
  return D3D_OK;
}

// Any index may be enabled, and more than MaxActiveLights at once: the vertex stage lights with the
// lowest MaxActiveLights of them (native Direct3D 8 accepts the call and reports the light enabled).
HRESULT Device::LightEnable(DWORD index, BOOL enable) {
  if (StateMask* mask = recordingMask()) {
    lightSlot(recording_->values, index).enabled = enable != FALSE;
    nameOnce(mask->lightEnables, index);
  } else {
    enableLight(state_, index, enable != FALSE);
  }
  return D3D_OK;
}

// 0 (no vertex format) is accepted; draws then fail until a format is set.
HRESULT Device::SetVertexShader(DWORD handle) {
  FvfLayout layout;
  if (handle != 0 && !decodeFvf(handle, &layout)) return D3DERR_INVALIDCALL;
  setTarget().fvf = handle;
  if (StateMask* mask = recordingMask()) mask->fvf = true;
  return D3D_OK;
}

HRESULT Device::SetStreamSource(UINT streamNumber, IDirect3DVertexBuffer8* streamData, UINT stride) {
  if (streamNumber != 0 || stride > kMaxStreamStride) return D3DERR_INVALIDCALL;
  DeviceState& target = setTarget();
  assignRef(target.streamSource, static_cast<VertexBuffer*>(streamData));
  target.streamStride = stride;
  if (StateMask* mask = recordingMask()) mask->streamSource = true;
  return D3D_OK;
}

HRESULT Device::SetIndices(IDirect3DIndexBuffer8* indexData, UINT baseVertexIndex) {
  DeviceState& target = setTarget();
  assignRef(target.indices, static_cast<IndexBuffer*>(indexData));
  target.baseVertexIndex = baseVertexIndex;
  if (StateMask* mask = recordingMask()) mask->indices = true;
  return D3D_OK;
}

}  // namespace d3d8compat
