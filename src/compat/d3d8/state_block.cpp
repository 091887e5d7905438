#include "compat/d3d8/state_block.h"

#include "compat/d3d8/buffers.h"
#include "compat/d3d8/com_object.h"
#include "compat/d3d8/surface.h"
#include "compat/d3d8/texture.h"
#include "compat/d3d8/viewport.h"

namespace d3d8compat {
namespace {

// Copies the states `mask` names from `from` to `to`, moving references. Capture and Apply are the
// same copy in opposite directions; only the device side re-runs LightEnable's rule and checks the
// viewport against its render target.
void copyNamedStates(const StateMask& mask, const DeviceState& from, DeviceState& to, bool toDevice) {
  for (UINT rs = 0; rs < kRenderStateCount; ++rs) {
    if (mask.renderStates[rs]) to.renderStates[rs] = from.renderStates[rs];
  }
  for (UINT stage = 0; stage < kStageCount; ++stage) {
    for (UINT type = 0; type < kStageStateCount; ++type) {
      if (mask.stageStates[stage][type]) to.stageStates[stage][type] = from.stageStates[stage][type];
    }
    if (mask.textures[stage]) assignRef(to.textures[stage], from.textures[stage]);
    if (mask.textureTransforms[stage]) to.textureTransforms[stage] = from.textureTransforms[stage];
  }
  if (mask.world) to.world = from.world;
  for (UINT i = 0; i < 255; ++i) {
    if (mask.worldMatrices[i]) to.worldMatrices[i] = from.worldMatrices[i];
  }
  if (mask.view) to.view = from.view;
  if (mask.projection) to.projection = from.projection;
  // A light the source never had reads as never set and disabled.
  for (DWORD index : mask.lights) {
    const LightSlot* source = findLight(from, index);
    lightSlot(to, index).light = source != nullptr ? source->light : D3DLIGHT8{};
  }
  for (DWORD index : mask.lightEnables) {
    const LightSlot* source = findLight(from, index);
    const bool enabled = source != nullptr && source->enabled;
    if (toDevice) {
      enableLight(to, index, enabled);
    } else {
      lightSlot(to, index).enabled = enabled;
    }
  }
  if (mask.material) to.material = from.material;
  if (mask.viewport && (!toDevice || viewportFits(from.viewport, to.renderTarget))) to.viewport = from.viewport;
  if (mask.fvf) to.fvf = from.fvf;
  if (mask.streamSource) {
    assignRef(to.streamSource, from.streamSource);
    to.streamStride = from.streamStride;
  }
  if (mask.indices) {
    assignRef(to.indices, from.indices);
    to.baseVertexIndex = from.baseVertexIndex;
  }
}

}  // namespace

StateBlock::~StateBlock() {
  for (Texture*& texture : values.textures) assignRef(texture, static_cast<Texture*>(nullptr));
  assignRef(values.streamSource, static_cast<VertexBuffer*>(nullptr));
  assignRef(values.indices, static_cast<IndexBuffer*>(nullptr));
}

void captureStateBlock(StateBlock& block, const DeviceState& device) {
  copyNamedStates(block.mask, device, block.values, false);
}

void applyStateBlock(const StateBlock& block, DeviceState& device) {
  copyNamedStates(block.mask, block.values, device, true);
}

}  // namespace d3d8compat
