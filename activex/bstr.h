// Owning BSTR: freed with SysFreeString when the owner goes. A null BSTR is the empty text.
#pragma once

#include <windows.h>
#include <oleauto.h>

#include <string>
#include <utility>

namespace activex {

class Bstr {
 public:
  Bstr() = default;
  Bstr(std::nullptr_t) {}
  // A new copy of a NUL-terminated text (null stays null). Check with `bool` for out of memory.
  explicit Bstr(const wchar_t* text) : s_(text ? SysAllocString(text) : nullptr) {}
  Bstr(const Bstr&) = delete;
  Bstr& operator=(const Bstr&) = delete;
  Bstr(Bstr&& other) noexcept : s_(std::exchange(other.s_, nullptr)) {}
  Bstr& operator=(Bstr&& other) noexcept {
    Bstr(std::move(other)).Swap(*this);
    return *this;
  }
  ~Bstr() { SysFreeString(s_); }

  // Adopts a BSTR the caller owns.
  static Bstr Adopt(BSTR s) {
    Bstr b;
    b.s_ = s;
    return b;
  }

  // Replaces the text with a copy of `s`, keeping its length (embedded NULs included).
  // Null copies to null. E_OUTOFMEMORY leaves the old text in place.
  HRESULT CopyFrom(BSTR s) {
    if (!s) {
      Reset();
      return S_OK;
    }
    BSTR copy = SysAllocStringLen(s, SysStringLen(s));
    if (!copy) return E_OUTOFMEMORY;
    Reset(copy);
    return S_OK;
  }

  // Hands a new copy to the caller (null when this holds none).
  HRESULT CopyTo(BSTR* out) const {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (!s_) return S_OK;
    *out = SysAllocStringLen(s_, SysStringLen(s_));
    return *out ? S_OK : E_OUTOFMEMORY;
  }

  BSTR get() const { return s_; }
  BSTR* put() {
    Reset();
    return &s_;
  }
  BSTR Detach() { return std::exchange(s_, nullptr); }
  void Reset(BSTR s = nullptr) {
    if (s_ != s) SysFreeString(std::exchange(s_, s));
  }
  void Swap(Bstr& other) noexcept { std::swap(s_, other.s_); }

  explicit operator bool() const { return s_ != nullptr; }
  UINT Length() const { return SysStringLen(s_); }
  std::wstring str() const { return s_ ? std::wstring(s_, SysStringLen(s_)) : std::wstring(); }

 private:
  BSTR s_ = nullptr;
};

}  // namespace activex
