// Reference counting shared by every object of the software Direct3D 8 layer: AddRef/Release with
// delete at zero, and a QueryInterface that answers nothing (nobody asks). Also the helper that
// moves a counted reference held in a slot. Single-threaded, like the device.
#pragma once

#include "compat/win32/unknwn.h"

namespace d3d8compat {

template <class Interface>
class ComObject : public Interface {
 public:
  HRESULT QueryInterface(REFIID, void** object) override {
    if (object != nullptr) *object = nullptr;
    return E_NOINTERFACE;
  }
  ULONG AddRef() override { return ++refs_; }
  ULONG Release() override {
    const ULONG left = --refs_;
    if (left == 0) delete this;
    return left;
  }

 protected:
  ComObject() = default;
  ComObject(const ComObject&) = delete;
  ComObject& operator=(const ComObject&) = delete;

 private:
  ULONG refs_ = 1;
};

// Stores `value` in `slot`, taking a reference on the new object and dropping the one on the old.
// AddRef comes first so that re-storing the same object never frees it.
template <class T>
void assignRef(T*& slot, T* value) {
  if (value != nullptr) value->AddRef();
  if (slot != nullptr) slot->Release();
  slot = value;
}

}  // namespace d3d8compat
