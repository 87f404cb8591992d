// The module's count of live objects and server locks, and its instance handle.
#pragma once

#include <windows.h>

namespace activex {

// Atomic: objects of an apartment-threaded server may still live in several apartments.
void LockModule();
void UnlockModule();
LONG ModuleLockCount();

// The instance handle of this DLL, as DllMain received it.
HINSTANCE ModuleInstance();
void SetModuleInstance(HINSTANCE instance);

}  // namespace activex
