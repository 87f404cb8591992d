// MyControl's tables (interfaces, saved properties, SDK events), its properties and its drawing.
#include "my_control.h"

#include <cstdint>

#include "module_instance.h"
#include "stream_value.h"

namespace fingerprint {

const activex::InterfaceEntry* CMyControl::InterfaceMap() {
  using activex::Entry;
  static const activex::InterfaceEntry map[] = {
      Entry<CMyControl, IMyControl>(),
      Entry<CMyControl, IDispatch, IMyControl>(),
      Entry<CMyControl, IViewObjectEx>(),
      Entry<CMyControl, IViewObject2, IViewObjectEx>(),
      Entry<CMyControl, IViewObject, IViewObjectEx>(),
      Entry<CMyControl, IOleInPlaceObjectWindowless>(),
      Entry<CMyControl, IOleInPlaceObject, IOleInPlaceObjectWindowless>(),
      Entry<CMyControl, IOleWindow, IOleInPlaceObjectWindowless>(),
      Entry<CMyControl, IOleInPlaceActiveObject>(),
      Entry<CMyControl, IOleControl>(),
      Entry<CMyControl, IOleObject>(),
      Entry<CMyControl, IPersistStreamInit>(),
      Entry<CMyControl, IPersist, IPersistStreamInit>(),
      Entry<CMyControl, ISupportErrorInfo>(),
      Entry<CMyControl, IConnectionPointContainer>(),
      Entry<CMyControl, ISpecifyPropertyPages>(),
      Entry<CMyControl, IQuickActivate>(),
      Entry<CMyControl, IPersistStorage>(),
      Entry<CMyControl, IObjectSafety>(),
      Entry<CMyControl, IDataObject>(),
      Entry<CMyControl, IProvideClassInfo, IProvideClassInfo2>(),
      Entry<CMyControl, IProvideClassInfo2>(),
      {}};
  return map;
}

const activex::PropertyEntry<CMyControl>* CMyControl::PropertyMap() {
  static const activex::PropertyEntry<CMyControl> map[] = {
      activex::ExtentWidthProperty<CMyControl>(),
      activex::ExtentHeightProperty<CMyControl>(),
      activex::TextProperty<CMyControl>(L"ExtractCode", &CMyControl::get_ExtractCode,
                                        &CMyControl::put_ExtractCode),
      activex::TextProperty<CMyControl>(L"ImageCode", &CMyControl::get_ImageCode,
                                        &CMyControl::put_ImageCode),
      activex::CustomProperty<CMyControl>(L"LibraryInstance", &CMyControl::SaveLibraryInstance,
                                          &CMyControl::LoadLibraryInstance),
      {}};
  return map;
}

const activex::SinkEntry<CMyControl> CMyControl::kSdkSinkMap[] = {
    activex::SinkHandler<&CMyControl::OnSdkEvent1, VT_BSTR>(kSdkDeviceNamed),
    activex::SinkHandler<&CMyControl::OnSdkEvent2, VT_BSTR>(kSdkDeviceEnded),
    activex::SinkHandler<&CMyControl::IgnoreSdkEvent, VT_BSTR>(kSdkFingerTouched),
    activex::SinkHandler<&CMyControl::IgnoreSdkEvent, VT_BSTR>(kSdkFingerLifted),
    activex::SinkHandler<&CMyControl::OnImageEvent, VT_BSTR, VT_I4, VT_I4, VT_BYREF | VT_VARIANT,
                         VT_I4>(kSdkImage),
    {}};

STDMETHODIMP CMyControl::get_ImageCode(BSTR* pVal) { return m_imageCode.CopyTo(pVal); }
STDMETHODIMP CMyControl::put_ImageCode(BSTR newVal) { return m_imageCode.CopyFrom(newVal); }
STDMETHODIMP CMyControl::get_ExtractCode(BSTR* pVal) { return m_extractCode.CopyTo(pVal); }
STDMETHODIMP CMyControl::put_ExtractCode(BSTR newVal) { return m_extractCode.CopyFrom(newVal); }

STDMETHODIMP CMyControl::get_IsEnroll(LONG* pVal) {
  if (!pVal) return E_POINTER;
  *pVal = m_isEnroll;
  return S_OK;
}

STDMETHODIMP CMyControl::put_IsEnroll(LONG newVal) {
  m_isEnroll = newVal;
  return S_OK;
}

STDMETHODIMP CMyControl::KillLibrary() { return S_OK; }

STDMETHODIMP CMyControl::get_LibraryInstance(LONG* pVal) {
  if (!pVal) return E_POINTER;
  // A 32-bit module's instance handle is its load address, which fits 32 bits.
  m_libraryInstance = static_cast<LONG>(reinterpret_cast<std::intptr_t>(moduleInstance));
  *pVal = m_libraryInstance;
  return S_OK;
}

HRESULT CMyControl::SaveLibraryInstance(IStream* stream) {
  return activex::WriteInt32Value(stream, m_libraryInstance);
}

HRESULT CMyControl::LoadLibraryInstance(IStream* stream) {
  return activex::ReadInt32Value(stream, &m_libraryInstance);
}

HRESULT CMyControl::OnDraw(HDC dc, const RECT& bounds) {
  if (m_picture) {
    OLE_XSIZE_HIMETRIC width = 0;
    OLE_YSIZE_HIMETRIC height = 0;
    HRESULT hr = m_picture->get_Width(&width);
    if (SUCCEEDED(hr)) hr = m_picture->get_Height(&height);
    if (FAILED(hr)) return hr;
    // The whole picture, read from its last row up: a bottom-up bitmap comes out upright. It is
    // stretched over the area without keeping its aspect ratio.
    hr = m_picture->Render(dc, 0, 0, bounds.right, bounds.bottom, 0, height, width, -height,
                           &bounds);
    return FAILED(hr) ? hr : S_OK;
  }
  // Outlined with the DC's pen, filled with its brush.
  if (!Rectangle(dc, bounds.left, bounds.top, bounds.right, bounds.bottom)) return E_FAIL;
  return S_OK;
}

bool CMyControl::HoldsRawImage() const {
  return !m_rawImage.empty() && m_imageDim1 > 0 && m_imageDim2 > 0;
}

}  // namespace fingerprint
