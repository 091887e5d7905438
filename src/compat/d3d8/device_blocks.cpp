// State-block calls on the device: recording, capture, apply and delete by token. Tokens are 1-based
// indices into the device's block table (0 and 0xFFFFFFFF are never handed out); a deleted slot is
// reused. Nothing but BeginStateBlock/EndStateBlock is allowed while recording (ApplyStateBlock(0) is a
// no-op that always succeeds).
#include "compat/d3d8/device.h"

namespace d3d8compat {

StateBlock* Device::findBlock(DWORD token) {
  if (token == 0 || token > blocks_.size()) return nullptr;
  return blocks_[token - 1].get();
}

HRESULT Device::BeginStateBlock() {
  if (recording_) return D3DERR_INVALIDCALL;
  recording_ = std::make_unique<StateBlock>();
  return D3D_OK;
}

HRESULT Device::EndStateBlock(DWORD* token) {
  if (!recording_ || token == nullptr) return D3DERR_INVALIDCALL;
  for (size_t i = 0; i < blocks_.size(); ++i) {
    if (!blocks_[i]) {
      blocks_[i] = std::move(recording_);
      *token = static_cast<DWORD>(i + 1);
      return D3D_OK;
    }
  }
  blocks_.push_back(std::move(recording_));
  *token = static_cast<DWORD>(blocks_.size());
  return D3D_OK;
}

HRESULT Device::CaptureStateBlock(DWORD token) {
  StateBlock* block = findBlock(token);
  if (recording_ || block == nullptr) return D3DERR_INVALIDCALL;
  captureStateBlock(*block, state_);
  return D3D_OK;
}

HRESULT Device::ApplyStateBlock(DWORD token) {
  if (token == 0) return D3D_OK;  // never a block's token: native Direct3D 8 applies nothing and succeeds
  const StateBlock* block = findBlock(token);
  if (recording_ || block == nullptr) return D3DERR_INVALIDCALL;
  applyStateBlock(*block, state_);
  return D3D_OK;
}

HRESULT Device::DeleteStateBlock(DWORD token) {
  if (recording_ || findBlock(token) == nullptr) return D3DERR_INVALIDCALL;
  blocks_[token - 1].reset();
  return D3D_OK;
}

}  // namespace d3d8compat
