// The picture RawImageToPicture hands out: its size, handle and type, drawing with Render (the
// control turns it top-down through a negative source height), its serialisation as an 8-bit
// grey BMP, the variant without IPicture, and the conversion's result codes.
#include <windows.h>
#include <ocidl.h>
#include <olectl.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "gdi.h"
#include "sdk_client.h"

namespace simtest {
namespace {

constexpr int kWidth = 64;
constexpr int kHeight = 48;
constexpr LONG kHmWidth = 325;   // 64 pixels at 500 dpi: 64 * 2540 / 500 = 325.12
constexpr LONG kHmHeight = 244;  // 48 * 2540 / 500 = 243.84
constexpr std::uint8_t kTopLeft = 0, kTopRight = 80, kBottomLeft = 160, kBottomRight = 240;

// A grey image whose four quadrants tell up from down and left from right.
std::vector<std::uint8_t> Quadrants() {
  std::vector<std::uint8_t> px(kWidth * kHeight);
  for (int y = 0; y < kHeight; ++y)
    for (int x = 0; x < kWidth; ++x) {
      const bool right = x >= kWidth / 2, bottom = y >= kHeight / 2;
      px[y * kWidth + x] = bottom ? (right ? kBottomRight : kBottomLeft) : (right ? kTopRight : kTopLeft);
    }
  return px;
}

std::uint32_t Read32(const std::vector<std::uint8_t>& b, std::size_t at) {
  return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<std::uint32_t>(b[at + 3]) << 24;
}

class PictureTest : public SdkTest {
 protected:
  void SetUp() override {
    SdkTest::SetUp();
    sdk = NewSdk();
    MakeRawImage(Quadrants(), raw);
  }
  void TearDown() override {
    sdk = nullptr;
    raw.Clear();
    SdkTest::TearDown();
  }
  ComPtr<IDispatch> Convert(LONG width = kWidth, LONG height = kHeight, LONG* code = nullptr) {
    ComPtr<IDispatch> picture;
    LONG result = -99;
    EXPECT_EQ(sdk->RawImageToPicture(raw.ptr(), width, height, 0, picture.put(), &result), S_OK);
    if (code) *code = result;
    return picture;
  }

  ComPtr<IFingerSdk> sdk;
  Variant raw;
};

// A 32-bit top-down memory bitmap to draw into, filled with a marker colour.
class Canvas {
 public:
  static constexpr std::uint32_t kUntouched = 0x00123456;
  Canvas(int width, int height) : width_(width) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    bitmap_.Reset(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    pixels_ = static_cast<std::uint32_t*>(bits);
    for (int i = 0; i < width * height; ++i) pixels_[i] = kUntouched;
    selected_ = SelectObject(dc_.get(), bitmap_.get());
  }
  ~Canvas() { SelectObject(dc_.get(), selected_); }
  HDC dc() const { return dc_.get(); }
  std::uint32_t At(int x, int y) const {
    GdiFlush();
    return pixels_[y * width_ + x];
  }
  // The grey level there (the blue channel), or -1 when the pixel is no grey.
  int Grey(int x, int y) const {
    const std::uint32_t p = At(x, y) & 0xFFFFFF;
    const int b = p & 0xFF, g = (p >> 8) & 0xFF, r = (p >> 16) & 0xFF;
    return b == g && g == r ? b : -1;
  }

