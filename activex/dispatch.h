// IDispatch of a dual interface, served from the module's embedded type library: names,
// DISPIDs and argument conversion all come from the interface's type information.
//
//   class CThing : public activex::ObjectRoot<CThing>, public activex::DispatchImpl<IThing> {
//     // IThing's own methods ...
//   };
//   // interface map: Entry<CThing, IThing>(), Entry<CThing, IDispatch, IThing>()
#pragma once

#include <windows.h>
#include <oaidl.h>

#include "com_ptr.h"
#include "type_library.h"

namespace activex {

template <class I>
class DispatchImpl : public I {
 public:
  STDMETHODIMP GetTypeInfoCount(UINT* count) override {
    if (!count) return E_POINTER;
    *count = 1;
    return S_OK;
  }
  STDMETHODIMP GetTypeInfo(UINT index, LCID, ITypeInfo** out) override {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (index != 0) return DISP_E_BADINDEX;
    return ModuleTypeInfo(__uuidof(I), out);
  }
  STDMETHODIMP GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID,
                             DISPID* ids) override {
    if (!InlineIsEqualGUID(iid, IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
    ComPtr<ITypeInfo> info;
    if (HRESULT hr = ModuleTypeInfo(__uuidof(I), info.put()); FAILED(hr)) return hr;
    return info->GetIDsOfNames(names, count, ids);
  }
  STDMETHODIMP Invoke(DISPID id, REFIID iid, LCID, WORD flags, DISPPARAMS* params,
                      VARIANT* result, EXCEPINFO* exception, UINT* argError) override {
    if (!InlineIsEqualGUID(iid, IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
    ComPtr<ITypeInfo> info;
    if (HRESULT hr = ModuleTypeInfo(__uuidof(I), info.put()); FAILED(hr)) return hr;
    return info->Invoke(static_cast<I*>(this), id, flags, params, result, exception, argError);
  }

 protected:
  DispatchImpl() = default;
  ~DispatchImpl() = default;
};

}  // namespace activex
