// Reference counting shared by every object of the software Direct3D 8 layer, as COM and Direct3D 8
// count: AddRef/Release count the application's references and return that count. The device's own
// holds on an object (what is bound, what a state block stores, its back buffer) are bindings: they keep
// the object alive without showing in its count, as native runtimes hide them. An object is deleted when
// both reach zero. A resource holds a reference to its device while the application holds the resource
// (DeviceChild), so a device released first lives until its last resource goes. QueryInterface answers
// nothing (nobody asks). Single-threaded, like the device.
#pragma once

#include "compat/d3d8/d3d8.h"

namespace d3d8compat {

template <class Interface>
class ComObject : public Interface {
 public:
  HRESULT QueryInterface(REFIID, void** object) override {
    if (object != nullptr) *object = nullptr;
    return E_NOINTERFACE;
  }
  ULONG AddRef() override {
    if (refs_++ == 0) firstReference();
    return refs_;
  }
  ULONG Release() override {
    if (refs_ == 0) return 0;  // one Release too many: nothing left to release
    const ULONG left = --refs_;
    if (left == 0) {
      ++bindings_;  // lastReference may end a binding of this very object (its device going away)
      lastReference();
      unbind();
    }
    return left;
  }
  virtual void bind() { ++bindings_; }
  virtual void unbind() {
    if (--bindings_ == 0 && refs_ == 0) delete this;
  }

 protected:
  ComObject() = default;  // with the creator's reference
  ComObject(const ComObject&) = delete;
  ComObject& operator=(const ComObject&) = delete;

  // The application's count leaves zero / reaches zero.
  virtual void firstReference() {}
  virtual void lastReference() {}
  // Made for its owner alone (a device's back buffer): no application reference, one binding.
  void startBound() {
    refs_ = 0;
    bindings_ = 1;
  }

 private:
  ULONG refs_ = 1;
  ULONG bindings_ = 0;
};

// A resource of one device: holds a reference to the device while the application holds the resource.
template <class Interface>
class DeviceChild : public ComObject<Interface> {
 public:
  IDirect3DDevice8* device() const { return device_; }

 protected:
  // `held`: made with the creator's reference, which holds the device from now.
  DeviceChild(IDirect3DDevice8* device, bool held) : device_(device) {
    if (held && device_ != nullptr) device_->AddRef();
  }
  void firstReference() override {
    if (device_ != nullptr) device_->AddRef();
  }
  void lastReference() override {
    if (device_ != nullptr) device_->Release();
  }

 private:
  IDirect3DDevice8* device_;
};

// Stores `value` in `slot` as a binding, taking one on the new object and ending the one on the old.
// The new binding comes first so that re-storing the same object never frees it.
template <class T>
void assignRef(T*& slot, T* value) {
  if (value != nullptr) value->bind();
  if (slot != nullptr) slot->unbind();
  slot = value;
}

}  // namespace d3d8compat
