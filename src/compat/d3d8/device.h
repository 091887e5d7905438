// The software Direct3D 8 device: owns the back buffer and the automatic depth buffer, keeps the
// DeviceState that draws read, records and applies state blocks, validates draw calls and hands them
// to the rasterizer, and presents the back buffer to the host's sink through the gamma ramp. It holds a
// reference to the Direct3D object that made it; its resources hold references to it (com_object.h).
// Its methods are spread over device.cpp, device_setters.cpp, device_blocks.cpp, render_targets.cpp,
// draw.cpp and present.cpp, one concern each. Single-threaded: main thread only, no locks.
#pragma once

#include <memory>
#include <vector>

#include "compat/d3d8/com_object.h"
#include "compat/d3d8/d3d8.h"
#include "compat/d3d8/device_state.h"
#include "compat/d3d8/state_block.h"

namespace d3d8compat {

struct DrawCall;

// What CreateDevice settled on, after validating the presentation parameters against the adapter.
struct DeviceSetup {
  HWND window = nullptr;  // where Present shows frames
  UINT width = 0, height = 0;
  D3DFORMAT backBufferFormat = D3DFMT_UNKNOWN;
  bool autoDepthStencil = false;
  D3DFORMAT depthStencilFormat = D3DFMT_UNKNOWN;
  bool windowed = true;  // the gamma ramp acts only when false
  bool alphaGreaterEqual = true;
  bool lockableBackBuffer = false;  // D3DPRESENTFLAG_LOCKABLE_BACKBUFFER
};

class Device final : public ComObject<IDirect3DDevice8> {
 public:
  // Null when the back buffer or depth buffer cannot be made at that size. Holds `parent` from now on.
  static Device* create(const DeviceSetup& setup, IDirect3D8* parent);
  ~Device();

  HRESULT GetDeviceCaps(D3DCAPS8* caps) override;
  void SetGammaRamp(DWORD flags, const D3DGAMMARAMP* ramp) override;

  HRESULT CreateTexture(UINT width, UINT height, UINT levels, DWORD usage, D3DFORMAT format, D3DPOOL pool,
                        IDirect3DTexture8** texture) override;
  HRESULT CreateVertexBuffer(UINT length, DWORD usage, DWORD fvf, D3DPOOL pool,
                             IDirect3DVertexBuffer8** vertexBuffer) override;
  HRESULT CreateIndexBuffer(UINT length, DWORD usage, D3DFORMAT format, D3DPOOL pool,
                            IDirect3DIndexBuffer8** indexBuffer) override;

  HRESULT SetRenderTarget(IDirect3DSurface8* renderTarget, IDirect3DSurface8* newZStencil) override;
  HRESULT GetRenderTarget(IDirect3DSurface8** renderTarget) override;
  HRESULT GetDepthStencilSurface(IDirect3DSurface8** zStencilSurface) override;

  HRESULT BeginScene() override;
  HRESULT EndScene() override;
  HRESULT Clear(DWORD count, const D3DRECT* rects, DWORD flags, D3DCOLOR color, float z,
                DWORD stencil) override;
  HRESULT Present(const RECT* sourceRect, const RECT* destRect, HWND destWindowOverride,
                  const void* dirtyRegion) override;

  HRESULT SetTransform(D3DTRANSFORMSTATETYPE state, const D3DMATRIX* matrix) override;
  HRESULT GetTransform(D3DTRANSFORMSTATETYPE state, D3DMATRIX* matrix) override;
  HRESULT SetViewport(const D3DVIEWPORT8* viewport) override;
  HRESULT GetViewport(D3DVIEWPORT8* viewport) override;
  HRESULT SetMaterial(const D3DMATERIAL8* material) override;
  HRESULT SetLight(DWORD index, const D3DLIGHT8* light) override;
  HRESULT LightEnable(DWORD index, BOOL enable) override;
  HRESULT SetRenderState(D3DRENDERSTATETYPE state, DWORD value) override;
  HRESULT GetRenderState(D3DRENDERSTATETYPE state, DWORD* value) override;

  HRESULT BeginStateBlock() override;
  HRESULT EndStateBlock(DWORD* token) override;
  HRESULT ApplyStateBlock(DWORD token) override;
  HRESULT CaptureStateBlock(DWORD token) override;
  HRESULT DeleteStateBlock(DWORD token) override;

  HRESULT GetTexture(DWORD stage, IDirect3DBaseTexture8** texture) override;
  HRESULT SetTexture(DWORD stage, IDirect3DBaseTexture8* texture) override;
  HRESULT GetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD* value) override;
  HRESULT SetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD value) override;

  HRESULT DrawPrimitive(D3DPRIMITIVETYPE primitiveType, UINT startVertex, UINT primitiveCount) override;
  HRESULT DrawIndexedPrimitive(D3DPRIMITIVETYPE primitiveType, UINT minIndex, UINT numVertices,
                               UINT startIndex, UINT primitiveCount) override;
  HRESULT DrawPrimitiveUP(D3DPRIMITIVETYPE primitiveType, UINT primitiveCount, const void* vertexStreamZeroData,
                          UINT vertexStreamZeroStride) override;

  HRESULT SetVertexShader(DWORD handle) override;
  HRESULT SetStreamSource(UINT streamNumber, IDirect3DVertexBuffer8* streamData, UINT stride) override;
  HRESULT SetIndices(IDirect3DIndexBuffer8* indexData, UINT baseVertexIndex) override;

  const DeviceState& state() const { return state_; }

 private:
  Device(const DeviceSetup& setup, IDirect3D8* parent);

  // Where Set* calls land: the block being recorded, or the device itself.
  DeviceState& setTarget() { return recording_ ? recording_->values : state_; }
  StateMask* recordingMask() { return recording_ ? &recording_->mask : nullptr; }
  StateBlock* findBlock(DWORD token);
  // Checks the primitive type and count and the current vertex format; fills those fields of `call`.
  HRESULT beginDraw(D3DPRIMITIVETYPE type, UINT primitiveCount, DrawCall* call) const;
  void submit(const DrawCall& call);
  void convertBackBuffer();

  DeviceSetup setup_;
  IDirect3D8* parent_;
  DeviceState state_;
  D3DCAPS8 caps_;
  Surface* autoDepthStencil_ = nullptr;  // the device's own reference, whatever is bound
  std::unique_ptr<StateBlock> recording_;
  std::vector<std::unique_ptr<StateBlock>> blocks_;  // token k is blocks_[k - 1]
  bool inScene_ = false;
  bool gammaIdentity_ = true;
  BYTE gamma_[3][256];               // 8-bit output per channel (red, green, blue): ramp >> 8
  std::vector<uint32_t> frame_;      // Present's 0xAARRGGBB copy of the back buffer, sized once
};

}  // namespace d3d8compat
