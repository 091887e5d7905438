// IUnknown: the reference-counted base of every COM interface the stand-ins offer (Direct3D 8,
// DirectSound 8). Objects delete themselves when Release brings the count to zero.
#pragma once

#include "compat/win32/win32_types.h"

using REFIID = const GUID&;

struct IUnknown {
  virtual HRESULT QueryInterface(REFIID iid, void** object) = 0;
  virtual ULONG AddRef() = 0;
  virtual ULONG Release() = 0;

 protected:
  virtual ~IUnknown() = default;
};
