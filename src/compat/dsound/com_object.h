// Inside the DirectSound stand-in: reference counting and QueryInterface for its COM objects, which
// delete themselves when the last reference goes. Not for use above compat/.
#pragma once

#include <atomic>

#include "compat/win32/unknwn.h"

namespace dsoundcompat {

// IUnknown's interface id, and GUID equality.
constexpr GUID kIidUnknown = {0x00000000, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
bool sameGuid(const GUID& a, const GUID& b);

template <typename Interface>
class ComObject : public Interface {
 public:
  HRESULT QueryInterface(REFIID iid, void** object) override {
    if (!object) return E_INVALIDARG;
    if (!sameGuid(iid, kIidUnknown) && !answersTo(iid)) {
      *object = nullptr;
      return E_NOINTERFACE;
    }
    AddRef();
    *object = this;
    return S_OK;
  }

  ULONG AddRef() override { return refs_.fetch_add(1) + 1; }

  ULONG Release() override {
    const ULONG left = refs_.fetch_sub(1) - 1;
    if (left == 0) delete this;
    return left;
  }

 protected:
  // True for the ids of the interfaces this object offers besides IUnknown.
  virtual bool answersTo(REFIID iid) const = 0;

 private:
  std::atomic<ULONG> refs_{1};
};

}  // namespace dsoundcompat
