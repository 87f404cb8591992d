// finger_host: a small host of the fingerprint control, as a form would hold it. It creates the
// control by ProgID, listens to its events through the connection point, lets the simulated
// scanner deliver a few touches of one finger, and prints what it saw after each.
//   finger_host [--touches N] [--finger F]
// Everything goes through IDispatch by name, as a script would; only the events need a sink of
// our own (the script hosts here cannot bind events).
#include <windows.h>
#include <ocidl.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "bstr.h"
#include "com_ptr.h"
#include "variant.h"

namespace {

using activex::Bstr;
using activex::ComPtr;
using activex::Variant;

// _IMyControlEvents
constexpr IID kEvents = {0xEAC396EE, 0x5C33, 0x4841, {0xA7, 0x64, 0x70, 0x0B, 0xE9, 0xE7, 0xB1, 0xC0}};

// Prints every event by name.
class EventPrinter final : public IDispatch {
 public:
  STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    if (iid == IID_IUnknown || iid == IID_IDispatch || iid == kEvents) {
      *out = static_cast<IDispatch*>(this);
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return 2; }  // lives on main's stack
  STDMETHODIMP_(ULONG) Release() override { return 1; }
  STDMETHODIMP GetTypeInfoCount(UINT* n) override {
    *n = 0;
    return S_OK;
  }
  STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
    return E_NOTIMPL;
  }
  STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*,
                      UINT*) override {
    const char* name = id == 5 ? "OnSuccess" : id == 6 ? "OnFailure" : id == 3 ? "OnFingerUp"
                       : id == 4 ? "OnImageAcquired" : "(unknown)";
    std::printf("  event: %s\n", name);
    return S_OK;
  }
};

// Late-bound calls by name.
HRESULT Call(IDispatch* object, const wchar_t* name, WORD kind, VARIANT* args, UINT count,
             VARIANT* result) {
  DISPID id = 0;
  LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
  HRESULT hr = object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
  if (FAILED(hr)) return hr;
  DISPPARAMS params{args, nullptr, count, 0};
  return object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, kind, &params, result, nullptr,
                        nullptr);
}

std::string Text(const VARIANT& v) {
  if (v.vt != VT_BSTR || !v.bstrVal) return "";
  return std::string(v.bstrVal, v.bstrVal + SysStringLen(v.bstrVal));
}

long Number(const VARIANT& v) { return v.vt == VT_I4 ? v.lVal : 0; }

void ShowText(const char* label, const std::string& text) {
  std::printf("  %s: %zu characters", label, text.size());
  if (!text.empty()) std::printf(", \"%s...\"", text.substr(0, 40).c_str());
  std::printf("\n");
}

HRESULT Create(const wchar_t* progId, ComPtr<IDispatch>& out) {
  CLSID clsid;
  HRESULT hr = CLSIDFromProgID(progId, &clsid);
  if (FAILED(hr)) return hr;
  return CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch, out.put_void());
}

int Fail(const char* what, HRESULT hr) {
  std::printf("finger_host: %s failed (0x%08lX)\n", what, static_cast<unsigned long>(hr));
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  long touches = 4, finger = 3;
  for (int i = 1; i + 1 < argc; i += 2) {
    if (std::strcmp(argv[i], "--touches") == 0) touches = std::atol(argv[i + 1]);
    else if (std::strcmp(argv[i], "--finger") == 0) finger = std::atol(argv[i + 1]);
  }
  if (FAILED(CoInitialize(nullptr))) return 1;
  int status = 0;
  {
    ComPtr<IDispatch> control, scanner;
    if (HRESULT hr = Create(L"QuorvaneBiometric.MyControl", control); FAILED(hr))
      return Fail("creating QuorvaneBiometric.MyControl", hr);
    if (HRESULT hr = Create(L"FingerSdkSim.Scanner", scanner); FAILED(hr))
      return Fail("creating FingerSdkSim.Scanner", hr);

    EventPrinter printer;
    ComPtr<IConnectionPointContainer> container;
    ComPtr<IConnectionPoint> point;
    DWORD cookie = 0;
    HRESULT hr = control.As(container);
    if (SUCCEEDED(hr)) hr = container->FindConnectionPoint(kEvents, point.put());
    if (SUCCEEDED(hr)) hr = point->Advise(&printer, &cookie);
    if (FAILED(hr)) return Fail("advising on the control's events", hr);
    std::printf("host: control created, listening to its events\n");

    for (long t = 1; t <= touches && status == 0; ++t) {
      std::printf("host: touch %ld of finger %ld\n", t, finger);
      Variant arg;
      arg.get().vt = VT_I4;
      arg.get().lVal = finger;
      if (FAILED(hr = Call(scanner.get(), L"Touch", DISPATCH_METHOD, arg.ptr(), 1, nullptr))) {
        status = Fail("Touch", hr);
        break;
      }
      Variant isEnroll, imageCode, extractCode;
      Call(control.get(), L"IsEnroll", DISPATCH_PROPERTYGET, nullptr, 0, isEnroll.ptr());
      Call(control.get(), L"ImageCode", DISPATCH_PROPERTYGET, nullptr, 0, imageCode.ptr());
      Call(control.get(), L"ExtractCode", DISPATCH_PROPERTYGET, nullptr, 0, extractCode.ptr());
      std::printf("  IsEnroll: %ld\n", Number(isEnroll.get()));
      ShowText("ImageCode", Text(imageCode.get()));
      ShowText("ExtractCode", Text(extractCode.get()));
    }
    point->Unadvise(cookie);  // the host is done listening; nothing to do about a failure here
    Call(control.get(), L"Destroy", DISPATCH_METHOD, nullptr, 0, nullptr);
    std::printf("host: image files C:\\FingerImage\\FingerImage.bmp and FingerImage.jpg\n");
  }
  CoUninitialize();
  return status;
}