 private:
  activex::MemoryDC dc_;
  activex::Bitmap bitmap_;
  HGDIOBJ selected_ = nullptr;
  std::uint32_t* pixels_ = nullptr;
  int width_;
};

TEST_F(PictureTest, PictureDescribesItselfAsABitmapInHimetric) {
  ComPtr<IDispatch> dispatch = Convert();
  ComPtr<IPicture> picture;
  ASSERT_EQ(dispatch.As(picture), S_OK);
  SHORT type = 0;
  LONG width = 0, height = 0;
  ASSERT_EQ(picture->get_Type(&type), S_OK);
  EXPECT_EQ(type, PICTYPE_BITMAP);
  ASSERT_EQ(picture->get_Width(&width), S_OK);
  ASSERT_EQ(picture->get_Height(&height), S_OK);
  EXPECT_EQ(width, kHmWidth);
  EXPECT_EQ(height, kHmHeight);

  OLE_HANDLE handle = 0, again = 0;
  ASSERT_EQ(picture->get_Handle(&handle), S_OK);
  ASSERT_EQ(picture->get_Handle(&again), S_OK);
  EXPECT_EQ(handle, again) << "the picture keeps its bitmap";
  DIBSECTION dib{};
  ASSERT_EQ(GetObjectW(reinterpret_cast<HBITMAP>(static_cast<std::uintptr_t>(handle)), sizeof dib, &dib),
            static_cast<int>(sizeof dib))
      << "a DIB section";
  EXPECT_EQ(dib.dsBm.bmWidth, kWidth);
  EXPECT_EQ(dib.dsBm.bmHeight, kHeight);
  EXPECT_EQ(dib.dsBm.bmBitsPixel, 8);

  // The same through IDispatch, as the standard picture's properties.
  struct Property {
    const wchar_t* name;
    DISPID id;
    VARTYPE type;
    LONG value;
  };
  for (const Property& p : {Property{L"Width", 4, VT_I4, kHmWidth}, Property{L"height", 5, VT_I4, kHmHeight},
                            Property{L"Type", 3, VT_I2, PICTYPE_BITMAP},
                            Property{L"Handle", 0, VT_I4, static_cast<LONG>(handle)}}) {
    LPOLESTR name = const_cast<LPOLESTR>(p.name);
    DISPID id = -5;
    ASSERT_EQ(dispatch->GetIDsOfNames(IID_NULL, &name, 1, LOCALE_USER_DEFAULT, &id), S_OK) << Narrow(p.name);
    EXPECT_EQ(id, p.id);
    DISPPARAMS none = {nullptr, nullptr, 0, 0};
    Variant value;
    ASSERT_EQ(dispatch->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET, &none, value.ptr(), nullptr,
                               nullptr),
              S_OK);
    EXPECT_EQ(value.get().vt, p.type);
    EXPECT_EQ(p.type == VT_I2 ? value.get().iVal : value.get().lVal, p.value) << Narrow(p.name);
  }
  LPOLESTR unknown = const_cast<LPOLESTR>(L"Render");
  DISPID id = 0;
  EXPECT_EQ(dispatch->GetIDsOfNames(IID_NULL, &unknown, 1, LOCALE_USER_DEFAULT, &id), DISP_E_UNKNOWNNAME);

