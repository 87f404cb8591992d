// Global memory blocks (the currency of clipboard-style data transfer): owned, and locked for a
// scope.
#pragma once

#include <windows.h>

#include <utility>

namespace activex {

// A global memory block, freed with GlobalFree when the owner goes.
class GlobalMemory {
 public:
  GlobalMemory() = default;
  GlobalMemory(UINT flags, SIZE_T bytes) : h_(GlobalAlloc(flags, bytes)) {}
  GlobalMemory(const GlobalMemory&) = delete;
  GlobalMemory& operator=(const GlobalMemory&) = delete;
  GlobalMemory(GlobalMemory&& other) noexcept : h_(std::exchange(other.h_, nullptr)) {}
  GlobalMemory& operator=(GlobalMemory&& other) noexcept {
    GlobalMemory(std::move(other)).Swap(*this);
    return *this;
  }
  ~GlobalMemory() {
    if (h_) GlobalFree(h_);
  }

  HGLOBAL get() const { return h_; }
  explicit operator bool() const { return h_ != nullptr; }
  HGLOBAL Detach() { return std::exchange(h_, nullptr); }
  void Swap(GlobalMemory& other) noexcept { std::swap(h_, other.h_); }

 private:
  HGLOBAL h_ = nullptr;
};

// The block's memory seen as a T for a scope (GlobalLock/GlobalUnlock); null when locking failed.
template <class T>
class GlobalLockScope {
 public:
  explicit GlobalLockScope(HGLOBAL h) : h_(h), p_(static_cast<T*>(GlobalLock(h))) {}
  GlobalLockScope(const GlobalLockScope&) = delete;
  GlobalLockScope& operator=(const GlobalLockScope&) = delete;
  ~GlobalLockScope() {
    if (p_) GlobalUnlock(h_);
  }
  T* get() const { return p_; }
  T* operator->() const { return p_; }

 private:
  HGLOBAL h_;
  T* p_;
};

}  // namespace activex
