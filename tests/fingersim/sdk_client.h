// What the tests of FingerSdkSim.dll share: the DLL loaded as a client loads it, the control
// channel object, a sink that records the SDK's events, and calls made as the fingerprint
// control makes them.
#pragma once

#include <windows.h>
#include <ocidl.h>
#include <oleauto.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "bstr.h"
#include "com_ptr.h"
#include "fingersdk.h"
#include "fingersdksim.h"
#include "safe_array.h"
#include "variant.h"

namespace simtest {

using activex::Bstr;
using activex::ComPtr;
using activex::Variant;

// FingerSdkSim.dll, loaded once for the whole program and left loaded.
class SimServer {
 public:
  static SimServer& Get();
  HRESULT GetClassObject(REFCLSID clsid, REFIID iid, void** out);
  HRESULT CanUnloadNow();

  template <class I>
  HRESULT Create(REFCLSID clsid, ComPtr<I>& out) {
    ComPtr<IClassFactory> factory;
    if (HRESULT hr = GetClassObject(clsid, IID_IClassFactory, factory.put_void()); FAILED(hr)) return hr;
    return factory->CreateInstance(nullptr, __uuidof(I), out.put_void());
  }

 private:
  SimServer();
  HMODULE module_ = nullptr;
};

// One event as a sink received it.
struct ReceivedEvent {
  DISPID dispid = 0;
  UINT argCount = 0;
  UINT namedCount = 0;
  std::vector<VARTYPE> types;  // rgvarg order: the last argument first
  bool nullText = false;       // the BSTR argument (the last one) was null
  std::wstring text;
  LONG width = 0, height = 0, resolution = 0;
  // Event 5: what the referenced VARIANT held.
  VARTYPE imageType = VT_EMPTY;
  UINT imageDims = 0;
  LONG imageLowerBound = -1;
  SAFEARRAY* imageArray = nullptr;  // identity only: freed after the event
  std::vector<std::uint8_t> pixels;
};

// A sink for the SDK's event interface on the test's stack: counts references without
// deleting itself. `during` runs inside each event with the event's arguments.
class RecordingSink final : public IDispatch {
 public:
  std::vector<ReceivedEvent> events;
  std::function<void(DISPPARAMS&)> during;
  ULONG refs = 1;

  STDMETHODIMP QueryInterface(REFIID iid, void** out) override;
  STDMETHODIMP_(ULONG) AddRef() override { return ++refs; }
  STDMETHODIMP_(ULONG) Release() override { return --refs; }
  STDMETHODIMP GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
  STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
  STDMETHODIMP Invoke(DISPID dispid, REFIID iid, LCID, WORD flags, DISPPARAMS* params, VARIANT*, EXCEPINFO*,
                      UINT*) override;
};

// Advises `sink` on an SDK object's event connection point; the cookie, or 0 on failure.
HRESULT Advise(IFingerSdk* sdk, IUnknown* sink, DWORD* cookie);
HRESULT Unadvise(IFingerSdk* sdk, DWORD cookie);

// Dispatches every message waiting for this thread.
void PumpMessages();

// Every test starts with a reset channel and nothing of the simulated SDK alive, and leaves
// nothing alive behind it.
class SdkTest : public testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  LONG LiveObjects();
  std::string CallLog();
  HRESULT Fail(const wchar_t* operation, LONG code);
  HRESULT Results(const wchar_t* operation, const wchar_t* values);
  ComPtr<IFingerSdk> NewSdk();

  ComPtr<IFingerSdkScanner> scanner;
};

// A raw image VARIANT (VT_ARRAY | VT_UI1) with a copy of these bytes.
void MakeRawImage(const std::vector<std::uint8_t>& bytes, Variant& out);
// A zeroed byte array of `count` elements, as the control's template buffer.
activex::ByteSafeArray ZeroArray(ULONG count);

std::string Narrow(const std::wstring& text);

}  // namespace simtest
