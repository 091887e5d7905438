// Device lifetime, resource creation, caps and scene bracketing.
#include "compat/d3d8/device.h"

#include "compat/d3d8/buffers.h"
#include "compat/d3d8/caps.h"
#include "compat/d3d8/d3d8_host.h"
#include "compat/d3d8/surface.h"
#include "compat/d3d8/texture.h"

namespace d3d8compat {

Device* Device::create(const DeviceSetup& setup, IDirect3D8* parent) {
  Device* device = new Device(setup, parent);
  // Each surface starts with one binding, the device's own; binding them as current takes one more each.
  Surface* backBuffer = Surface::createOwned(device, setup.width, setup.height, setup.backBufferFormat,
                                             D3DUSAGE_RENDERTARGET, setup.lockableBackBuffer);
  Surface* depth = nullptr;
  if (backBuffer != nullptr && setup.autoDepthStencil) {
    depth = Surface::createOwned(device, setup.width, setup.height, setup.depthStencilFormat, D3DUSAGE_DEPTHSTENCIL,
                                 false);
  }
  device->state_.backBuffer = backBuffer;
  device->autoDepthStencil_ = depth;
  if (backBuffer == nullptr || (setup.autoDepthStencil && depth == nullptr)) {
    device->Release();
    return nullptr;
  }
  assignRef(device->state_.renderTarget, backBuffer);
  assignRef(device->state_.depthStencil, depth);
  return device;
}

Device::Device(const DeviceSetup& setup, IDirect3D8* parent)
    : setup_(setup), parent_(parent), caps_(softwareDeviceCaps(setup.alphaGreaterEqual)),
      frame_(static_cast<size_t>(setup.width) * setup.height) {
  if (parent_ != nullptr) parent_->AddRef();
  setCreationDefaults(state_, setup.autoDepthStencil, setup.width, setup.height);
  for (int i = 0; i < 256; ++i) gamma_[0][i] = gamma_[1][i] = gamma_[2][i] = static_cast<BYTE>(i);
}

Device::~Device() {
  recording_.reset();
  blocks_.clear();
  for (Texture*& texture : state_.textures) assignRef(texture, static_cast<Texture*>(nullptr));
  assignRef(state_.streamSource, static_cast<VertexBuffer*>(nullptr));
  assignRef(state_.indices, static_cast<IndexBuffer*>(nullptr));
  assignRef(state_.renderTarget, static_cast<Surface*>(nullptr));
  assignRef(state_.depthStencil, static_cast<Surface*>(nullptr));
  assignRef(state_.backBuffer, static_cast<Surface*>(nullptr));
  assignRef(autoDepthStencil_, static_cast<Surface*>(nullptr));
  if (parent_ != nullptr) parent_->Release();
}

HRESULT Device::GetDeviceCaps(D3DCAPS8* caps) {
  if (caps == nullptr) return D3DERR_INVALIDCALL;
  *caps = caps_;
  return D3D_OK;
}

HRESULT Device::CreateTexture(UINT width, UINT height, UINT levels, DWORD usage, D3DFORMAT format, D3DPOOL pool,
                              IDirect3DTexture8** texture) {
  if (texture == nullptr) return D3DERR_INVALIDCALL;
  Texture* created = nullptr;
  const HRESULT hr = Texture::create(this, width, height, levels, usage, format, pool, &created);
  if (hr == D3D_OK) *texture = created;  // a failed call leaves the caller's pointer as it was
  return hr;
}

HRESULT Device::CreateVertexBuffer(UINT length, DWORD usage, DWORD fvf, D3DPOOL pool,
                                   IDirect3DVertexBuffer8** vertexBuffer) {
  if (vertexBuffer == nullptr) return D3DERR_INVALIDCALL;
  VertexBuffer* created = nullptr;
  const HRESULT hr = VertexBuffer::create(this, length, usage, fvf, pool, &created);
  *vertexBuffer = created;
  return hr;
}

HRESULT Device::CreateIndexBuffer(UINT length, DWORD usage, D3DFORMAT format, D3DPOOL pool,
                                  IDirect3DIndexBuffer8** indexBuffer) {
  if (indexBuffer == nullptr) return D3DERR_INVALIDCALL;
  IndexBuffer* created = nullptr;
  const HRESULT hr = IndexBuffer::create(this, length, usage, format, pool, &created);
  *indexBuffer = created;
  return hr;
}

HRESULT Device::BeginScene() {
  if (inScene_) return D3DERR_INVALIDCALL;
  inScene_ = true;
  return D3D_OK;
}

HRESULT Device::EndScene() {
  if (!inScene_) return D3DERR_INVALIDCALL;
  inScene_ = false;
  return D3D_OK;
}

const DeviceState& deviceState(IDirect3DDevice8* device) { return static_cast<Device*>(device)->state(); }

}  // namespace d3d8compat
