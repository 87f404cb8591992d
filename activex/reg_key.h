// Owning registry key: closed with RegCloseKey when the owner goes.
#pragma once

#include <windows.h>

#include <utility>

namespace activex {

class RegKey {
 public:
  RegKey() = default;
  RegKey(const RegKey&) = delete;
  RegKey& operator=(const RegKey&) = delete;
  RegKey(RegKey&& other) noexcept : k_(std::exchange(other.k_, nullptr)) {}
  RegKey& operator=(RegKey&& other) noexcept {
    RegKey(std::move(other)).Swap(*this);
    return *this;
  }
  ~RegKey() { Reset(); }

  LONG Create(HKEY parent, const wchar_t* path, REGSAM access = KEY_READ | KEY_WRITE) {
    HKEY k = nullptr;
    LONG r = RegCreateKeyExW(parent, path, 0, nullptr, 0, access, nullptr, &k, nullptr);
    if (r == ERROR_SUCCESS) Reset(k);
    return r;
  }
  LONG Open(HKEY parent, const wchar_t* path, REGSAM access = KEY_READ) {
    HKEY k = nullptr;
    LONG r = RegOpenKeyExW(parent, path, 0, access, &k);
    if (r == ERROR_SUCCESS) Reset(k);
    return r;
  }

  HKEY get() const { return k_; }
  explicit operator bool() const { return k_ != nullptr; }
  void Reset(HKEY k = nullptr) {
    if (HKEY old = std::exchange(k_, k)) RegCloseKey(old);
  }
  void Swap(RegKey& other) noexcept { std::swap(k_, other.k_); }

 private:
  HKEY k_ = nullptr;
};

}  // namespace activex
