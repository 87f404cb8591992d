// FingerSdkSim.dll: the simulated fingerprint SDK as an in-process server. Two classes: the
// SDK itself (its class identity, so that a client creating the SDK gets this one) and the
// control channel "FingerSdkSim.Scanner". Two type libraries: the SDK's (TYPELIB 1, the
// module's own) and the control channel's (TYPELIB 2, registered beside it).
#include <windows.h>
#include <oleauto.h>

#include <string>

#include "bstr.h"
#include "com_ptr.h"
#include "fingersdk.h"
#include "fingersdksim.h"
#include "module.h"
#include "object.h"
#include "scanner_object.h"
#include "sdk_object.h"
#include "type_library.h"

namespace {

constexpr UINT kSdkScript = 101;
constexpr UINT kScannerScript = 102;
constexpr UINT kChannelTypeLib = 2;

const activex::ModuleDescription kDescription = {&LIBID_FingerSdkLib, nullptr, 0};

activex::Module module(kDescription,
                       {{&CLSID_FingerSdk, &activex::CreateInstance<fingersim::FingerSdkObject>, kSdkScript, {}},
                        {&CLSID_Scanner, &activex::CreateInstance<fingersim::ScannerObject>, kScannerScript, {}}});

// Registers or removes the control channel's type library. Removing one that is not
// registered is no failure.
HRESULT UpdateChannelTypeLib(bool install) {
  if (install) {
    activex::ComPtr<ITypeLib> library;
    if (HRESULT hr = activex::ModuleTypeLib(kChannelTypeLib, library.put()); FAILED(hr)) return hr;
    std::wstring path = activex::ModulePath() + L"\\" + std::to_wstring(kChannelTypeLib);
    return RegisterTypeLib(library.get(), path.data(), nullptr);
  }
  HRESULT hr = UnRegisterTypeLib(LIBID_FingerSdkSimLib, 1, 0, LOCALE_NEUTRAL, SYS_WIN32);
  if (FAILED(hr)) {
    activex::Bstr registered;
    if (FAILED(QueryPathOfRegTypeLib(LIBID_FingerSdkSimLib, 1, 0, LOCALE_NEUTRAL, registered.put()))) return S_OK;
  }
  return hr;
}

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, void* reserved) {
  return module.DllMain(instance, reason, reserved);
}

STDAPI DllGetClassObject(REFCLSID clsid, REFIID iid, void** out) { return module.GetClassObject(clsid, iid, out); }

STDAPI DllCanUnloadNow() { return module.CanUnloadNow(); }

STDAPI DllRegisterServer() {
  HRESULT hr = module.RegisterServer();
  if (SUCCEEDED(hr)) hr = UpdateChannelTypeLib(true);
  if (FAILED(hr)) {
    // Takes back what was written; the registration's failure stays the result.
    UpdateChannelTypeLib(false);
    module.UnregisterServer();
  }
  return hr;
}

STDAPI DllUnregisterServer() {
  const HRESULT channel = UpdateChannelTypeLib(false);
  const HRESULT rest = module.UnregisterServer();
  return FAILED(channel) ? channel : rest;
}
