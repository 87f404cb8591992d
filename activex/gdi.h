// Owning GDI objects and device-context state.
#pragma once

#include <windows.h>

#include <utility>

namespace activex {

// A GDI object (region, bitmap, pen, brush, font) deleted with DeleteObject when the owner goes.
template <class H>
class GdiObject {
 public:
  GdiObject() = default;
  explicit GdiObject(H h) : h_(h) {}
  GdiObject(const GdiObject&) = delete;
  GdiObject& operator=(const GdiObject&) = delete;
  GdiObject(GdiObject&& other) noexcept : h_(std::exchange(other.h_, nullptr)) {}
  GdiObject& operator=(GdiObject&& other) noexcept {
    GdiObject(std::move(other)).Swap(*this);
    return *this;
  }
  ~GdiObject() { Reset(); }

  H get() const { return h_; }
  explicit operator bool() const { return h_ != nullptr; }
  H Detach() { return std::exchange(h_, nullptr); }
  void Reset(H h = nullptr) {
    if (H old = std::exchange(h_, h)) DeleteObject(old);
  }
  void Swap(GdiObject& other) noexcept { std::swap(h_, other.h_); }

 private:
  H h_ = nullptr;
};

using Region = GdiObject<HRGN>;
using Bitmap = GdiObject<HBITMAP>;

// A memory device context deleted with DeleteDC.
class MemoryDC {
 public:
  explicit MemoryDC(HDC compatible = nullptr) : dc_(CreateCompatibleDC(compatible)) {}
  MemoryDC(const MemoryDC&) = delete;
  MemoryDC& operator=(const MemoryDC&) = delete;
  ~MemoryDC() {
    if (dc_) DeleteDC(dc_);
  }
  HDC get() const { return dc_; }

 private:
  HDC dc_;
};

// Selects an object into a device context and selects the previous one back at scope end.
class SelectedObject {
 public:
  SelectedObject(HDC dc, HGDIOBJ object) : dc_(dc), old_(SelectObject(dc, object)) {}
  SelectedObject(const SelectedObject&) = delete;
  SelectedObject& operator=(const SelectedObject&) = delete;
  ~SelectedObject() {
    if (old_ && old_ != HGDI_ERROR) SelectObject(dc_, old_);
  }

 private:
  HDC dc_;
  HGDIOBJ old_;
};

}  // namespace activex
