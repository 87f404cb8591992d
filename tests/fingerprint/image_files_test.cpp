// The two image files of an acquired image, written from a picture object that saves itself as
// an 8-bit grey BMP: the folder, the BMP bytes, the JPEG decoded back, overwriting, a BMP held
// open by someone else, a picture without IPicture and a BMP that cannot be decoded.
#include <windows.h>
#include <ocidl.h>
#include <olectl.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "bmp.h"
#include "image_file_checks.h"
#include "image_files.h"

namespace {

using image_checks::Bytes;
using image_checks::Decode;
using image_checks::Exists;
using image_checks::Read;

// A picture whose SaveAsFile writes the given bytes, and nothing else of IPicture.
class SavingPicture final : public IPicture {
 public:
  explicit SavingPicture(Bytes bytes) : bytes_(std::move(bytes)) {}

  STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    if (iid == IID_IUnknown || iid == IID_IPicture) {
      *out = static_cast<IPicture*>(this);
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return 2; }
  STDMETHODIMP_(ULONG) Release() override { return 1; }

  STDMETHODIMP SaveAsFile(IStream* stream, BOOL, LONG* size) override {
    ULONG written = 0;
    HRESULT hr = stream->Write(bytes_.data(), static_cast<ULONG>(bytes_.size()), &written);
    if (size) *size = static_cast<LONG>(written);
    return hr;
  }

  STDMETHODIMP get_Handle(OLE_HANDLE*) override { return E_NOTIMPL; }
  STDMETHODIMP get_hPal(OLE_HANDLE*) override { return E_NOTIMPL; }
  STDMETHODIMP get_Type(SHORT*) override { return E_NOTIMPL; }
  STDMETHODIMP get_Width(OLE_XSIZE_HIMETRIC*) override { return E_NOTIMPL; }
  STDMETHODIMP get_Height(OLE_YSIZE_HIMETRIC*) override { return E_NOTIMPL; }
  STDMETHODIMP Render(HDC, LONG, LONG, LONG, LONG, OLE_XPOS_HIMETRIC, OLE_YPOS_HIMETRIC,
                      OLE_XSIZE_HIMETRIC, OLE_YSIZE_HIMETRIC, LPCRECT) override {
    return E_NOTIMPL;
  }
  STDMETHODIMP set_hPal(OLE_HANDLE) override { return E_NOTIMPL; }
  STDMETHODIMP get_CurDC(HDC*) override { return E_NOTIMPL; }
  STDMETHODIMP SelectPicture(HDC, HDC*, OLE_HANDLE*) override { return E_NOTIMPL; }
  STDMETHODIMP get_KeepOriginalFormat(BOOL*) override { return E_NOTIMPL; }
  STDMETHODIMP put_KeepOriginalFormat(BOOL) override { return E_NOTIMPL; }
  STDMETHODIMP PictureChanged() override { return E_NOTIMPL; }
  STDMETHODIMP get_Attributes(DWORD*) override { return E_NOTIMPL; }

 private:
  Bytes bytes_;
};

// An object that is no picture.
class NotAPicture final : public IUnknown {
 public:
  STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    *out = iid == IID_IUnknown ? static_cast<IUnknown*>(this) : nullptr;
    return *out ? S_OK : E_NOINTERFACE;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return 2; }
  STDMETHODIMP_(ULONG) Release() override { return 1; }
};

// A grey BMP with a gradient, so that the JPEG has something to encode.
Bytes GreyBmp(int width, int height) {
  fingersim::GreyImage image(width, height);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) image.at(x, y) = static_cast<std::uint8_t>((x * 7 + y * 3) & 0xFF);
  return fingersim::EncodeGreyBmp(image);
}

void RemoveFolder() {
  image_checks::RemoveImageFolder(fingerprint::kBmpFile, fingerprint::kJpegFile, L"C:\\FingerImage");
}

TEST(ImageFiles, MakesTheFolderAndBothFiles) {
  RemoveFolder();
  ASSERT_FALSE(Exists(L"C:\\FingerImage"));
  const Bytes bmp = GreyBmp(61, 43);
  SavingPicture picture(bmp);
  ASSERT_EQ(fingerprint::WriteImageFiles(&picture), S_OK);
  EXPECT_EQ(Read(fingerprint::kBmpFile), bmp) << "the BMP is the picture's own serialisation";
  const image_checks::Decoded jpeg = Decode(fingerprint::kJpegFile);
  EXPECT_EQ(jpeg.format, image_checks::kJpegFormat);
  EXPECT_EQ(jpeg.width, 61u);
  EXPECT_EQ(jpeg.height, 43u);

  // A smaller image overwrites both and leaves nothing of the larger one.
  const Bytes small = GreyBmp(9, 5);
  SavingPicture second(small);
  ASSERT_EQ(fingerprint::WriteImageFiles(&second), S_OK);
  EXPECT_EQ(Read(fingerprint::kBmpFile), small);
  EXPECT_EQ(Decode(fingerprint::kJpegFile).width, 9u);
}

TEST(ImageFiles, FailuresKeepWhatTheyCannotReplace) {
  SavingPicture first(GreyBmp(30, 20));
  ASSERT_EQ(fingerprint::WriteImageFiles(&first), S_OK);
  const Bytes bmp = Read(fingerprint::kBmpFile);
  const Bytes jpeg = Read(fingerprint::kJpegFile);
  ASSERT_FALSE(jpeg.empty());

  {
    // Someone else writing the BMP: neither file changes, and that is no failure.
    activex::UniqueHandle holder(CreateFileW(fingerprint::kBmpFile, GENERIC_WRITE,
                                             FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                             OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(holder);
    SavingPicture other(GreyBmp(12, 12));
    EXPECT_EQ(fingerprint::WriteImageFiles(&other), S_OK);
  }
  EXPECT_EQ(Read(fingerprint::kBmpFile), bmp);
  EXPECT_EQ(Read(fingerprint::kJpegFile), jpeg);

  // Bytes that are no BMP: the BMP holds them, the JPEG stays.
  const Bytes garbage(300, 0x5A);
  SavingPicture broken(garbage);
  EXPECT_EQ(fingerprint::WriteImageFiles(&broken), S_OK);
  EXPECT_EQ(Read(fingerprint::kBmpFile), garbage);
  EXPECT_EQ(Read(fingerprint::kJpegFile), jpeg);

  // No picture to save once the BMP is open: it stays empty, the JPEG untouched, E_POINTER.
  NotAPicture none;
  EXPECT_EQ(fingerprint::WriteImageFiles(&none), E_POINTER);
  EXPECT_TRUE(Exists(fingerprint::kBmpFile));
  EXPECT_TRUE(Read(fingerprint::kBmpFile).empty());
  EXPECT_EQ(Read(fingerprint::kJpegFile), jpeg);
  EXPECT_EQ(fingerprint::WriteImageFiles(nullptr), E_POINTER);
}

}  // namespace
