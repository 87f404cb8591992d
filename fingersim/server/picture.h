// The picture object RawImageToPicture hands out: a bitmap picture of a grey image, as an OLE
// picture answers it.
//
//   IDispatch (and IPictureDisp)  property gets Handle, Type, Width, Height (DISPIDs as the
//                                 standard picture's), no type information
//   IPicture                      get_Handle (a DIB section of the image, owned by the picture),
//                                 get_Type (PICTYPE_BITMAP), get_Width / get_Height (HIMETRIC at
//                                 the image's resolution), Render, SaveAsFile (the complete
//                                 8-bit BMP with its 256-entry grey palette); the rest E_NOTIMPL
//
// A picture made without IPicture answers IUnknown and IDispatch only (the control channel's
// PictureWithoutIPicture). Every picture counts as a live object of the scanner until its
// last reference goes.
#pragma once

#include <windows.h>
#include <ocidl.h>
#include <olectl.h>

#include "gdi.h"
#include "grey_image.h"
#include "object.h"

namespace fingersim {

class GreyPicture : public activex::ObjectRoot<GreyPicture>, public IPictureDisp, public IPicture {
 public:
  static const activex::InterfaceEntry* InterfaceMap();

  // A new picture of `image` (1..kMaxImageSide on each side) at `dpi`, as its IDispatch.
  static HRESULT Create(GreyImage image, int dpi, bool withIPicture, IDispatch** out);

  GreyPicture();
  ~GreyPicture();

  // Hides the map's answer for IPicture and IPictureDisp when made without IPicture.
  HRESULT InternalQueryInterface(REFIID iid, void** out);

  // IDispatch
  STDMETHODIMP GetTypeInfoCount(UINT* count) override;
  STDMETHODIMP GetTypeInfo(UINT index, LCID, ITypeInfo** out) override;
  STDMETHODIMP GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID, DISPID* ids) override;
  STDMETHODIMP Invoke(DISPID id, REFIID iid, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                      EXCEPINFO*, UINT*) override;

  // IPicture
  STDMETHODIMP get_Handle(OLE_HANDLE* handle) override;
  STDMETHODIMP get_hPal(OLE_HANDLE*) override { return E_NOTIMPL; }
  STDMETHODIMP get_Type(SHORT* type) override;
  STDMETHODIMP get_Width(OLE_XSIZE_HIMETRIC* width) override;
  STDMETHODIMP get_Height(OLE_YSIZE_HIMETRIC* height) override;
  // The source rectangle is in HIMETRIC with its origin at the picture's bottom-left corner and
  // y growing upwards, as for every OLE picture: (0, height, width, -height) draws the picture
  // upright, (0, 0, width, height) upside down. A negative cxSrc mirrors it left to right.
  STDMETHODIMP Render(HDC dc, LONG x, LONG y, LONG cx, LONG cy, OLE_XPOS_HIMETRIC xSrc, OLE_YPOS_HIMETRIC ySrc,
                      OLE_XSIZE_HIMETRIC cxSrc, OLE_YSIZE_HIMETRIC cySrc, LPCRECT bounds) override;
  STDMETHODIMP set_hPal(OLE_HANDLE) override { return E_NOTIMPL; }
  STDMETHODIMP get_CurDC(HDC*) override { return E_NOTIMPL; }
  STDMETHODIMP SelectPicture(HDC, HDC*, OLE_HANDLE*) override { return E_NOTIMPL; }
  STDMETHODIMP get_KeepOriginalFormat(BOOL*) override { return E_NOTIMPL; }
  STDMETHODIMP put_KeepOriginalFormat(BOOL) override { return E_NOTIMPL; }
  STDMETHODIMP PictureChanged() override { return E_NOTIMPL; }
  STDMETHODIMP SaveAsFile(IStream* stream, BOOL saveMemCopy, LONG* size) override;
  STDMETHODIMP get_Attributes(DWORD*) override { return E_NOTIMPL; }

 private:
  LONG HimetricWidth() const;
  LONG HimetricHeight() const;

  GreyImage image_;
  int dpi_ = 0;
  bool withIPicture_ = true;
  activex::Bitmap bitmap_;  // made at the first get_Handle
};

}  // namespace fingersim
