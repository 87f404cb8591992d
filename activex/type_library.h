// This module's file path and the type libraries embedded in it (resources TYPELIB 1, 2, ...),
// each loaded once per module and shared by every object that serves IDispatch or class
// information. Most servers embed one; a server may carry further libraries numbered on from 2.
//
//   activex::ComPtr<ITypeInfo> info;
//   HRESULT hr = activex::ModuleTypeInfo(__uuidof(IThing), info.put());
#pragma once

#include <windows.h>
#include <oaidl.h>

#include <string>

namespace activex {

// Full path of the module whose instance handle ModuleInstance() holds (empty on failure).
std::wstring ModulePath();

// A new reference to the module's type library (TYPELIB 1).
HRESULT ModuleTypeLib(ITypeLib** out);

// A new reference to the embedded type library TYPELIB <index> (1, 2, ...).
HRESULT ModuleTypeLib(UINT index, ITypeLib** out);

// Type information of an interface or class described in one of the module's type libraries,
// looked up in TYPELIB 1, then 2 and on while there are more. TYPE_E_ELEMENTNOTFOUND when no
// library describes it.
HRESULT ModuleTypeInfo(REFGUID guid, ITypeInfo** out);

// Lets the cached libraries go (DllMain, process detach). At process exit they are left
// alone: oleaut32 may already be gone, and the process ends anyway.
void ReleaseModuleTypeLib(bool processExit);

}  // namespace activex
