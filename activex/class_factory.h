// The class object a server hands out for one of its classes: creates objects through a
// creation function and counts server locks. One static instance per class, cached for the
// module's life; a reference held by a client keeps the module loaded.
#pragma once

#include <windows.h>
#include <unknwn.h>

#include "module_lock.h"

namespace activex {

using CreateFunction = HRESULT (*)(IUnknown* outer, REFIID iid, void** out);

class ClassFactory final : public IClassFactory {
 public:
  explicit constexpr ClassFactory(CreateFunction create) : create_(create) {}

  STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    if (InlineIsEqualGUID(iid, IID_IUnknown) || InlineIsEqualGUID(iid, IID_IClassFactory)) {
      *out = static_cast<IClassFactory*>(this);
      AddRef();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  STDMETHODIMP_(ULONG) AddRef() override {
    LockModule();
    return 2;
  }
  STDMETHODIMP_(ULONG) Release() override {
    UnlockModule();
    return 1;
  }
  STDMETHODIMP CreateInstance(IUnknown* outer, REFIID iid, void** out) override {
    return create_(outer, iid, out);
  }
  STDMETHODIMP LockServer(BOOL lock) override {
    if (lock)
      LockModule();
    else
      UnlockModule();
    return S_OK;
  }

 private:
  CreateFunction create_;
};

}  // namespace activex