  HDC current = nullptr;
  EXPECT_EQ(picture->get_CurDC(&current), E_NOTIMPL);
}

TEST_F(PictureTest, RenderDrawsUprightWithTheNegativeSourceHeight) {
  ComPtr<IDispatch> dispatch = Convert();
  ComPtr<IPicture> picture;
  ASSERT_EQ(dispatch.As(picture), S_OK);
  struct Case {
    const char* what;
    LONG xSrc, ySrc, cxSrc, cySrc;
    int topLeft, topRight, bottomLeft, bottomRight;
  };
  const Case cases[] = {
      {"top-down, as the control draws it", 0, kHmHeight, kHmWidth, -kHmHeight, kTopLeft, kTopRight, kBottomLeft,
       kBottomRight},
      {"positive source height: upside down", 0, 0, kHmWidth, kHmHeight, kBottomLeft, kBottomRight, kTopLeft, kTopRight},
      {"negative source width: mirrored", kHmWidth, kHmHeight, -kHmWidth, -kHmHeight, kTopRight, kTopLeft,
       kBottomRight, kBottomLeft},
      {"the top-right quarter alone", kHmWidth / 2 + 1, kHmHeight, kHmWidth - kHmWidth / 2 - 1, -kHmHeight / 2,
       kTopRight, kTopRight, kTopRight, kTopRight},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    for (int scale : {1, 3}) {
      const int w = kWidth * scale, h = kHeight * scale;
      Canvas canvas(w + 20, h + 10);
      ASSERT_EQ(picture->Render(canvas.dc(), 20, 10, w, h, c.xSrc, c.ySrc, c.cxSrc, c.cySrc, nullptr), S_OK);
      EXPECT_EQ(canvas.Grey(20 + w / 4, 10 + h / 4), c.topLeft) << "scale " << scale;
      EXPECT_EQ(canvas.Grey(20 + 3 * w / 4, 10 + h / 4), c.topRight);
      EXPECT_EQ(canvas.Grey(20 + w / 4, 10 + 3 * h / 4), c.bottomLeft);
      EXPECT_EQ(canvas.Grey(20 + 3 * w / 4, 10 + 3 * h / 4), c.bottomRight);
      // Exactly the destination rectangle: its corners drawn, nothing left of or above it.
      EXPECT_EQ(canvas.Grey(20, 10), c.topLeft);
      EXPECT_EQ(canvas.Grey(20 + w - 1, 10 + h - 1), c.bottomRight);
      EXPECT_EQ(canvas.At(19, 10 + h / 2) & 0xFFFFFF, Canvas::kUntouched);
      EXPECT_EQ(canvas.At(20 + w / 2, 9) & 0xFFFFFF, Canvas::kUntouched);
    }
  }
  Canvas canvas(4, 4);
  EXPECT_EQ(picture->Render(nullptr, 0, 0, 4, 4, 0, kHmHeight, kHmWidth, -kHmHeight, nullptr), E_INVALIDARG);
  EXPECT_EQ(picture->Render(canvas.dc(), 0, 0, 4, 4, 0, kHmHeight, 0, -kHmHeight, nullptr), E_INVALIDARG);
}

TEST_F(PictureTest, SaveAsFileWritesAnEightBitGreyBmp) {
  ComPtr<IDispatch> dispatch = Convert();
  ComPtr<IPicture> picture;
  ASSERT_EQ(dispatch.As(picture), S_OK);
  ComPtr<IStream> stream;
  ASSERT_EQ(CreateStreamOnHGlobal(nullptr, TRUE, stream.put()), S_OK);
  LONG size = -1;
  ASSERT_EQ(picture->SaveAsFile(stream.get(), TRUE, &size), S_OK);

  STATSTG stat{};
  ASSERT_EQ(stream->Stat(&stat, STATFLAG_NONAME), S_OK);
  std::vector<std::uint8_t> b(static_cast<std::size_t>(stat.cbSize.QuadPart));
  LARGE_INTEGER start{};
  ASSERT_EQ(stream->Seek(start, STREAM_SEEK_SET, nullptr), S_OK);
  ULONG read = 0;
  ASSERT_EQ(stream->Read(b.data(), static_cast<ULONG>(b.size()), &read), S_OK);
  ASSERT_EQ(read, b.size());

  constexpr std::size_t kPixels = 14 + 40 + 1024;
  const std::size_t stride = 64;  // already a multiple of 4
  ASSERT_EQ(b.size(), kPixels + stride * kHeight);
  EXPECT_EQ(size, static_cast<LONG>(b.size()));
  // BITMAPFILEHEADER
  EXPECT_EQ(b[0], 'B');
  EXPECT_EQ(b[1], 'M');
  EXPECT_EQ(Read32(b, 2), b.size());
  EXPECT_EQ(Read32(b, 10), kPixels);
  // BITMAPINFOHEADER: 64 x 48, rows bottom-up, 8 bits, uncompressed, 256 colours
  EXPECT_EQ(Read32(b, 14), 40u);
  EXPECT_EQ(static_cast<std::int32_t>(Read32(b, 18)), kWidth);
  EXPECT_EQ(static_cast<std::int32_t>(Read32(b, 22)), kHeight);
  EXPECT_EQ(b[26] | b[27] << 8, 1);
  EXPECT_EQ(b[28] | b[29] << 8, 8);
  EXPECT_EQ(Read32(b, 30), 0u);
  EXPECT_EQ(Read32(b, 46), 256u);
  for (std::size_t i = 0; i < 256; ++i) {
    ASSERT_EQ(Read32(b, 54 + 4 * i), i | i << 8 | i << 16) << "palette entry " << i;
  }
  // The first stored row is the image's bottom row.
  const std::vector<std::uint8_t> image = Quadrants();
  for (int y = 0; y < kHeight; ++y) {
    ASSERT_EQ(std::memcmp(&b[kPixels + stride * (kHeight - 1 - y)], &image[y * kWidth], kWidth), 0) << "row " << y;
  }

  // Written where the stream stands; no size wanted is fine.
  ASSERT_EQ(picture->SaveAsFile(stream.get(), FALSE, nullptr), S_OK);
  ASSERT_EQ(stream->Stat(&stat, STATFLAG_NONAME), S_OK);
  EXPECT_EQ(stat.cbSize.QuadPart, 2 * b.size());
  EXPECT_EQ(picture->SaveAsFile(nullptr, TRUE, &size), E_POINTER);
}

TEST_F(PictureTest, WithoutIPictureThePictureAnswersIDispatchOnly) {
  ASSERT_EQ(scanner->PictureWithoutIPicture(VARIANT_TRUE), S_OK);
  ComPtr<IDispatch> plain = Convert();
  ASSERT_TRUE(plain);
  ComPtr<IPicture> picture;
  EXPECT_EQ(plain.As(picture), E_NOINTERFACE);
  ComPtr<IPictureDisp> pictureDisp;
  EXPECT_EQ(plain.As(pictureDisp), E_NOINTERFACE);
  ComPtr<IUnknown> unknown;
  EXPECT_EQ(plain.As(unknown), S_OK);
  LPOLESTR name = const_cast<LPOLESTR>(L"Width");
  DISPID id = 0;
  EXPECT_EQ(plain->GetIDsOfNames(IID_NULL, &name, 1, LOCALE_USER_DEFAULT, &id), S_OK);

  ASSERT_EQ(scanner->PictureWithoutIPicture(VARIANT_FALSE), S_OK);
  EXPECT_EQ(Convert().As(picture), S_OK);
  ASSERT_EQ(scanner->PictureWithoutIPicture(VARIANT_TRUE), S_OK);
  ASSERT_EQ(scanner->Reset(), S_OK);
  EXPECT_EQ(Convert().As(picture), S_OK) << "Reset clears the flag";
}

TEST_F(PictureTest, ConversionResultCodes) {
  // The image held by reference, as a dispatch caller passes it.
  Variant byReference;
  byReference.get().vt = VT_BYREF | VT_VARIANT;
  byReference.get().pvarVal = raw.ptr();
  ComPtr<IDispatch> picture;
  LONG code = -99;
  ASSERT_EQ(sdk->RawImageToPicture(byReference.ptr(), kWidth, kHeight, 0, picture.put(), &code), S_OK);
  EXPECT_EQ(code, 0);
  EXPECT_TRUE(picture);

  // Bytes that do not hold the image: -1 and no picture.
  Convert(kWidth, kHeight + 1, &code);
  EXPECT_EQ(code, -1);
  EXPECT_FALSE(Convert(kWidth, kHeight + 1));
  Variant text;
  text.get().vt = VT_BSTR;
  text.get().bstrVal = SysAllocString(L"pixels");
  ASSERT_EQ(sdk->RawImageToPicture(text.ptr(), 1, 1, 0, picture.put(), &code), S_OK);
  EXPECT_EQ(code, -1);
  EXPECT_FALSE(picture);

  // Scripted: a code other than 0 hands out no picture; 0 always hands one out, white where
  // the bytes give no image.
  ASSERT_EQ(Results(L"RawImageToPicture", L"3,0"), S_OK);
  EXPECT_FALSE(Convert(kWidth, kHeight, &code));
  EXPECT_EQ(code, 3);
  ComPtr<IDispatch> blank = Convert(10, 1000, &code);
  EXPECT_EQ(code, 0);
  ComPtr<IPicture> blankPicture;
  ASSERT_EQ(blank.As(blankPicture), S_OK);
  LONG width = 0;
  blankPicture->get_Width(&width);
  EXPECT_EQ(width, 51);  // 10 pixels at 500 dpi

  // A scripted failure: the HRESULT, nothing handed out.
  ASSERT_EQ(Fail(L"RawImageToPicture", E_OUTOFMEMORY), S_OK);
  picture = nullptr;
  code = -99;
  EXPECT_EQ(sdk->RawImageToPicture(raw.ptr(), kWidth, kHeight, 0, picture.put(), &code), E_OUTOFMEMORY);
  EXPECT_FALSE(picture);
  EXPECT_EQ(LiveObjects(), 2) << "the SDK object and the blank picture";
}

}  // namespace
}  // namespace simtest
