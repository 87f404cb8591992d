// Owning one-dimensional byte array (SAFEARRAY of VT_UI1, lower bound 0).
#pragma once

#include <windows.h>
#include <oleauto.h>

#include <utility>

namespace activex {

class ByteSafeArray {
 public:
  ByteSafeArray() = default;
  ByteSafeArray(const ByteSafeArray&) = delete;
  ByteSafeArray& operator=(const ByteSafeArray&) = delete;
  ByteSafeArray(ByteSafeArray&& other) noexcept : a_(std::exchange(other.a_, nullptr)) {}
  ByteSafeArray& operator=(ByteSafeArray&& other) noexcept {
    ByteSafeArray(std::move(other)).Swap(*this);
    return *this;
  }
  ~ByteSafeArray() { Reset(); }

  static ByteSafeArray Adopt(SAFEARRAY* a) {
    ByteSafeArray r;
    r.a_ = a;
    return r;
  }

  // A new array of `count` zero bytes in place of the old one. E_OUTOFMEMORY keeps the old one.
  HRESULT Create(ULONG count) {
    SAFEARRAY* a = SafeArrayCreateVector(VT_UI1, 0, count);
    if (!a) return E_OUTOFMEMORY;
    Reset(a);
    return S_OK;
  }

  // An independent copy of `source`.
  HRESULT CopyFrom(SAFEARRAY* source) {
    if (!source) {
      Reset();
      return S_OK;
    }
    SAFEARRAY* copy = nullptr;
    HRESULT hr = SafeArrayCopy(source, &copy);
    if (FAILED(hr)) return hr;
    Reset(copy);
    return S_OK;
  }

  // Cuts the array down (or grows it) to `count` elements; the first elements stay.
  HRESULT Resize(ULONG count) {
    if (!a_) return E_POINTER;
    SAFEARRAYBOUND bound{count, 0};
    return SafeArrayRedim(a_, &bound);
  }

  // Element count of the only dimension (0 when there is no array).
  ULONG Count() const { return a_ ? a_->rgsabound[0].cElements : 0; }

  SAFEARRAY* get() const { return a_; }
  SAFEARRAY** put() {
    Reset();
    return &a_;
  }
  SAFEARRAY* Detach() { return std::exchange(a_, nullptr); }
  void Reset(SAFEARRAY* a = nullptr) {
    if (SAFEARRAY* old = std::exchange(a_, a); old && old != a) SafeArrayDestroy(old);
  }
  void Swap(ByteSafeArray& other) noexcept { std::swap(a_, other.a_); }
  explicit operator bool() const { return a_ != nullptr; }

 private:
  SAFEARRAY* a_ = nullptr;
};

// Access to an array's data for the lifetime of the object (SafeArrayAccessData/Unaccess).
class SafeArrayData {
 public:
  explicit SafeArrayData(SAFEARRAY* a) : a_(a) {
    hr_ = a ? SafeArrayAccessData(a, &data_) : E_POINTER;
    if (FAILED(hr_)) data_ = nullptr;
  }
  SafeArrayData(const SafeArrayData&) = delete;
  SafeArrayData& operator=(const SafeArrayData&) = delete;
  ~SafeArrayData() {
    if (SUCCEEDED(hr_)) SafeArrayUnaccessData(a_);
  }
  HRESULT status() const { return hr_; }
  unsigned char* bytes() const { return static_cast<unsigned char*>(data_); }

 private:
  SAFEARRAY* a_;
  void* data_ = nullptr;
  HRESULT hr_;
};

// True for a one-dimensional array of bytes (VT_UI1), the shape raw images and templates have.
inline bool IsByteVector(SAFEARRAY* a) {
  if (!a || SafeArrayGetDim(a) != 1 || SafeArrayGetElemsize(a) != 1) return false;
  VARTYPE vt = VT_EMPTY;
  return SUCCEEDED(SafeArrayGetVartype(a, &vt)) && vt == VT_UI1;
}

}  // namespace activex
