#include "module_lock.h"

#include <atomic>

namespace activex {
namespace {
std::atomic<LONG> lockCount{0};
std::atomic<HINSTANCE> instance{nullptr};
}  // namespace

void LockModule() { ++lockCount; }
void UnlockModule() { --lockCount; }
LONG ModuleLockCount() { return lockCount.load(); }

HINSTANCE ModuleInstance() { return instance.load(); }
void SetModuleInstance(HINSTANCE h) { instance.store(h); }

}  // namespace activex
