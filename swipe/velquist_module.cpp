// Velquist.dll: the module with its one class, and the exports.
#include <windows.h>

#include "module.h"
#include "recording.h"
#include "velquist_control.h"

namespace {

const activex::ModuleDescription kDescription = {
    &LIBID_VelquistLib, L"{0993BE9F-E4D7-4B38-8378-4CA2DDAFABD4}", 101};

class CVelquistModule : public activex::Module {
 public:
  CVelquistModule()
      : Module(kDescription, {{&CLSID_Velquist, &activex::CreateInstance<swipe::CVelquist>, 103,
                               {{L"OLEMISC", L"132497"}}}}) {}

 protected:
  // A class object request starts from idle recording bookkeeping.
  void BeforeGetClassObject() override { swipe::ResetRecordingState(); }
  // An unload probe ends any recording, whether or not controls are still alive.
  void BeforeCanUnloadNow() override { swipe::StopRecording(); }
};

CVelquistModule module;

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, void* reserved) {
  return module.DllMain(instance, reason, reserved);
}
STDAPI DllGetClassObject(REFCLSID clsid, REFIID iid, void** out) {
  return module.GetClassObject(clsid, iid, out);
}
STDAPI DllCanUnloadNow() { return module.CanUnloadNow(); }
STDAPI DllRegisterServer() { return module.RegisterServer(); }
STDAPI DllUnregisterServer() { return module.UnregisterServer(); }
STDAPI DllInstall(BOOL install, LPCWSTR cmdLine) { return module.Install(install, cmdLine); }
