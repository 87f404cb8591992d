// Owning kernel handle: closed with CloseHandle when the owner goes.
#pragma once

#include <windows.h>

#include <utility>

namespace activex {

class UniqueHandle {
 public:
  UniqueHandle() = default;
  explicit UniqueHandle(HANDLE h) : h_(h == INVALID_HANDLE_VALUE ? nullptr : h) {}
  UniqueHandle(const UniqueHandle&) = delete;
  UniqueHandle& operator=(const UniqueHandle&) = delete;
  UniqueHandle(UniqueHandle&& other) noexcept : h_(std::exchange(other.h_, nullptr)) {}
  UniqueHandle& operator=(UniqueHandle&& other) noexcept {
    UniqueHandle(std::move(other)).Swap(*this);
    return *this;
  }
  ~UniqueHandle() { Reset(); }

  HANDLE get() const { return h_; }
  explicit operator bool() const { return h_ != nullptr; }
  HANDLE Detach() { return std::exchange(h_, nullptr); }
  void Reset(HANDLE h = nullptr) {
    if (HANDLE old = std::exchange(h_, h == INVALID_HANDLE_VALUE ? nullptr : h)) CloseHandle(old);
  }
  void Swap(UniqueHandle& other) noexcept { std::swap(h_, other.h_); }

 private:
  HANDLE h_ = nullptr;
};

}  // namespace activex
