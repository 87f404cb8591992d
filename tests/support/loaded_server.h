// A server DLL loaded into the test process and used through its exports, as COM would.
#pragma once

#include <windows.h>
#include <unknwn.h>

#include <string>

#include "com_ptr.h"

namespace registry_test {

class LoadedServer {
 public:
  // `unixPath`: the DLL's path as the build tree names it. Stays loaded until the process ends.
  explicit LoadedServer(const std::wstring& unixPath);

  HRESULT GetClassObject(REFCLSID clsid, REFIID iid, void** out) const;
  HRESULT CanUnloadNow() const;

  // A new object of `clsid` through its class factory.
  template <class I>
  HRESULT Create(REFCLSID clsid, activex::ComPtr<I>& out) const {
    activex::ComPtr<IClassFactory> factory;
    HRESULT hr = GetClassObject(clsid, IID_IClassFactory, factory.put_void());
    if (FAILED(hr)) return hr;
    return factory->CreateInstance(nullptr, __uuidof(I), out.put_void());
  }

  bool loaded() const { return getClassObject_ && canUnloadNow_; }

 private:
  HMODULE module_ = nullptr;
  HRESULT(WINAPI* getClassObject_)(REFCLSID, REFIID, void**) = nullptr;
  HRESULT(WINAPI* canUnloadNow_)() = nullptr;
};

}  // namespace registry_test
