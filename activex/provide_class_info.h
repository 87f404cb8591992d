// IProvideClassInfo and IProvideClassInfo2: the class's type information from the module's
// type library, and its default event interface (Source null: the class has none).
//
//   class CThing : ..., public activex::ProvideClassInfo2Impl<&CLSID_Thing, &DIID__IThingEvents> {};
//   // interface map: Entry<CThing, IProvideClassInfo, IProvideClassInfo2>(),
//   //                Entry<CThing, IProvideClassInfo2>()
#pragma once

#include <windows.h>
#include <ocidl.h>

#include "type_library.h"

namespace activex {

template <const CLSID* Clsid, const IID* Source = nullptr>
class ProvideClassInfo2Impl : public IProvideClassInfo2 {
 public:
  STDMETHODIMP GetClassInfo(ITypeInfo** out) override {
    if (!out) return E_POINTER;
    return ModuleTypeInfo(*Clsid, out);
  }
  // The default source interface, or E_FAIL (GUID_NULL) when there is none or another kind
  // of GUID is asked for.
  STDMETHODIMP GetGUID(DWORD kind, GUID* out) override {
    if (!out) return E_POINTER;
    if (kind == GUIDKIND_DEFAULT_SOURCE_DISP_IID && Source) {
      *out = *Source;
      return S_OK;
    }
    *out = GUID_NULL;
    return E_FAIL;
  }

 protected:
  ProvideClassInfo2Impl() = default;
  ~ProvideClassInfo2Impl() = default;
};

}  // namespace activex
