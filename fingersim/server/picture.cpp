#include "picture.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>
#include <vector>

#include "bmp.h"
#include "channel.h"
#include "com_ptr.h"

namespace fingersim {

namespace {

constexpr int kHimetricPerInch = 2540;

// The standard picture's dispatch identifiers.
constexpr DISPID kDispidHandle = 0;
constexpr DISPID kDispidType = 3;
constexpr DISPID kDispidWidth = 4;
constexpr DISPID kDispidHeight = 5;

struct NamedId {
  const wchar_t* name;
  DISPID id;
};
constexpr NamedId kProperties[] = {
    {L"Handle", kDispidHandle}, {L"Type", kDispidType}, {L"Width", kDispidWidth}, {L"Height", kDispidHeight}};

// A BITMAPINFO for an 8-bit grey DIB: header and 256 grey palette entries.
struct GreyBitmapInfo {
  BITMAPINFOHEADER header;
  RGBQUAD palette[256];

  // `height` negative: rows from the top down.
  GreyBitmapInfo(int width, int height) {
    std::memset(this, 0, sizeof *this);
    header.biSize = sizeof header;
    header.biWidth = width;
    header.biHeight = height;
    header.biPlanes = 1;
    header.biBitCount = 8;
    header.biCompression = BI_RGB;
    header.biClrUsed = 256;
    for (int i = 0; i < 256; ++i) {
      palette[i].rgbBlue = palette[i].rgbGreen = palette[i].rgbRed = static_cast<BYTE>(i);
    }
  }
  BITMAPINFO* get() { return reinterpret_cast<BITMAPINFO*>(this); }
};

std::size_t DibStride(int width) { return (static_cast<std::size_t>(width) + 3) & ~std::size_t{3}; }

// The pixel a HIMETRIC position falls on along a side of `pixels` pixels and `himetric` length.
LONG ToPixel(LONG position, LONG himetric, int pixels) {
  if (himetric <= 0) return 0;
  const std::int64_t scaled = static_cast<std::int64_t>(position) * pixels;
  // Rounded to the nearest pixel, halves away from zero.
  const std::int64_t rounded = scaled >= 0 ? (scaled + himetric / 2) / himetric : -((-scaled + himetric / 2) / himetric);
  return static_cast<LONG>(std::clamp<std::int64_t>(rounded, 0, pixels));
}

// Restores the device context's stretching mode on the way out.
class StretchModeScope {
 public:
  StretchModeScope(HDC dc, int mode) : dc_(dc), previous_(SetStretchBltMode(dc, mode)) {}
  StretchModeScope(const StretchModeScope&) = delete;
  StretchModeScope& operator=(const StretchModeScope&) = delete;
  ~StretchModeScope() {
    if (previous_) SetStretchBltMode(dc_, previous_);
  }

 private:
  HDC dc_;
  int previous_;
};

}  // namespace

const activex::InterfaceEntry* GreyPicture::InterfaceMap() {
  static const activex::InterfaceEntry map[] = {
      activex::Entry<GreyPicture, IDispatch, IPictureDisp>(),
      activex::Entry<GreyPicture, IPictureDisp>(),
      activex::Entry<GreyPicture, IPicture>(),
      {}};
  return map;
}

HRESULT GreyPicture::Create(GreyImage image, int dpi, bool withIPicture, IDispatch** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (image.width < 1 || image.height < 1 || image.width > kMaxImageSide || image.height > kMaxImageSide ||
      dpi < 1) {
    return E_INVALIDARG;
  }
  activex::ComObject<GreyPicture>* made = nullptr;
  if (HRESULT hr = activex::CreateObject(&made); FAILED(hr)) return hr;
  activex::ComPtr<IUnknown> hold = activex::ComPtr<IUnknown>::Adopt(made->ControllingUnknown());
  made->image_ = std::move(image);
  made->dpi_ = dpi;
  made->withIPicture_ = withIPicture;
  return hold->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(out));
}

GreyPicture::GreyPicture() { ScannerChannel::Process().ObjectCreated(LiveKind::picture); }
GreyPicture::~GreyPicture() { ScannerChannel::Process().ObjectReleased(LiveKind::picture); }

