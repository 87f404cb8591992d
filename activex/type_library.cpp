#include "type_library.h"

#include <mutex>

#include "com_ptr.h"
#include "module_lock.h"

namespace activex {
namespace {

std::mutex cacheLock;
ComPtr<ITypeLib>& Cache() {
  static ComPtr<ITypeLib> library;
  return library;
}

}  // namespace

std::wstring ModulePath() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD n = GetModuleFileNameW(ModuleInstance(), path.data(), static_cast<DWORD>(path.size()));
    if (n == 0) return {};
    if (n < path.size()) {
      path.resize(n);
      return path;
    }
    path.resize(path.size() * 2);
  }
}

HRESULT ModuleTypeLib(ITypeLib** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  std::lock_guard<std::mutex> hold(cacheLock);
  ComPtr<ITypeLib>& cache = Cache();
  if (!cache) {
    const std::wstring path = ModulePath();
    if (path.empty()) return HRESULT_FROM_WIN32(GetLastError());
    if (HRESULT hr = LoadTypeLibEx(path.c_str(), REGKIND_NONE, cache.put()); FAILED(hr)) return hr;
  }
  return cache.CopyTo(out);
}

HRESULT ModuleTypeInfo(REFGUID guid, ITypeInfo** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  ComPtr<ITypeLib> library;
  if (HRESULT hr = ModuleTypeLib(library.put()); FAILED(hr)) return hr;
  return library->GetTypeInfoOfGuid(guid, out);
}

void ReleaseModuleTypeLib(bool processExit) {
  std::lock_guard<std::mutex> hold(cacheLock);
  if (processExit)
    Cache().Detach();  // deliberately not released, see the header
  else
    Cache().Reset();
}

}  // namespace activex
