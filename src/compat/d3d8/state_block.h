// Recorded state blocks: the values of the states a block names (in a DeviceState) and a mask of which
// ones it names. Recording fills the values without touching the device; Capture copies the device's
// current values of exactly the named states into the block; Apply sets them on the device. A block
// holds a reference on every texture and buffer it stores.
#pragma once

#include <bitset>
#include <vector>

#include "compat/d3d8/device_state.h"

namespace d3d8compat {

struct StateMask {
  std::bitset<kRenderStateCount> renderStates;
  std::bitset<kStageStateCount> stageStates[kStageCount];
  bool textures[kStageCount] = {};
  bool world = false, view = false, projection = false;
  std::bitset<255> worldMatrices;      // D3DTS_WORLDMATRIX(1..255)
  bool textureTransforms[kStageCount] = {};
  std::vector<DWORD> lights;           // indices named by SetLight
  std::vector<DWORD> lightEnables;     // ... by LightEnable
  bool material = false;
  bool viewport = false;
  bool fvf = false;
  bool streamSource = false;
  bool indices = false;
};

class StateBlock {
 public:
  StateBlock() = default;
  ~StateBlock();
  StateBlock(const StateBlock&) = delete;
  StateBlock& operator=(const StateBlock&) = delete;

  DeviceState values{};
  StateMask mask;
};

// Copies the device's values of the block's named states into the block.
void captureStateBlock(StateBlock& block, const DeviceState& device);
// Sets the block's named states on the device. A recorded viewport that does not fit the current
// render target is left out.
void applyStateBlock(const StateBlock& block, DeviceState& device);

}  // namespace d3d8compat
