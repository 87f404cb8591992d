// IObjectSafety: the object claims the Supported options (by default only "safe for scripting",
// INTERFACESAFE_FOR_UNTRUSTED_CALLER) for every interface it has; the enabled options start
// at 0 and are one set for the whole object.
//
//   class CThing : ..., public activex::ObjectSafetyImpl<CThing> { ... };
//
// - Get for an interface the object lacks: supported 0, enabled 0 and QueryInterface's error.
// - Set for an interface the object lacks: E_NOINTERFACE.
// - Set with a mask holding any unsupported bit: E_FAIL, nothing changes.
// - Otherwise the masked bits take the requested values.
// The interface is asked of the object's identity (the outer object when aggregated).
#pragma once

#include <windows.h>
#include <objsafe.h>

#include "com_ptr.h"

// mingw-w64's objsafe.h declares the interface without the identity __uuidof needs.
__CRT_UUID_DECL(IObjectSafety, 0xcb5bdc81, 0x93c1, 0x11cf, 0x8f, 0x20, 0x00, 0x80, 0x5f, 0x2c,
                0xd0, 0x64)

namespace activex {

template <class T, DWORD Supported = INTERFACESAFE_FOR_UNTRUSTED_CALLER>
class ObjectSafetyImpl : public IObjectSafety {
 public:
  STDMETHODIMP GetInterfaceSafetyOptions(REFIID iid, DWORD* supported, DWORD* enabled) override {
    if (!supported || !enabled) return E_POINTER;
    *supported = 0;
    *enabled = 0;
    ComPtr<IUnknown> itf;
    if (HRESULT hr = Identity()->QueryInterface(iid, itf.put_void()); FAILED(hr)) return hr;
    *supported = Supported;
    *enabled = enabled_;
    return S_OK;
  }
  STDMETHODIMP SetInterfaceSafetyOptions(REFIID iid, DWORD mask, DWORD enabled) override {
    ComPtr<IUnknown> itf;
    if (FAILED(Identity()->QueryInterface(iid, itf.put_void()))) return E_NOINTERFACE;
    if (mask & ~Supported) return E_FAIL;
    enabled_ = (enabled_ & ~mask) | (enabled & mask);
    return S_OK;
  }

 protected:
  ObjectSafetyImpl() = default;
  ~ObjectSafetyImpl() = default;

 private:
  IUnknown* Identity() { return static_cast<T*>(this)->ControllingUnknown(); }

  DWORD enabled_ = 0;
};

}  // namespace activex
