// Owning VARIANT: cleared with VariantClear when the owner goes.
#pragma once

#include <windows.h>
#include <oleauto.h>

namespace activex {

class Variant {
 public:
  Variant() { VariantInit(&v_); }
  Variant(const Variant&) = delete;
  Variant& operator=(const Variant&) = delete;
  ~Variant() { VariantClear(&v_); }

  // Replaces the content with an independent copy of `source` (arrays and strings copied,
  // interfaces referenced). On failure the old content stays.
  HRESULT CopyFrom(const VARIANT& source) {
    VARIANT copy;
    VariantInit(&copy);
    // VariantCopy only reads its source; its declaration lacks the const.
    HRESULT hr = VariantCopy(&copy, const_cast<VARIANT*>(&source));
    if (FAILED(hr)) return hr;
    VariantClear(&v_);
    v_ = copy;
    return S_OK;
  }
  HRESULT Clear() { return VariantClear(&v_); }

  bool empty() const { return v_.vt == VT_EMPTY; }
  VARIANT& get() { return v_; }
  const VARIANT& get() const { return v_; }
  VARIANT* ptr() { return &v_; }

 private:
  VARIANT v_;
};

}  // namespace activex
