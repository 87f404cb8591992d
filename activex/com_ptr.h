// Owning pointer to a COM interface: one reference, released when the owner goes.
#pragma once

#include <unknwn.h>

#include <utility>

namespace activex {

template <class T>
class ComPtr {
 public:
  ComPtr() = default;
  ComPtr(std::nullptr_t) {}
  // Takes a new reference to `p`.
  explicit ComPtr(T* p) : p_(p) {
    if (p_) p_->AddRef();
  }
  ComPtr(const ComPtr& other) : ComPtr(other.p_) {}
  ComPtr(ComPtr&& other) noexcept : p_(std::exchange(other.p_, nullptr)) {}
  ~ComPtr() { Reset(); }

  ComPtr& operator=(const ComPtr& other) {
    ComPtr(other).Swap(*this);
    return *this;
  }
  ComPtr& operator=(ComPtr&& other) noexcept {
    ComPtr(std::move(other)).Swap(*this);
    return *this;
  }
  ComPtr& operator=(std::nullptr_t) {
    Reset();
    return *this;
  }

  // Adopts a reference the caller already owns.
  static ComPtr Adopt(T* p) {
    ComPtr r;
    r.p_ = p;
    return r;
  }

  T* get() const { return p_; }
  T* operator->() const { return p_; }
  explicit operator bool() const { return p_ != nullptr; }

  // Releases the current reference and returns the slot for an out-parameter.
  T** put() {
    Reset();
    return &p_;
  }
  void** put_void() { return reinterpret_cast<void**>(put()); }

  T* Detach() { return std::exchange(p_, nullptr); }
  void Reset() {
    if (T* p = std::exchange(p_, nullptr)) p->Release();
  }
  void Swap(ComPtr& other) noexcept { std::swap(p_, other.p_); }

  // Hands a new reference to an out-parameter (null stays null).
  HRESULT CopyTo(T** out) const {
    if (!out) return E_POINTER;
    *out = p_;
    if (p_) p_->AddRef();
    return S_OK;
  }

  template <class U>
  HRESULT As(ComPtr<U>& out) const {
    if (!p_) return E_POINTER;
    return p_->QueryInterface(__uuidof(U), out.put_void());
  }
  HRESULT As(REFIID iid, void** out) const {
    if (!p_) return E_POINTER;
    return p_->QueryInterface(iid, out);
  }

  bool operator==(const ComPtr& other) const { return p_ == other.p_; }
  bool operator!=(const ComPtr& other) const { return p_ != other.p_; }

 private:
  T* p_ = nullptr;
};

}  // namespace activex
