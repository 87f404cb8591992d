#include "scanner_object.h"

#include <cstdint>
#include <new>
#include <optional>
#include <vector>

#include "bstr.h"
#include "channel.h"
#include "com_ptr.h"
#include "failure_code.h"
#include "impression.h"
#include "raw_image.h"
#include "sdk_events.h"
#include "sdk_object.h"
#include "text.h"
#include "variant.h"

namespace fingersim {

namespace {

// Sets the thread's error information for a script to show, and returns `hr`.
HRESULT Refuse(HRESULT hr, const wchar_t* description) {
  activex::ComPtr<ICreateErrorInfo> create;
  if (SUCCEEDED(CreateErrorInfo(create.put()))) {
    create->SetGUID(IID_IFingerSdkScanner);
    create->SetSource(const_cast<LPOLESTR>(L"FingerSdkSim.Scanner"));
    create->SetDescription(const_cast<LPOLESTR>(description));
    activex::ComPtr<IErrorInfo> info;
    if (SUCCEEDED(create.As(info))) SetErrorInfo(0, info.get());
  }
  return hr;
}

// The code of a VARIANT number (CodeFromNumber); nothing for anything else.
std::optional<std::int32_t> CodeOf(const VARIANT& given) {
  const VARIANT* value = &given;
  if (value->vt == (VT_BYREF | VT_VARIANT) && value->pvarVal) value = value->pvarVal;
  switch (value->vt & ~VT_BYREF) {
    case VT_I1: case VT_I2: case VT_I4: case VT_INT: case VT_I8:
    case VT_UI1: case VT_UI2: case VT_UI4: case VT_UINT: case VT_UI8: {
      activex::Variant wide;
      if (FAILED(VariantChangeType(wide.ptr(), const_cast<VARIANT*>(value), 0, VT_I8))) return std::nullopt;
      return CodeFromNumber(static_cast<std::int64_t>(wide.get().llVal));
    }
    case VT_R4: case VT_R8: case VT_DECIMAL: case VT_CY: {
      activex::Variant real;
      if (FAILED(VariantChangeType(real.ptr(), const_cast<VARIANT*>(value), 0, VT_R8))) return std::nullopt;
      return CodeFromNumber(real.get().dblVal);
    }
    default:
      return std::nullopt;
  }
}

// Calls `fire(object)` on every live SDK object, oldest first, each held for the call.
template <class Fire>
void OnEveryLiveSdk(Fire fire) {
  const std::vector<FingerSdkObject*> objects =
      FingerSdkObject::Live().Retained([](FingerSdkObject* o) { return o->Retain(); });
  for (FingerSdkObject* object : objects) {
    activex::ComPtr<IUnknown> hold = activex::ComPtr<IUnknown>::Adopt(object->ControllingUnknown());
    fire(*object);
  }
}

void FireImage(LONG width, LONG height, const std::vector<std::uint8_t>& bytes) {
  OnEveryLiveSdk([&](FingerSdkObject& sdk) {
    sdk.FireImageEvent(width, height, bytes.data(), bytes.size(), kDefaultResolution);
  });
}

}  // namespace

const activex::InterfaceEntry* ScannerObject::InterfaceMap() {
  static const activex::InterfaceEntry map[] = {
      activex::Entry<ScannerObject, IFingerSdkScanner>(),
      activex::Entry<ScannerObject, IDispatch, IFingerSdkScanner>(),
      activex::Entry<ScannerObject, ISupportErrorInfo>(),
      {}};
  return map;
}

STDMETHODIMP ScannerObject::Results(BSTR operation, BSTR values) {
  try {
    if (!ScannerChannel::Process().SetResults(Utf8(operation), Utf8(values))) {
      return Refuse(E_INVALIDARG, L"Results: unknown operation or malformed values");
    }
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  }
  return S_OK;
}

STDMETHODIMP ScannerObject::Fail(BSTR operation, VARIANT code) {
  const std::optional<std::int32_t> failure = CodeOf(code);
  if (!failure) return Refuse(DISP_E_TYPEMISMATCH, L"Fail: the code must be a whole number");
  try {
    if (!ScannerChannel::Process().AddFailure(Utf8(operation), *failure)) {
      return Refuse(E_INVALIDARG, L"Fail: unknown operation or a code that is no failure");
    }
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  }
  return S_OK;
}

STDMETHODIMP ScannerObject::PictureWithoutIPicture(VARIANT_BOOL flag) {
  ScannerChannel::Process().SetPictureWithoutIPicture(flag != VARIANT_FALSE);
  return S_OK;
}

STDMETHODIMP ScannerObject::Touch(LONG finger) {
  try {
    const GreyImage image = SynthesizeFinger(finger, ScannerChannel::Process().NextTouch(finger));
    FireImage(image.width, image.height, image.pixels);
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  }
  return S_OK;
}

STDMETHODIMP ScannerObject::TouchImage(LONG width, LONG height, VARIANT bytes) {
  try {
    std::vector<std::uint8_t> pixels;
    HRESULT hr = BytesFromScript(bytes, pixels);
    if (hr == DISP_E_TYPEMISMATCH) return Refuse(hr, L"TouchImage: the bytes must be a byte array or Base64 text");
    if (hr == E_INVALIDARG) return Refuse(hr, L"TouchImage: the bytes are no Base64 text or no bytes");
    if (FAILED(hr)) return hr;
    FireImage(width, height, pixels);
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  }
  return S_OK;
}

STDMETHODIMP ScannerObject::Event(LONG dispid, BSTR text) {
  if (dispid < 1 || dispid > 4) return Refuse(E_INVALIDARG, L"Event: the event number must be 1 to 4");
  // An empty text stands for no identifier at all.
  BSTR deviceId = SysStringLen(text) ? text : nullptr;
  OnEveryLiveSdk([&](FingerSdkObject& sdk) { sdk.FireDeviceEvent(dispid, deviceId); });
  return S_OK;
}

STDMETHODIMP ScannerObject::get_CallLog(BSTR* log) {
  if (!log) return E_POINTER;
  *log = nullptr;
  try {
    return ToBstr(ScannerChannel::Process().CallLogText(), log);
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  }
}

STDMETHODIMP ScannerObject::get_LiveObjects(LONG* count) {
  if (!count) return E_POINTER;
  EventImage::ForgetCleared();
  *count = ScannerChannel::Process().LiveObjects();
  return S_OK;
}

STDMETHODIMP ScannerObject::Reset() {
  ScannerChannel::Process().Reset();
  return S_OK;
}

}  // namespace fingersim
