// IPersistStreamInit over the control's property map (property_map.h holds the stream layout).
#pragma once

#include <windows.h>
#include <ocidl.h>

#include "control.h"
#include "property_map.h"

namespace activex {

template <class T>
class PersistStreamInitImpl : public IPersistStreamInit {
 public:
  STDMETHODIMP GetClassID(CLSID* id) override {
    if (!id) return E_POINTER;
    *id = T::GetObjectCLSID();
    return S_OK;
  }
  STDMETHODIMP IsDirty() override { return State().IsDirty() ? S_OK : S_FALSE; }

  // A loaded control is clean; a load that fails part-way leaves the properties read so far.
  STDMETHODIMP Load(LPSTREAM stream) override {
    if (!stream) return E_POINTER;
    HRESULT hr = LoadProperties(static_cast<T&>(*this), stream);
    if (SUCCEEDED(hr)) State().SetDirty(false);
    return hr;
  }
  STDMETHODIMP Save(LPSTREAM stream, BOOL clearDirty) override {
    if (!stream) return E_POINTER;
    HRESULT hr = SaveProperties(static_cast<T&>(*this), stream);
    if (SUCCEEDED(hr) && clearDirty) State().SetDirty(false);
    return hr;
  }
  STDMETHODIMP GetSizeMax(ULARGE_INTEGER* size) override {
    return SavedPropertiesSize(static_cast<T&>(*this), size);
  }
  // A control starts out with its default properties; a new one has nothing to save yet.
  STDMETHODIMP InitNew() override {
    State().SetDirty(false);
    return S_OK;
  }

 private:
  Control<T>& State() { return static_cast<T&>(*this); }
};

}  // namespace activex
