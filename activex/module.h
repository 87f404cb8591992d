// The server module: its class table, the DLL entry points the server's exports forward to,
// and its registration (registry scripts, then the embedded type library).
//
//   const activex::ModuleDescription kDescription = {&LIBID_ThingLib, L"{...AppID...}", 101};
//   class ThingModule : public activex::Module {
//    public:
//     ThingModule()
//         : Module(kDescription,
//                  {{&CLSID_Thing, &activex::CreateInstance<CThing>, 103, {{L"OLEMISC", L"131473"}}}}) {}
//    protected:
//     void BeforeGetClassObject() override { /* the server's own work */ }
//   } module;
//
//   extern "C" BOOL WINAPI DllMain(HINSTANCE h, DWORD r, void* p) { return module.DllMain(h, r, p); }
//   STDAPI DllGetClassObject(REFCLSID c, REFIID i, void** o) { return module.GetClassObject(c, i, o); }
//   STDAPI DllCanUnloadNow() { return module.CanUnloadNow(); }
//   STDAPI DllRegisterServer() { return module.RegisterServer(); }
//   STDAPI DllUnregisterServer() { return module.UnregisterServer(); }
//   STDAPI DllInstall(BOOL install, LPCWSTR cmdLine) { return module.Install(install, cmdLine); }
//
// Registration runs with the thread locale set to LOCALE_SYSTEM_DEFAULT (restored after):
// the AppID script, each class's script in table order, then the type library. Removal runs
// the class scripts, the type library, then the AppID script. Every script gets %MODULE% (the
// module's path) and %APPID%, a class's script its own variables too. The first failure stops
// the sequence and is the result. Per-user registration (Install with "user") redirects
// HKEY_CLASSES_ROOT to HKCU\Software\Classes for the duration and registers the type library
// for the user (RegisterTypeLibForUser when oleaut32 has it).
#pragma once

#include <windows.h>

#include <vector>

#include "class_factory.h"
#include "registry_script.h"

namespace activex {

struct ClassEntry {
  const CLSID* clsid;
  CreateFunction create;                  // e.g. &activex::CreateInstance<CThing>
  UINT registryScript;                    // REGISTRY resource id; 0: the class registers nothing
  std::vector<ScriptVariable> variables;  // its script's own %NAME% values, e.g. OLEMISC
};

struct ModuleDescription {
  const GUID* libid;     // the embedded type library (TYPELIB 1); null when there is none
  const wchar_t* appId;  // "{...}", the %APPID% of every script
  UINT appIdScript;      // REGISTRY resource id of the AppID script; 0: none
};

class Module {
 public:
  Module(ModuleDescription description, std::vector<ClassEntry> classes);
  Module(const Module&) = delete;
  Module& operator=(const Module&) = delete;
  virtual ~Module() = default;

  // Stores the instance handle on every call, before anything else.
  BOOL DllMain(HINSTANCE instance, DWORD reason, void* reserved);
  // The cached class factory of a class in the table; CLASS_E_CLASSNOTAVAILABLE otherwise.
  HRESULT GetClassObject(REFCLSID clsid, REFIID iid, void** out);
  // S_OK when no object, no server lock and no class-factory reference is alive.
  HRESULT CanUnloadNow();
  HRESULT RegisterServer();
  HRESULT UnregisterServer();
  // cmdLine "user" (any case, the whole text) registers per user for this call. install:
  // registers, and on failure unregisters what was written and keeps the failure; else
  // unregisters.
  HRESULT Install(BOOL install, const wchar_t* cmdLine);

  bool perUser() const { return perUser_; }

 protected:
  // The server's own work at the start of GetClassObject / CanUnloadNow.
  virtual void BeforeGetClassObject() {}
  virtual void BeforeCanUnloadNow() {}

 private:
  HRESULT UpdateRegistry(bool install);
  HRESULT RunScript(UINT id, const std::vector<ScriptVariable>& extra, bool install);
  HRESULT UpdateTypeLib(bool install);

  ModuleDescription description_;
  std::vector<ClassEntry> classes_;
  std::vector<ClassFactory> factories_;  // one per class, same order
  bool perUser_ = false;
};

// Whether a DllInstall command line asks for per-user registration: "user" in any case, and
// nothing else ("users" and "use" do not).
bool IsPerUserCommandLine(const wchar_t* cmdLine);

}  // namespace activex
