#include "type_library.h"

#include <mutex>
#include <string>
#include <vector>

#include "com_ptr.h"
#include "module_lock.h"

namespace activex {
namespace {

// The libraries loaded so far, by index - 1, and the first index known to have no library
// (0 while none is known), so that a lookup that misses does not search the module again.
struct LibraryCache {
  std::vector<ComPtr<ITypeLib>> libraries;
  UINT firstMissing = 0;
};

std::mutex cacheLock;
LibraryCache& Cache() {
  static LibraryCache cache;
  return cache;
}

HRESULT LoadEmbedded(UINT index, ITypeLib** out) {
  std::wstring path = ModulePath();
  if (path.empty()) return HRESULT_FROM_WIN32(GetLastError());
  // A path alone names TYPELIB 1; "path\N" names TYPELIB N.
  if (index != 1) path += L"\\" + std::to_wstring(index);
  return LoadTypeLibEx(path.c_str(), REGKIND_NONE, out);
}

// With cacheLock held.
HRESULT CachedLibrary(UINT index, ITypeLib** out) {
  LibraryCache& cache = Cache();
  if (cache.firstMissing != 0 && index >= cache.firstMissing) return TYPE_E_CANTLOADLIBRARY;
  if (cache.libraries.size() < index) cache.libraries.resize(index);
  ComPtr<ITypeLib>& library = cache.libraries[index - 1];
  if (!library) {
    HRESULT hr = LoadEmbedded(index, library.put());
    if (FAILED(hr)) {
      // Index 1 may fail for a passing reason (a path that could not be read); only a missing
      // further library is remembered.
      if (index > 1 && (cache.firstMissing == 0 || index < cache.firstMissing))
        cache.firstMissing = index;
      return hr;
    }
  }
  return library.CopyTo(out);
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

HRESULT ModuleTypeLib(ITypeLib** out) { return ModuleTypeLib(1, out); }

HRESULT ModuleTypeLib(UINT index, ITypeLib** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (index == 0) return E_INVALIDARG;
  std::lock_guard<std::mutex> hold(cacheLock);
  return CachedLibrary(index, out);
}

HRESULT ModuleTypeInfo(REFGUID guid, ITypeInfo** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  for (UINT index = 1;; ++index) {
    ComPtr<ITypeLib> library;
    if (HRESULT hr = ModuleTypeLib(index, library.put()); FAILED(hr))
      return index == 1 ? hr : TYPE_E_ELEMENTNOTFOUND;
    if (SUCCEEDED(library->GetTypeInfoOfGuid(guid, out))) return S_OK;
  }
}

void ReleaseModuleTypeLib(bool processExit) {
  std::lock_guard<std::mutex> hold(cacheLock);
  LibraryCache& cache = Cache();
  if (processExit) {
    for (ComPtr<ITypeLib>& library : cache.libraries) library.Detach();  // see the header
  } else {
    cache.libraries.clear();
  }
  cache.firstMissing = 0;
}

}  // namespace activex
