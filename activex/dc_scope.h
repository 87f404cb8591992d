// Device contexts borrowed for a scope: a window's (GetDC), a paint cycle's (BeginPaint), and a
// saved drawing state restored when the scope ends.
#pragma once

#include <windows.h>

namespace activex {

// The device context of a window, or of the screen for a null window; released at scope end.
class WindowDC {
 public:
  explicit WindowDC(HWND window) : window_(window), dc_(GetDC(window)) {}
  WindowDC(const WindowDC&) = delete;
  WindowDC& operator=(const WindowDC&) = delete;
  ~WindowDC() {
    if (dc_) ReleaseDC(window_, dc_);
  }
  HDC get() const { return dc_; }

 private:
  HWND window_;
  HDC dc_;
};

// One WM_PAINT cycle: BeginPaint now, EndPaint at scope end.
class PaintScope {
 public:
  explicit PaintScope(HWND window) : window_(window), dc_(BeginPaint(window, &paint_)) {}
  PaintScope(const PaintScope&) = delete;
  PaintScope& operator=(const PaintScope&) = delete;
  ~PaintScope() { EndPaint(window_, &paint_); }
  HDC get() const { return dc_; }

 private:
  HWND window_;
  PAINTSTRUCT paint_{};
  HDC dc_;
};

// Everything a drawing may change in a device context (mapping, origins, clip region, selected
// objects, text alignment, colours) comes back as it was at scope end.
class SavedDC {
 public:
  explicit SavedDC(HDC dc) : dc_(dc), saved_(SaveDC(dc)) {}
  SavedDC(const SavedDC&) = delete;
  SavedDC& operator=(const SavedDC&) = delete;
  ~SavedDC() {
    if (saved_) RestoreDC(dc_, saved_);
  }
  explicit operator bool() const { return saved_ != 0; }

 private:
  HDC dc_;
  int saved_;
};

}  // namespace activex
