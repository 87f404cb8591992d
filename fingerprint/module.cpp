// The server module: its AppID, its class table (the control, then the property page), and the
// DLL exports Windows finds, creates, registers and unloads the classes through.
#include <windows.h>

#include "module.h"
#include "module_instance.h"
#include "my_control.h"
#include "my_property_page.h"
#include "QuorvaneBiometric.h"

namespace fingerprint {

HINSTANCE moduleInstance = nullptr;

namespace {

constexpr UINT kAppIdScript = 101;
constexpr UINT kControlScript = 103;
constexpr UINT kPropertyPageScript = 108;

class CQuorvaneBiometricModule : public activex::Module {
 public:
  CQuorvaneBiometricModule()
      : Module({&LIBID_QuorvaneBiometricLib, L"{F518217C-18F6-4541-BB1D-58E0B892E278}",
                kAppIdScript},
               {
                   {&CLSID_MyControl, &activex::CreateInstance<CMyControl>, kControlScript,
                    {{L"OLEMISC", L"131473"}}},
                   {&CLSID_MyPropertyPage, &activex::CreateInstance<CMyPropertyPage>,
                    kPropertyPageScript, {}},
               }) {}
};

CQuorvaneBiometricModule module;

}  // namespace
}  // namespace fingerprint

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, void* reserved) {
  fingerprint::moduleInstance = instance;
  return fingerprint::module.DllMain(instance, reason, reserved);
}

STDAPI DllCanUnloadNow() { return fingerprint::module.CanUnloadNow(); }

STDAPI DllGetClassObject(REFCLSID clsid, REFIID iid, void** out) {
  return fingerprint::module.GetClassObject(clsid, iid, out);
}

STDAPI DllRegisterServer() { return fingerprint::module.RegisterServer(); }

STDAPI DllUnregisterServer() { return fingerprint::module.UnregisterServer(); }

// "user" (any case, and nothing more) registers for the current user instead of the machine.
STDAPI DllInstall(BOOL install, LPCWSTR cmdLine) {
  return fingerprint::module.Install(install, cmdLine);
}
