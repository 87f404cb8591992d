// The fingerprint control MyControl. It does no fingerprint work itself: it creates the outside
// fingerprint SDK control as a private object, listens to its events, and turns what they
// deliver into what its host sees: the last raw image and the last template as Base64 text
// (ImageCode, ExtractCode), the enrollment flag IsEnroll, the picture it draws, and the events
// OnSuccess and OnFailure.
//
// Everything runs on the host's apartment thread: host calls and SDK events arrive there one at
// a time, and nothing is locked.
#pragma once

#include <windows.h>
#include <ocidl.h>
#include <olectl.h>

#include <string>

#include "bstr.h"
#include "com_ptr.h"
#include "connection_point.h"
#include "control.h"
#include "data_object.h"
#include "dispatch.h"
#include "event_sink.h"
#include "finger_sdk.h"
#include "my_control_events.h"
#include "object.h"
#include "object_safety.h"
#include "ole_control.h"
#include "ole_in_place_active_object.h"
#include "ole_in_place_object.h"
#include "ole_object.h"
#include "persist_storage.h"
#include "persist_stream_init.h"
#include "property_map.h"
#include "property_pages.h"
#include "provide_class_info.h"
#include "quick_activate.h"
#include "safe_array.h"
#include "support_error_info.h"
#include "variant.h"
#include "view_object.h"
#include "QuorvaneBiometric.h"

namespace fingerprint {

class CMyControl : public activex::ObjectRoot<CMyControl>,
                   public activex::DispatchImpl<IMyControl>,
                   public activex::PersistStreamInitImpl<CMyControl>,
                   public activex::OleControlImpl<CMyControl>,
                   public activex::OleObjectImpl<CMyControl>,
                   public activex::OleInPlaceActiveObjectImpl<CMyControl>,
                   public activex::ViewObjectExImpl<CMyControl>,
                   public activex::OleInPlaceObjectWindowlessImpl<CMyControl>,
                   public activex::SupportErrorInfoImpl<IMyControl>,
                   public activex::ConnectionPointContainer,
                   public MyControlEventSource,
                   public activex::PersistStorageImpl<CMyControl>,
                   public activex::SpecifyPropertyPagesImpl<CMyControl>,
                   public activex::QuickActivateImpl<CMyControl>,
                   public activex::ObjectSafetyImpl<CMyControl>,
                   public activex::DataObjectImpl<CMyControl>,
                   public activex::ProvideClassInfo2Impl<&CLSID_MyControl, &DIID__IMyControlEvents>,
                   public activex::Control<CMyControl> {
 public:
  static constexpr DWORD kMiscStatus = OLEMISC_RECOMPOSEONRESIZE | OLEMISC_CANTLINKINSIDE |
                                       OLEMISC_INSIDEOUT | OLEMISC_ACTIVATEWHENVISIBLE |
                                       OLEMISC_SETCLIENTSITEFIRST;  // 131473
  // What the control's advise cookie on the SDK holds while it is not connected.
  static constexpr DWORD kNotAdvised = activex::EventSink<CMyControl>::kNotConnected;

  CMyControl() : MyControlEventSource(this) {}
  CMyControl(const CMyControl&) = delete;
  CMyControl& operator=(const CMyControl&) = delete;

  static const CLSID& GetObjectCLSID() { return CLSID_MyControl; }
  static const activex::InterfaceEntry* InterfaceMap();
  static const activex::PropertyEntry<CMyControl>* PropertyMap();
  static const activex::SinkEntry<CMyControl> kSdkSinkMap[];

  // Creation hook: creates, connects and starts the SDK control (scanner_connection.cpp).
  HRESULT FinalConstruct();

  // IMyControl, in the order of its method table.
  STDMETHODIMP Start() override;
  STDMETHODIMP Stop() override;
  STDMETHODIMP ExtractTemplate() override;
  STDMETHODIMP Identify() override;
  STDMETHODIMP get_ImageCode(BSTR* pVal) override;
  STDMETHODIMP put_ImageCode(BSTR newVal) override;
  STDMETHODIMP get_ExtractCode(BSTR* pVal) override;
  STDMETHODIMP put_ExtractCode(BSTR newVal) override;
  STDMETHODIMP Enroll() override;
  STDMETHODIMP StartEnroll() override;
  STDMETHODIMP get_IsEnroll(LONG* pVal) override;
  STDMETHODIMP put_IsEnroll(LONG newVal) override;
  STDMETHODIMP Destroy() override;
  STDMETHODIMP KillLibrary() override;
  STDMETHODIMP get_LibraryInstance(LONG* pVal) override;

  // The control's own operations on templates and acquired images (enrollment.cpp).
  virtual HRESULT PublishTemplate(SAFEARRAY* bytes);
  virtual HRESULT ProcessAcquiredImage(LONG dim1, LONG dim2, VARIANT* rawImage, LONG extra);
  virtual HRESULT ExtractAndPublishTemplate(LONG dim1, LONG dim2, VARIANT* rawImage, LONG extra);

  // SDK event handlers, called through kSdkSinkMap. The SDK is their caller, so they report
  // nothing: a failure only ends the handler.
  void OnSdkEvent1(BSTR deviceId);
  void OnSdkEvent2(BSTR deviceId);
  void IgnoreSdkEvent(BSTR);
  void OnImageEvent(BSTR, LONG dim1, LONG dim2, VARIANT* rawImage, LONG extra);

  // Paints the last picture over the bounds, or an outlined rectangle when there is none.
  HRESULT OnDraw(HDC dc, const RECT& bounds);

  // "LibraryInstance" in the saved properties: m_libraryInstance as a signed 32-bit number.
  HRESULT SaveLibraryInstance(IStream* stream);
  HRESULT LoadLibraryInstance(IStream* stream);

  // The advise cookie of the SDK event sink (kNotAdvised while not connected).
  DWORD SdkEventCookie() const { return m_sdkEvents.cookie(); }

 private:
  // The start-up failure message, owned by the control's window, else its in-place site's
  // window, else by no window.
  void ShowStartupFailure();

  bool HoldsRawImage() const;

  // m_codeText := the Base64 text of a byte array's elements, and `text` the same as a BSTR
  // (image/code_text.cpp): E_FAIL for an array too large for the encoder, E_OUTOFMEMORY.
  HRESULT EncodeCodeText(SAFEARRAY* bytes, activex::Bstr& text);

  // The image event's run (image/image_event.cpp); S_FALSE when it stops quietly.
  HRESULT AcquireImage(LONG dim1, LONG dim2, VARIANT* rawImage, LONG extra);

  // The sink is declared before m_sdk: the SDK control, released first, may still let go of
  // the sink as it goes.
  activex::EventSink<CMyControl> m_sdkEvents{this, kSdkEvents, kSdkSinkMap};

  activex::Bstr m_imageCode;
  activex::Bstr m_extractCode;
  LONG m_isEnroll = 0;
  std::string m_codeText;
  LONG m_libraryInstance = 0;
  activex::ComPtr<IFingerSdk> m_sdk;
  ULONG m_adviseCount = 0;
  activex::ComPtr<IPicture> m_picture;
  activex::Variant m_rawImage;
  LONG m_imageDim1 = 0;
  LONG m_imageDim2 = 0;
  LONG m_imageExtra = 0;
  bool m_capturing = false;
  activex::Bstr m_deviceId;
  activex::ByteSafeArray m_template;
};

}  // namespace fingerprint
