// Everything a Direct3D 8 device's drawing depends on, in one plain struct: render and texture-stage
// states indexed by their published values, bound textures, transforms, lights, material, viewport,
// vertex format, stream 0, index buffer, render target and depth buffer. The device keeps it; the
// rasterizer only reads it. Pointers here are references the owner holds (see assignRef); the struct
// itself neither counts nor frees anything.
#pragma once

#include <cstring>
#include <vector>

#include "compat/d3d8/d3d8_types.h"
#include "compat/d3d8/limits.h"

namespace d3d8compat {

class Surface;
class Texture;
class VertexBuffer;
class IndexBuffer;

// One light index the application has set or enabled. Direct3D 8 puts no limit on light indices; only
// MaxActiveLights of them light a vertex at once.
struct LightSlot {
  DWORD index;
  D3DLIGHT8 light;  // Type 0: never set
  bool enabled;
};

struct DeviceState {
  DWORD renderStates[kRenderStateCount];                // by D3DRENDERSTATETYPE; floats as bit patterns
  DWORD stageStates[kStageCount][kStageStateCount];     // by stage, then D3DTEXTURESTAGESTATETYPE
  Texture* textures[kStageCount];                       // null: no texture on the stage

  D3DMATRIX world;                                      // D3DTS_WORLD (256)
  D3DMATRIX worldMatrices[255];                         // D3DTS_WORLDMATRIX(1..255): kept, not drawn with
  D3DMATRIX view;                                       // D3DTS_VIEW
  D3DMATRIX projection;                                 // D3DTS_PROJECTION
  D3DMATRIX textureTransforms[kStageCount];             // D3DTS_TEXTURE0..7

  std::vector<LightSlot> lights;                        // by ascending index; grows as indices are named
  D3DMATERIAL8 material;
  D3DVIEWPORT8 viewport;

  DWORD fvf;                                            // SetVertexShader code; 0 before the first call
  VertexBuffer* streamSource;                           // stream 0
  UINT streamStride;
  IndexBuffer* indices;
  UINT baseVertexIndex;                                 // added to every index (SetIndices)

  Surface* renderTarget;                                // where draws and Clear write
  Surface* depthStencil;                                // null: no depth buffer
  Surface* backBuffer;                                  // what Present shows
};

// The value of a float-valued render state (POINTSIZE, POINTSCALE_A, ...).
inline float stateAsFloat(DWORD bits) {
  float value;
  std::memcpy(&value, &bits, sizeof value);
  return value;
}
inline DWORD floatAsState(float value) {
  DWORD bits;
  std::memcpy(&bits, &value, sizeof bits);
  return bits;
}

// Resets `state` to the values a new device starts with (render states, stage states, identity
// transforms, no lights, black material, full-target viewport). Leaves every pointer null.
void setCreationDefaults(DeviceState& state, bool autoDepthStencil, UINT width, UINT height);

// The matrix slot a transform type names, or null for a type the device does not keep.
D3DMATRIX* transformSlot(DeviceState& state, D3DTRANSFORMSTATETYPE type);

// The slot of a light index, or null when the index was never set or enabled.
const LightSlot* findLight(const DeviceState& state, DWORD index);
// The slot of a light index, made (never set, disabled) when it is new.
LightSlot& lightSlot(DeviceState& state, DWORD index);

// LightEnable on the device: enabling a light that was never set first defines the default light
// (directional, white diffuse, pointing along +z), as Direct3D 8 does.
void enableLight(DeviceState& state, DWORD index, bool enable);

}  // namespace d3d8compat