HRESULT GreyPicture::InternalQueryInterface(REFIID iid, void** out) {
  if (!withIPicture_ && (InlineIsEqualGUID(iid, IID_IPicture) || InlineIsEqualGUID(iid, IID_IPictureDisp))) {
    if (!out) return E_POINTER;
    *out = nullptr;
    return E_NOINTERFACE;
  }
  return ObjectRoot::InternalQueryInterface(iid, out);
}

STDMETHODIMP GreyPicture::GetTypeInfoCount(UINT* count) {
  if (!count) return E_POINTER;
  *count = 0;
  return S_OK;
}

STDMETHODIMP GreyPicture::GetTypeInfo(UINT, LCID, ITypeInfo** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  return DISP_E_BADINDEX;
}

STDMETHODIMP GreyPicture::GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID, DISPID* ids) {
  if (!InlineIsEqualGUID(iid, IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
  if (!names || !ids) return E_POINTER;
  HRESULT hr = S_OK;
  for (UINT i = 0; i < count; ++i) ids[i] = DISPID_UNKNOWN;
  if (count == 0) return S_OK;
  for (const NamedId& p : kProperties) {
    if (names[0] && CompareStringW(LOCALE_INVARIANT, NORM_IGNORECASE, names[0], -1, p.name, -1) == CSTR_EQUAL) {
      ids[0] = p.id;
    }
  }
  if (ids[0] == DISPID_UNKNOWN || count > 1) hr = DISP_E_UNKNOWNNAME;  // the properties take no arguments
  return hr;
}

STDMETHODIMP GreyPicture::Invoke(DISPID id, REFIID iid, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                                 EXCEPINFO*, UINT*) {
  if (!InlineIsEqualGUID(iid, IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
  if (!(flags & DISPATCH_PROPERTYGET)) return DISP_E_MEMBERNOTFOUND;
  if (params && params->cArgs != 0) return DISP_E_BADPARAMCOUNT;
  LONG value = 0;
  VARTYPE type = VT_I4;
  switch (id) {
    case kDispidHandle: {
      OLE_HANDLE handle = 0;
      if (HRESULT hr = get_Handle(&handle); FAILED(hr)) return hr;
      value = static_cast<LONG>(handle);
      break;
    }
    case kDispidType:
      value = PICTYPE_BITMAP;
      type = VT_I2;
      break;
    case kDispidWidth: value = HimetricWidth(); break;
    case kDispidHeight: value = HimetricHeight(); break;
    default: return DISP_E_MEMBERNOTFOUND;
  }
  if (result) {
    VariantInit(result);
    result->vt = type;
    if (type == VT_I2)
      result->iVal = static_cast<SHORT>(value);
    else
      result->lVal = value;
  }
  return S_OK;
}

LONG GreyPicture::HimetricWidth() const { return MulDiv(image_.width, kHimetricPerInch, dpi_); }
LONG GreyPicture::HimetricHeight() const { return MulDiv(image_.height, kHimetricPerInch, dpi_); }

STDMETHODIMP GreyPicture::get_Handle(OLE_HANDLE* handle) {
  if (!handle) return E_POINTER;
  *handle = 0;
  if (!bitmap_) {
    GreyBitmapInfo info(image_.width, -image_.height);
    void* bits = nullptr;
    activex::Bitmap made(CreateDIBSection(nullptr, info.get(), DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!made || !bits) return E_OUTOFMEMORY;
    const std::size_t stride = DibStride(image_.width);
    for (int y = 0; y < image_.height; ++y) {
      std::memcpy(static_cast<std::uint8_t*>(bits) + stride * y, &image_.pixels[static_cast<std::size_t>(y) * image_.width],
                  static_cast<std::size_t>(image_.width));
    }
    GdiFlush();
    bitmap_ = std::move(made);
  }
  *handle = static_cast<OLE_HANDLE>(reinterpret_cast<std::uintptr_t>(bitmap_.get()));
  return S_OK;
}

STDMETHODIMP GreyPicture::get_Type(SHORT* type) {
  if (!type) return E_POINTER;
  *type = PICTYPE_BITMAP;
  return S_OK;
}

STDMETHODIMP GreyPicture::get_Width(OLE_XSIZE_HIMETRIC* width) {
  if (!width) return E_POINTER;
  *width = HimetricWidth();
  return S_OK;
}

STDMETHODIMP GreyPicture::get_Height(OLE_YSIZE_HIMETRIC* height) {
  if (!height) return E_POINTER;
  *height = HimetricHeight();
  return S_OK;
}

STDMETHODIMP GreyPicture::Render(HDC dc, LONG x, LONG y, LONG cx, LONG cy, OLE_XPOS_HIMETRIC xSrc,
                                 OLE_YPOS_HIMETRIC ySrc, OLE_XSIZE_HIMETRIC cxSrc, OLE_YSIZE_HIMETRIC cySrc,
                                 LPCRECT) {
  if (!dc) return E_INVALIDARG;
  if (cx == 0 || cy == 0) return S_OK;
  const LONG hmWidth = HimetricWidth();
  const LONG hmHeight = HimetricHeight();

  // The source in pixels of the image (rows from the top). HIMETRIC y grows upwards from the
  // bottom edge, so a source running downwards on the image has a negative cySrc.
  const LONG x0 = ToPixel(xSrc, hmWidth, image_.width);
  const LONG x1 = ToPixel(xSrc + cxSrc, hmWidth, image_.width);
  const LONG r0 = ToPixel(hmHeight - ySrc, hmHeight, image_.height);
  const LONG r1 = ToPixel(hmHeight - (ySrc + cySrc), hmHeight, image_.height);
  const bool mirrored = x1 < x0;
  const bool upsideDown = r1 < r0;
  const LONG left = std::min(x0, x1), columns = std::abs(x1 - x0);
  const LONG top = std::min(r0, r1), rows = std::abs(r1 - r0);
  if (columns == 0 || rows == 0) return E_INVALIDARG;

  // The part to draw, in the order it goes onto the destination, as a top-down DIB.
  std::vector<std::uint8_t> bits;
  const std::size_t stride = DibStride(columns);
  try {
    bits.assign(stride * static_cast<std::size_t>(rows), 0);
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  }
  for (LONG row = 0; row < rows; ++row) {
    const LONG sourceRow = upsideDown ? top + rows - 1 - row : top + row;
    const std::uint8_t* from = &image_.pixels[static_cast<std::size_t>(sourceRow) * image_.width + left];
    std::uint8_t* to = &bits[stride * row];
    if (mirrored) {
      for (LONG c = 0; c < columns; ++c) to[c] = from[columns - 1 - c];
    } else {
      std::memcpy(to, from, static_cast<std::size_t>(columns));
    }
  }

  GreyBitmapInfo info(columns, -rows);
  StretchModeScope mode(dc, COLORONCOLOR);
  const int drawn = StretchDIBits(dc, x, y, cx, cy, 0, 0, columns, rows, bits.data(), info.get(), DIB_RGB_COLORS,
                                  SRCCOPY);
  return drawn == 0 || drawn == static_cast<int>(GDI_ERROR) ? E_FAIL : S_OK;
}

STDMETHODIMP GreyPicture::SaveAsFile(IStream* stream, BOOL, LONG* size) {
  if (!stream) return E_POINTER;
  std::vector<std::uint8_t> bmp;
  try {
    bmp = EncodeGreyBmp(image_, dpi_);
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  }
  if (bmp.empty()) return E_UNEXPECTED;
  const std::uint8_t* next = bmp.data();
  std::size_t left = bmp.size();
  while (left > 0) {
    ULONG written = 0;
    HRESULT hr = stream->Write(next, static_cast<ULONG>(left), &written);
    if (FAILED(hr)) return hr;
    if (written == 0) return STG_E_MEDIUMFULL;
    next += written;
    left -= written;
  }
  if (size) *size = static_cast<LONG>(bmp.size());
  return S_OK;
}

}  // namespace fingersim
