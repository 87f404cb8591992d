#include "loaded_server.h"

#include "registry_snapshot.h"

namespace registry_test {

LoadedServer::LoadedServer(const std::wstring& unixPath) {
  module_ = LoadLibraryW(WindowsPath(unixPath).c_str());
  if (!module_) return;
  getClassObject_ = reinterpret_cast<HRESULT(WINAPI*)(REFCLSID, REFIID, void**)>(
      reinterpret_cast<void*>(GetProcAddress(module_, "DllGetClassObject")));
  canUnloadNow_ = reinterpret_cast<HRESULT(WINAPI*)()>(
      reinterpret_cast<void*>(GetProcAddress(module_, "DllCanUnloadNow")));
}

HRESULT LoadedServer::GetClassObject(REFCLSID clsid, REFIID iid, void** out) const {
  return getClassObject_ ? getClassObject_(clsid, iid, out) : E_UNEXPECTED;
}

HRESULT LoadedServer::CanUnloadNow() const {
  return canUnloadNow_ ? canUnloadNow_() : E_UNEXPECTED;
}

}  // namespace registry_test
