// Narrow text made inside the control, handed to the host as a BSTR.
#pragma once

#include <windows.h>
#include <oleauto.h>

#include <string>

namespace activex {

// A new BSTR of `text` converted from the calling thread's ANSI code page (CP_THREAD_ACP):
// the length is measured first, then allocated exactly and converted. The empty text gives an
// empty, non-null BSTR. E_OUTOFMEMORY when the BSTR cannot be allocated; *out is then null.
HRESULT ToBstr(const std::string& text, BSTR* out);

}  // namespace activex
