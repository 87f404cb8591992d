#include "sdk_client.h"

#include <cstring>

namespace simtest {

using GetClassObjectFn = HRESULT(WINAPI*)(REFCLSID, REFIID, void**);
using CanUnloadNowFn = HRESULT(WINAPI*)();

SimServer& SimServer::Get() {
  static SimServer server;
  return server;
}

SimServer::SimServer() {
  std::wstring path = L"Z:" FINGERSDKSIM_PATH;
  for (wchar_t& c : path)
    if (c == L'/') c = L'\\';
  module_ = LoadLibraryW(path.c_str());
}

HRESULT SimServer::GetClassObject(REFCLSID clsid, REFIID iid, void** out) {
  auto fn = reinterpret_cast<GetClassObjectFn>(reinterpret_cast<void*>(GetProcAddress(module_, "DllGetClassObject")));
  return fn ? fn(clsid, iid, out) : HRESULT_FROM_WIN32(ERROR_MOD_NOT_FOUND);
}

HRESULT SimServer::CanUnloadNow() {
  auto fn = reinterpret_cast<CanUnloadNowFn>(reinterpret_cast<void*>(GetProcAddress(module_, "DllCanUnloadNow")));
  return fn ? fn() : HRESULT_FROM_WIN32(ERROR_MOD_NOT_FOUND);
}

STDMETHODIMP RecordingSink::QueryInterface(REFIID iid, void** out) {
  if (iid == IID_IUnknown || iid == IID_IDispatch || iid == DIID__IFingerSdkEvents) {
    *out = static_cast<IDispatch*>(this);
    AddRef();
    return S_OK;
  }
  *out = nullptr;
  return E_NOINTERFACE;
}

STDMETHODIMP RecordingSink::Invoke(DISPID dispid, REFIID iid, LCID, WORD flags, DISPPARAMS* params, VARIANT*,
                                   EXCEPINFO*, UINT*) {
  EXPECT_TRUE(iid == IID_NULL);
  EXPECT_EQ(flags, DISPATCH_METHOD);
  if (!params) return E_POINTER;
  ReceivedEvent e;
  e.dispid = dispid;
  e.argCount = params->cArgs;
  e.namedCount = params->cNamedArgs;
  for (UINT i = 0; i < params->cArgs; ++i) e.types.push_back(params->rgvarg[i].vt);
  if (params->cArgs >= 1) {
    const VARIANT& text = params->rgvarg[params->cArgs - 1];
    if (text.vt == VT_BSTR) {
      e.nullText = text.bstrVal == nullptr;
      if (text.bstrVal) e.text.assign(text.bstrVal, SysStringLen(text.bstrVal));
    }
  }
  if (params->cArgs == 5 && params->rgvarg[1].vt == (VT_BYREF | VT_VARIANT)) {
    e.width = params->rgvarg[3].lVal;
    e.height = params->rgvarg[2].lVal;
    e.resolution = params->rgvarg[0].lVal;
    const VARIANT* image = params->rgvarg[1].pvarVal;
    e.imageType = image->vt;
    if (image->vt == (VT_ARRAY | VT_UI1) && image->parray) {
      SAFEARRAY* a = image->parray;
      e.imageArray = a;
      e.imageDims = SafeArrayGetDim(a);
      SafeArrayGetLBound(a, 1, &e.imageLowerBound);
      activex::SafeArrayData data(a);
      if (SUCCEEDED(data.status())) e.pixels.assign(data.bytes(), data.bytes() + a->rgsabound[0].cElements);
    }
  }
  events.push_back(std::move(e));
  if (during) during(*params);
  return S_OK;
}

HRESULT Advise(IFingerSdk* sdk, IUnknown* sink, DWORD* cookie) {
  *cookie = 0;
  ComPtr<IConnectionPointContainer> container;
  if (HRESULT hr = sdk->QueryInterface(IID_IConnectionPointContainer, container.put_void()); FAILED(hr)) return hr;
  ComPtr<IConnectionPoint> point;
  if (HRESULT hr = container->FindConnectionPoint(DIID__IFingerSdkEvents, point.put()); FAILED(hr)) return hr;
  return point->Advise(sink, cookie);
}

HRESULT Unadvise(IFingerSdk* sdk, DWORD cookie) {
  ComPtr<IConnectionPointContainer> container;
  if (HRESULT hr = sdk->QueryInterface(IID_IConnectionPointContainer, container.put_void()); FAILED(hr)) return hr;
  ComPtr<IConnectionPoint> point;
  if (HRESULT hr = container->FindConnectionPoint(DIID__IFingerSdkEvents, point.put()); FAILED(hr)) return hr;
  return point->Unadvise(cookie);
}

void PumpMessages() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
}

void SdkTest::SetUp() {
  ASSERT_EQ(CoInitialize(nullptr), S_OK);
  ASSERT_EQ(SimServer::Get().Create(CLSID_Scanner, scanner), S_OK);
  ASSERT_EQ(scanner->Reset(), S_OK);
  ASSERT_EQ(LiveObjects(), 0) << "an earlier test left something of the simulated SDK alive";
}

void SdkTest::TearDown() {
  EXPECT_EQ(LiveObjects(), 0) << "everything the test made is released";
  scanner = nullptr;
  EXPECT_EQ(SimServer::Get().CanUnloadNow(), S_OK);
  CoUninitialize();
}

LONG SdkTest::LiveObjects() {
  LONG count = -1;
  EXPECT_EQ(scanner->get_LiveObjects(&count), S_OK);
  return count;
}

std::string SdkTest::CallLog() {
  Bstr log;
  EXPECT_EQ(scanner->get_CallLog(log.put()), S_OK);
  return Narrow(log.str());
}

HRESULT SdkTest::Fail(const wchar_t* operation, LONG code) {
  Bstr op(operation);
  VARIANT value;
  value.vt = VT_I4;
  value.lVal = code;
  return scanner->Fail(op.get(), value);
}

HRESULT SdkTest::Results(const wchar_t* operation, const wchar_t* values) {
  Bstr op(operation), list(values);
  return scanner->Results(op.get(), list.get());
}

ComPtr<IFingerSdk> SdkTest::NewSdk() {
  ComPtr<IFingerSdk> sdk;
  EXPECT_EQ(SimServer::Get().Create(CLSID_FingerSdk, sdk), S_OK);
  return sdk;
}

void MakeRawImage(const std::vector<std::uint8_t>& bytes, Variant& out) {
  out.Clear();
  SAFEARRAY* a = SafeArrayCreateVector(VT_UI1, 0, static_cast<ULONG>(bytes.size()));
  ASSERT_NE(a, nullptr);
  {
    activex::SafeArrayData data(a);
    ASSERT_EQ(data.status(), S_OK);
    if (!bytes.empty()) std::memcpy(data.bytes(), bytes.data(), bytes.size());
  }
  out.get().vt = VT_ARRAY | VT_UI1;
  out.get().parray = a;
}

activex::ByteSafeArray ZeroArray(ULONG count) {
  activex::ByteSafeArray a;
  EXPECT_EQ(a.Create(count), S_OK);
  return a;
}

std::string Narrow(const std::wstring& text) {
  std::string out;
  for (wchar_t c : text) out.push_back(c < 0x80 ? static_cast<char>(c) : '?');
  return out;
}

}  // namespace simtest
