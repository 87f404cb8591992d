// Minimal in-process automation server: one class, IDispatch from the embedded type library,
// self-registration of the class, its ProgID and the type library.
#include <windows.h>
#include <ole2.h>
#include <olectl.h>

#include <atomic>
#include <string>

#include "echo.h"

namespace {

HINSTANCE module;
std::atomic<long> liveObjects{0};
const wchar_t kProgId[] = L"Controls.Echo";
const wchar_t kClsid[] = L"{5B0C1A39-3D4E-4C8F-9A61-2E7F0B4D9C12}";

std::wstring ModulePath() {
  wchar_t path[MAX_PATH] = {};
  GetModuleFileNameW(module, path, MAX_PATH);
  return path;
}

HRESULT LoadOwnTypeInfo(ITypeInfo** info) {
  ITypeLib* lib = nullptr;
  HRESULT hr = LoadTypeLibEx(ModulePath().c_str(), REGKIND_NONE, &lib);
  if (FAILED(hr)) return hr;
  hr = lib->GetTypeInfoOfGuid(IID_IEcho, info);
  lib->Release();
  return hr;
}

class Echo final : public IEcho {
 public:
  Echo() { ++liveObjects; }
  ~Echo() {
    if (typeInfo_) typeInfo_->Release();
    --liveObjects;
  }
  HRESULT Init() { return LoadOwnTypeInfo(&typeInfo_); }

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    if (iid == IID_IUnknown || iid == IID_IDispatch || iid == IID_IEcho) {
      *out = static_cast<IEcho*>(this);
      AddRef();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
  ULONG STDMETHODCALLTYPE Release() override {
    const ULONG left = --refs_;
    if (left == 0) delete this;
    return left;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
    *count = 1;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID, ITypeInfo** info) override {
    if (index != 0) return DISP_E_BADINDEX;
    typeInfo_->AddRef();
    *info = typeInfo_;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID,
                                          DISPID* ids) override {
    return typeInfo_->GetIDsOfNames(names, count, ids);
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params,
                                   VARIANT* result, EXCEPINFO* excep, UINT* argErr) override {
    return typeInfo_->Invoke(static_cast<IEcho*>(this), id, flags, params, result, excep, argErr);
  }
  HRESULT STDMETHODCALLTYPE Twice(BSTR text, BSTR* result) override {
    if (!result) return E_POINTER;
    ++count_;
    const UINT n = SysStringLen(text);
    *result = SysAllocStringLen(nullptr, 2 * n);
    if (!*result) return E_OUTOFMEMORY;
    for (UINT i = 0; i < n; ++i) (*result)[i] = (*result)[n + i] = text[i];
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_Count(LONG* value) override {
    if (!value) return E_POINTER;
    *value = count_;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE put_Count(LONG value) override {
    count_ = value;
    return S_OK;
  }

 private:
  ULONG refs_ = 1;
  LONG count_ = 0;
  ITypeInfo* typeInfo_ = nullptr;
};

class Factory final : public IClassFactory {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (iid == IID_IUnknown || iid == IID_IClassFactory) {
      *out = this;
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (outer) return CLASS_E_NOAGGREGATION;
    Echo* echo = new (std::nothrow) Echo;
    if (!echo) return E_OUTOFMEMORY;
    HRESULT hr = echo->Init();
    if (SUCCEEDED(hr)) hr = echo->QueryInterface(iid, out);
    echo->Release();
    return hr;
  }
  HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }
};
Factory factory;

LONG SetKey(const std::wstring& key, const std::wstring& value) {
  HKEY h = nullptr;
  LONG r = RegCreateKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &h,
                           nullptr);
  if (r != ERROR_SUCCESS) return r;
  r = RegSetValueExW(h, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                     static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
  RegCloseKey(h);
  return r;
}

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) module = instance;
  return TRUE;
}

STDAPI DllGetClassObject(REFCLSID clsid, REFIID iid, void** out) {
  if (clsid != CLSID_Echo) return CLASS_E_CLASSNOTAVAILABLE;
  return factory.QueryInterface(iid, out);
}

STDAPI DllCanUnloadNow() { return liveObjects == 0 ? S_OK : S_FALSE; }

STDAPI DllRegisterServer() {
  const std::wstring clsidKey = std::wstring(L"CLSID\\") + kClsid;
  LONG r = SetKey(kProgId, L"Echo Class");
  if (r == ERROR_SUCCESS) r = SetKey(std::wstring(kProgId) + L"\\CLSID", kClsid);
  if (r == ERROR_SUCCESS) r = SetKey(clsidKey, L"Echo Class");
  if (r == ERROR_SUCCESS) r = SetKey(clsidKey + L"\\ProgID", kProgId);
  if (r == ERROR_SUCCESS) r = SetKey(clsidKey + L"\\InprocServer32", ModulePath());
  if (r != ERROR_SUCCESS) return HRESULT_FROM_WIN32(r);
  ITypeLib* lib = nullptr;
  HRESULT hr = LoadTypeLibEx(ModulePath().c_str(), REGKIND_REGISTER, &lib);
  if (lib) lib->Release();
  return hr;
}

STDAPI DllUnregisterServer() {
  RegDeleteTreeW(HKEY_CLASSES_ROOT, kProgId);
  RegDeleteTreeW(HKEY_CLASSES_ROOT, (std::wstring(L"CLSID\\") + kClsid).c_str());
  return UnRegisterTypeLib(LIBID_EchoLib, 1, 0, LOCALE_NEUTRAL, SYS_WIN32);
}
