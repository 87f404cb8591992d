// ISpecifyPropertyPages: the property pages the control lists (Control<T>::PropertyPages()).
#pragma once

#include <windows.h>
#include <ocidl.h>

#include "control.h"

namespace activex {

template <class T>
class SpecifyPropertyPagesImpl : public ISpecifyPropertyPages {
 public:
  // The caller frees pElems with CoTaskMemFree; no pages give a count of 0 and no array.
  STDMETHODIMP GetPages(CAUUID* pages) override {
    if (!pages) return E_POINTER;
    pages->cElems = 0;
    pages->pElems = nullptr;
    const CLSID* const* listed = T::PropertyPages();
    ULONG count = 0;
    while (listed[count]) ++count;
    if (count == 0) return S_OK;
    auto* ids = static_cast<GUID*>(CoTaskMemAlloc(count * sizeof(GUID)));
    if (!ids) return E_OUTOFMEMORY;
    for (ULONG i = 0; i < count; ++i) ids[i] = *listed[i];
    pages->cElems = count;
    pages->pElems = ids;
    return S_OK;
  }
};

}  // namespace activex
