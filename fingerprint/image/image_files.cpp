#include "image_files.h"

#include <ocidl.h>
#include <olectl.h>
#include <shlwapi.h>

#include <algorithm>
#include <cwctype>
#include <string>
#include <vector>

// GDI+'s headers use min and max unqualified.
using std::max;
using std::min;
#include <gdiplus.h>

#include "com_ptr.h"

namespace fingerprint {
namespace {

namespace gp = Gdiplus::DllExports;

// GDI+ started for one run of the stage and shut down with it.
class GdiplusSession {
 public:
  GdiplusSession() {
    Gdiplus::GdiplusStartupInput input;
    if (Gdiplus::GdiplusStartup(&token_, &input, nullptr) != Gdiplus::Ok) token_ = 0;
  }
  GdiplusSession(const GdiplusSession&) = delete;
  GdiplusSession& operator=(const GdiplusSession&) = delete;
  ~GdiplusSession() {
    if (token_) Gdiplus::GdiplusShutdown(token_);
  }
  explicit operator bool() const { return token_ != 0; }

 private:
  ULONG_PTR token_ = 0;
};

// A decoded image, disposed of when the owner goes.
class DecodedImage {
 public:
  DecodedImage() = default;
  DecodedImage(const DecodedImage&) = delete;
  DecodedImage& operator=(const DecodedImage&) = delete;
  ~DecodedImage() {
    if (image_) gp::GdipDisposeImage(image_);
  }

  // Decodes the whole stream, from its first byte whatever its position.
  HRESULT Load(IStream* stream) {
    if (!stream) return E_POINTER;
    LARGE_INTEGER start{};
    HRESULT hr = stream->Seek(start, STREAM_SEEK_SET, nullptr);
    if (FAILED(hr)) return hr;
    Gdiplus::GpBitmap* bitmap = nullptr;
    if (gp::GdipCreateBitmapFromStream(stream, &bitmap) != Gdiplus::Ok || !bitmap) return E_FAIL;
    image_ = bitmap;
    return S_OK;
  }

  // Saves with the encoder the path's extension names, with its default settings.
  HRESULT Save(const wchar_t* path) const {
    if (!image_) return E_FAIL;
    CLSID encoder{};
    HRESULT hr = EncoderForPath(path, &encoder);
    if (FAILED(hr)) return hr;
    return gp::GdipSaveImageToFile(image_, path, &encoder, nullptr) == Gdiplus::Ok ? S_OK
                                                                                    : E_FAIL;
  }

 private:
  static std::wstring Upper(std::wstring text) {
    for (wchar_t& c : text) c = static_cast<wchar_t>(std::towupper(c));
    return text;
  }

  // Whether a list like "*.JPG;*.JPEG;*.JPE" holds the extension (".jpg"), in any case.
  static bool ListsExtension(const wchar_t* patterns, const std::wstring& extension) {
    if (!patterns) return false;
    const std::wstring list = Upper(patterns);
    size_t start = 0;
    while (start <= list.size()) {
      size_t end = list.find(L';', start);
      if (end == std::wstring::npos) end = list.size();
      std::wstring pattern = list.substr(start, end - start);
      if (!pattern.empty() && pattern[0] == L'*') pattern.erase(0, 1);
      if (pattern == extension) return true;
      start = end + 1;
    }
    return false;
  }

  // The first installed encoder, in the system's order, whose extensions hold the path's.
  static HRESULT EncoderForPath(const wchar_t* path, CLSID* encoder) {
    const wchar_t* dot = wcsrchr(path, L'.');
    if (!dot) return E_FAIL;
    const std::wstring extension = Upper(dot);
    UINT count = 0, size = 0;
    if (gp::GdipGetImageEncodersSize(&count, &size) != Gdiplus::Ok || count == 0) return E_FAIL;
    std::vector<BYTE> storage(size);
    auto* codecs = reinterpret_cast<Gdiplus::ImageCodecInfo*>(storage.data());
    if (gp::GdipGetImageEncoders(count, size, codecs) != Gdiplus::Ok) return E_FAIL;
    for (UINT i = 0; i < count; ++i) {
      if (ListsExtension(codecs[i].FilenameExtension, extension)) {
        *encoder = codecs[i].Clsid;
        return S_OK;
      }
    }
    return E_FAIL;
  }

  Gdiplus::GpImage* image_ = nullptr;
};

}  // namespace

HRESULT WriteImageFiles(IUnknown* picture) {
  // An existing folder is the usual case; a folder that cannot be made shows in step 2.
  CreateDirectoryW(kImageFolder, nullptr);

  activex::ComPtr<IStream> bmp;
  if (FAILED(SHCreateStreamOnFileW(kBmpFile, STGM_CREATE | STGM_SHARE_DENY_WRITE | STGM_READWRITE,
                                   bmp.put())))
    bmp = nullptr;

  if (bmp) {
    activex::ComPtr<IPicture> own;
    if (!picture || FAILED(picture->QueryInterface(IID_IPicture, own.put_void())))
      return E_POINTER;  // the BMP stays empty
    // What a picture cannot save shows in the decoding that follows.
    own->SaveAsFile(bmp.get(), TRUE, nullptr);
  }

  // The steps below report nothing: a BMP that cannot be decoded, or no encoder for ".jpg",
  // leaves the JPEG as it was.
  GdiplusSession session;
  DecodedImage image;
  if (session && SUCCEEDED(image.Load(bmp.get()))) image.Save(kJpegFile);
  return S_OK;
}

}  // namespace fingerprint
