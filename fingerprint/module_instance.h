// The instance handle of this server's module, as DllMain receives it: stored on every call of
// DllMain before anything else, shared by every control of the process.
#pragma once

#include <windows.h>

namespace fingerprint {

extern HINSTANCE moduleInstance;

}  // namespace fingerprint
