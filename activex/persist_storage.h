// IPersistStorage over the control's property map: the properties live in one stream named
// "Contents" in the container's storage, laid out as IPersistStreamInit saves them. The control
// keeps no storage open between calls, so the storage hand-over steps need no work.
#pragma once

#include <windows.h>
#include <objidl.h>

#include "com_ptr.h"
#include "control.h"
#include "property_map.h"

namespace activex {

constexpr const wchar_t* kContentsStreamName = L"Contents";

template <class T>
class PersistStorageImpl : public IPersistStorage {
 public:
  STDMETHODIMP GetClassID(CLSID* id) override {
    if (!id) return E_POINTER;
    *id = T::GetObjectCLSID();
    return S_OK;
  }
  STDMETHODIMP IsDirty() override { return State().IsDirty() ? S_OK : S_FALSE; }

  STDMETHODIMP InitNew(IStorage* storage) override {
    if (!storage) return E_POINTER;
    State().SetDirty(false);
    return S_OK;
  }
  STDMETHODIMP Load(IStorage* storage) override {
    if (!storage) return E_POINTER;
    ComPtr<IStream> stream;
    HRESULT hr = storage->OpenStream(kContentsStreamName, nullptr,
                                     STGM_READ | STGM_SHARE_EXCLUSIVE, 0, stream.put());
    if (SUCCEEDED(hr)) hr = LoadProperties(static_cast<T&>(*this), stream.get());
    if (SUCCEEDED(hr)) State().SetDirty(false);
    return hr;
  }
  // Saving into the storage the control was loaded from makes it clean; a copy elsewhere does
  // not.
  STDMETHODIMP Save(IStorage* storage, BOOL sameAsLoad) override {
    if (!storage) return E_POINTER;
    ComPtr<IStream> stream;
    HRESULT hr = storage->CreateStream(
        kContentsStreamName, STGM_CREATE | STGM_READWRITE | STGM_SHARE_EXCLUSIVE, 0, 0,
        stream.put());
    if (SUCCEEDED(hr)) hr = SaveProperties(static_cast<T&>(*this), stream.get());
    if (SUCCEEDED(hr) && sameAsLoad) State().SetDirty(false);
    return hr;
  }
  STDMETHODIMP SaveCompleted(IStorage*) override { return S_OK; }
  STDMETHODIMP HandsOffStorage() override { return S_OK; }

 private:
  Control<T>& State() { return static_cast<T&>(*this); }
};

}  // namespace activex
