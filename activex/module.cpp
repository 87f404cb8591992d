#include "module.h"

#include <oleauto.h>

#include <utility>

#include "bstr.h"
#include "com_ptr.h"
#include "module_lock.h"
#include "registrar.h"
#include "type_library.h"

namespace activex {
namespace {

using RegisterForUser = HRESULT(WINAPI*)(ITypeLib*, OLECHAR*, OLECHAR*);
using UnregisterForUser = HRESULT(WINAPI*)(REFGUID, WORD, WORD, LCID, SYSKIND);

template <class F>
F OleAutFunction(const char* name) {
  HMODULE oleaut = GetModuleHandleW(L"oleaut32.dll");
  return oleaut ? reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(oleaut, name)))
                : nullptr;
}

// Frees a TLIBATTR when the owner goes.
class LibAttr {
 public:
  LibAttr(ITypeLib* library) : library_(library) {}
  ~LibAttr() {
    if (attr_) library_->ReleaseTLibAttr(attr_);
  }
  HRESULT Get() { return library_->GetLibAttr(&attr_); }
  const TLIBATTR* operator->() const { return attr_; }

 private:
  ITypeLib* library_;
  TLIBATTR* attr_ = nullptr;
};

}  // namespace

bool IsPerUserCommandLine(const wchar_t* cmdLine) {
  if (!cmdLine) return false;
  const wchar_t kUser[] = L"user";
  for (int i = 0; i < 5; ++i) {  // the terminator counts: "users" is not "user"
    wchar_t c = cmdLine[i];
    if (c >= L'A' && c <= L'Z') c = static_cast<wchar_t>(c - L'A' + L'a');
    if (c != kUser[i]) return false;
  }
  return true;
}

Module::Module(ModuleDescription description, std::vector<ClassEntry> classes)
    : description_(description), classes_(std::move(classes)) {
  factories_.reserve(classes_.size());
  for (const ClassEntry& entry : classes_) factories_.emplace_back(entry.create);
}

BOOL Module::DllMain(HINSTANCE instance, DWORD reason, void* reserved) {
  SetModuleInstance(instance);
  if (reason == DLL_PROCESS_DETACH) ReleaseModuleTypeLib(reserved != nullptr);
  return TRUE;
}

HRESULT Module::GetClassObject(REFCLSID clsid, REFIID iid, void** out) {
  BeforeGetClassObject();
  if (!out) return E_POINTER;
  *out = nullptr;
  for (std::size_t i = 0; i < classes_.size(); ++i) {
    if (InlineIsEqualGUID(clsid, *classes_[i].clsid)) return factories_[i].QueryInterface(iid, out);
  }
  return CLASS_E_CLASSNOTAVAILABLE;
}

HRESULT Module::CanUnloadNow() {
  BeforeCanUnloadNow();
  return ModuleLockCount() == 0 ? S_OK : S_FALSE;
}

HRESULT Module::RegisterServer() { return UpdateRegistry(true); }
HRESULT Module::UnregisterServer() { return UpdateRegistry(false); }

HRESULT Module::Install(BOOL install, const wchar_t* cmdLine) {
  const bool saved = std::exchange(perUser_, IsPerUserCommandLine(cmdLine));
  HRESULT hr;
  if (install) {
    hr = RegisterServer();
    // Takes back what was written; the registration's failure stays the result.
    if (FAILED(hr)) UnregisterServer();
  } else {
    hr = UnregisterServer();
  }
  perUser_ = saved;
  return hr;
}

HRESULT Module::UpdateRegistry(bool install) {
  ThreadLocaleScope locale(LOCALE_SYSTEM_DEFAULT);
  ClassesRootRedirect redirect;
  if (perUser_) {
    if (HRESULT hr = redirect.Begin(); FAILED(hr)) return hr;
  }
  if (install) {
    if (HRESULT hr = RunScript(description_.appIdScript, {}, true); FAILED(hr)) return hr;
  }
  for (const ClassEntry& entry : classes_) {
    if (HRESULT hr = RunScript(entry.registryScript, entry.variables, install); FAILED(hr)) return hr;
  }
  if (HRESULT hr = UpdateTypeLib(install); FAILED(hr)) return hr;
  if (!install) return RunScript(description_.appIdScript, {}, false);
  return S_OK;
}

HRESULT Module::RunScript(UINT id, const std::vector<ScriptVariable>& extra, bool install) {
  if (id == 0) return S_OK;
  std::vector<ScriptVariable> vars = {{L"MODULE", ModulePath()},
                                      {L"APPID", description_.appId ? description_.appId : L""}};
  vars.insert(vars.end(), extra.begin(), extra.end());
  return RunRegistryResource(ModuleInstance(), id, vars, install);
}

HRESULT Module::UpdateTypeLib(bool install) {
  if (!description_.libid) return S_OK;
  std::wstring path = ModulePath();
  ComPtr<ITypeLib> library;
  if (HRESULT hr = LoadTypeLibEx(path.c_str(), REGKIND_NONE, library.put()); FAILED(hr)) return hr;
  LibAttr attr(library.get());
  if (HRESULT hr = attr.Get(); FAILED(hr)) return hr;
  // The embedded library must be the one the module declares.
  if (!InlineIsEqualGUID(attr->guid, *description_.libid)) return E_UNEXPECTED;

  if (install) {
    // The help folder is the module's own, and only when the library names a help file.
    Bstr helpFile;
    // The result is not looked at: a library without documentation simply has no help file.
    library->GetDocumentation(-1, nullptr, nullptr, nullptr, helpFile.put());
    const bool hasHelp = static_cast<bool>(helpFile);
    std::wstring folder = path.substr(0, path.find_last_of(L'\\') + 1);
    OLECHAR* helpDir = hasHelp ? folder.data() : nullptr;
    if (perUser_) {
      if (auto forUser = OleAutFunction<RegisterForUser>("RegisterTypeLibForUser"))
        return forUser(library.get(), path.data(), helpDir);
    }
    return RegisterTypeLib(library.get(), path.data(), helpDir);
  }

  HRESULT hr = E_FAIL;
  auto forUser = perUser_ ? OleAutFunction<UnregisterForUser>("UnRegisterTypeLibForUser") : nullptr;
  if (forUser)
    hr = forUser(attr->guid, attr->wMajorVerNum, attr->wMinorVerNum, attr->lcid, attr->syskind);
  else
    hr = UnRegisterTypeLib(attr->guid, attr->wMajorVerNum, attr->wMinorVerNum, attr->lcid,
                           attr->syskind);
  if (FAILED(hr)) {
    // A library that is not registered has nothing to remove, as with a script's missing keys;
    // this lets a failed registration be taken back past the type library step.
    Bstr registered;
    if (FAILED(QueryPathOfRegTypeLib(attr->guid, attr->wMajorVerNum, attr->wMinorVerNum,
                                     attr->lcid, registered.put())))
      return S_OK;
  }
  return hr;
}

}  // namespace activex
