// Reading back the two image files: their bytes, the BMP's header, and the JPEG as GDI+ decodes
// it.
#pragma once

#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

using std::max;
using std::min;
#include <gdiplus.h>

#include "handle.h"

namespace image_checks {

using Bytes = std::vector<std::uint8_t>;

inline bool Exists(const wchar_t* path) { return GetFileAttributesW(path) != INVALID_FILE_ATTRIBUTES; }

// The file's bytes; empty when it cannot be read.
inline Bytes Read(const wchar_t* path) {
  activex::UniqueHandle file(CreateFileW(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                         nullptr, OPEN_EXISTING, 0, nullptr));
  if (!file) return {};
  Bytes bytes(GetFileSize(file.get(), nullptr));
  DWORD read = 0;
  if (!bytes.empty())
    ReadFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr);
  bytes.resize(read);
  return bytes;
}

inline void RemoveImageFolder(const wchar_t* bmp, const wchar_t* jpeg, const wchar_t* folder) {
  DeleteFileW(bmp);
  DeleteFileW(jpeg);
  RemoveDirectoryW(folder);
}

// The BMP's file and info headers, zeroed when the bytes are too short for them.
struct BmpHeader {
  BITMAPFILEHEADER file{};
  BITMAPINFOHEADER info{};
};
inline BmpHeader HeaderOf(const Bytes& bmp) {
  BmpHeader h;
  if (bmp.size() >= sizeof h.file + sizeof h.info) {
    std::memcpy(&h.file, bmp.data(), sizeof h.file);
    std::memcpy(&h.info, bmp.data() + sizeof h.file, sizeof h.info);
  }
  return h;
}

struct Decoded {
  UINT width = 0, height = 0;
  GUID format{};
};

// The image file as GDI+ reads it back.
inline Decoded Decode(const wchar_t* path) {
  namespace gp = Gdiplus::DllExports;
  Decoded d;
  ULONG_PTR token = 0;
  Gdiplus::GdiplusStartupInput input;
  if (Gdiplus::GdiplusStartup(&token, &input, nullptr) != Gdiplus::Ok) return d;
  Gdiplus::GpImage* image = nullptr;
  if (gp::GdipLoadImageFromFile(path, &image) == Gdiplus::Ok) {
    gp::GdipGetImageWidth(image, &d.width);
    gp::GdipGetImageHeight(image, &d.height);
    gp::GdipGetImageRawFormat(image, &d.format);
    gp::GdipDisposeImage(image);
  }
  Gdiplus::GdiplusShutdown(token);
  return d;
}

// ImageFormatJPEG.
constexpr GUID kJpegFormat = {0xb96b3cae, 0x0728, 0x11d3, {0x9d, 0x7b, 0x00, 0x00, 0xf8, 0x1e, 0xf3, 0x2e}};

}  // namespace image_checks
