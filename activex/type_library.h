// This module's file path and the type library embedded in it (resource TYPELIB 1), loaded
// once per module and shared by every object that serves IDispatch or class information.
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

// A new reference to the module's type library.
HRESULT ModuleTypeLib(ITypeLib** out);

// Type information of an interface or class described in the module's type library.
HRESULT ModuleTypeInfo(REFGUID guid, ITypeInfo** out);

// Lets the cached library go (DllMain, process detach). At process exit the library is left
// alone: oleaut32 may already be gone, and the process ends anyway.
void ReleaseModuleTypeLib(bool processExit);

}  // namespace activex
