#include "to_bstr.h"

#include <climits>

namespace activex {

HRESULT ToBstr(const std::string& text, BSTR* out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (text.size() > static_cast<std::size_t>(INT_MAX)) return E_OUTOFMEMORY;
  const int narrow = static_cast<int>(text.size());
  int wide = 0;
  if (narrow > 0) {
    wide = MultiByteToWideChar(CP_THREAD_ACP, 0, text.data(), narrow, nullptr, 0);
    if (wide == 0) return HRESULT_FROM_WIN32(GetLastError());
  }
  BSTR s = SysAllocStringLen(nullptr, static_cast<UINT>(wide));
  if (!s) return E_OUTOFMEMORY;
  if (wide > 0) MultiByteToWideChar(CP_THREAD_ACP, 0, text.data(), narrow, s, wide);
  *out = s;
  return S_OK;
}

}  // namespace activex
