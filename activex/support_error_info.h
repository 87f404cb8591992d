// ISupportErrorInfo for an object whose own interface I reports rich errors: S_OK for I,
// S_FALSE for every other interface.
//
//   class CThing : ..., public activex::SupportErrorInfoImpl<IThing> { ... };
#pragma once

#include <windows.h>
#include <oaidl.h>

namespace activex {

template <class I>
class SupportErrorInfoImpl : public ISupportErrorInfo {
 public:
  STDMETHODIMP InterfaceSupportsErrorInfo(REFIID iid) override {
    return InlineIsEqualGUID(iid, __uuidof(I)) ? S_OK : S_FALSE;
  }

 protected:
  SupportErrorInfoImpl() = default;
  ~SupportErrorInfoImpl() = default;
};

}  // namespace activex
