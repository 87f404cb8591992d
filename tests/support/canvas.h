// A 32-bit top-down DIB selected into a memory DC, painted white: what a control draws into it
// is read back pixel by pixel (0x00RRGGBB).
#pragma once

#include <windows.h>

#include <cstdint>

#include "gdi.h"

namespace test_support {

class Canvas {
 public:
  static constexpr std::uint32_t kWhite = 0x00FFFFFF;

  Canvas(int width, int height) : width_(width), height_(height) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    bitmap_.Reset(CreateDIBSection(dc_.get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    bits_ = static_cast<std::uint32_t*>(bits);
    selected_ = SelectObject(dc_.get(), bitmap_.get());
    for (int i = 0; bits_ && i < width * height; ++i) bits_[i] = kWhite;
  }
  Canvas(const Canvas&) = delete;
  Canvas& operator=(const Canvas&) = delete;
  ~Canvas() { SelectObject(dc_.get(), selected_); }

  bool ok() const { return bits_ != nullptr; }
  HDC dc() const { return dc_.get(); }
  int width() const { return width_; }
  int height() const { return height_; }
  std::uint32_t Pixel(int x, int y) const {
    GdiFlush();
    return bits_[y * width_ + x] & 0x00FFFFFF;
  }
  // The green channel, 0 to 255: the level of a grey pixel.
  int Grey(int x, int y) const { return static_cast<int>((Pixel(x, y) >> 8) & 0xFF); }

 private:
  int width_;
  int height_;
  activex::MemoryDC dc_;
  activex::Bitmap bitmap_;
  std::uint32_t* bits_ = nullptr;
  HGDIOBJ selected_ = nullptr;
};

}  // namespace test_support
