// Text between COM's UTF-16 strings and the UTF-8 of the simulated scanner's core (call log,
// scripts' operation names and values).
#pragma once

#include <windows.h>
#include <oleauto.h>

#include <string>
#include <string_view>

#include "bstr.h"

namespace fingersim {

// UTF-8 of a BSTR (its whole length); a null BSTR gives the empty text.
inline std::string Utf8(BSTR text) {
  const int length = static_cast<int>(SysStringLen(text));
  if (length == 0) return {};
  const int size = WideCharToMultiByte(CP_UTF8, 0, text, length, nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<std::size_t>(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text, length, out.data(), size, nullptr, nullptr);
  return out;
}

// A new BSTR of UTF-8 text; E_OUTOFMEMORY when it cannot be made.
inline HRESULT ToBstr(std::string_view utf8, BSTR* out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  const int length = static_cast<int>(utf8.size());
  const int size = length ? MultiByteToWideChar(CP_UTF8, 0, utf8.data(), length, nullptr, 0) : 0;
  activex::Bstr text = activex::Bstr::Adopt(SysAllocStringLen(nullptr, static_cast<UINT>(size)));
  if (!text) return E_OUTOFMEMORY;
  if (size) MultiByteToWideChar(CP_UTF8, 0, utf8.data(), length, text.get(), size);
  *out = text.Detach();
  return S_OK;
}

}  // namespace fingersim
