// The registrar: writes a registry script (registry_script.h) into the registry and removes
// exactly what it wrote.
//
//   activex::RunRegistryResource(module, 103, {{L"MODULE", path}, {L"APPID", appId}}, true);
//
// Writing: a ForceRemove key is deleted whole first; every key is created (or opened), its
// default value and named values set, its subkeys written in script order.
// Removing: a ForceRemove key is deleted whole; a NoRemove key is kept, its named values and
// subkeys removed as the script says; any other key loses the values the script gives it and
// its scripted subkeys, and is deleted when nothing (no value, no subkey) is left in it, so a
// key that someone else also uses survives. A key or value that is already gone is not an error.
// The first failure stops the run and is the result; a script that does not parse writes nothing.
//
// HKCR is HKEY_CLASSES_ROOT as the process sees it at the time: ClassesRootRedirect points it
// at the user's classes for per-user registration.
#pragma once

#include <windows.h>

#include <string_view>
#include <vector>

#include "reg_key.h"
#include "registry_script.h"

namespace activex {

// install true writes, false removes.
HRESULT ApplyRegistryScript(const RegistryScript& script, bool install);

// Parses and applies; a parse error gives E_INVALIDARG (the message goes to the debugger output).
HRESULT RunRegistryScript(std::wstring_view text, const std::vector<ScriptVariable>& vars,
                          bool install);

// Same, for the resource of type "REGISTRY" with the numeric id in `module`. The resource is
// text in the ANSI code page, or UTF-8 or UTF-16 with a byte-order mark.
HRESULT RunRegistryResource(HMODULE module, UINT id, const std::vector<ScriptVariable>& vars,
                            bool install);

// While alive (after a successful Begin), HKEY_CLASSES_ROOT means HKCU\Software\Classes for
// this process: registration code, the type library registration included, writes per user.
class ClassesRootRedirect {
 public:
  ClassesRootRedirect() = default;
  ClassesRootRedirect(const ClassesRootRedirect&) = delete;
  ClassesRootRedirect& operator=(const ClassesRootRedirect&) = delete;
  ~ClassesRootRedirect();

  HRESULT Begin();

 private:
  RegKey userClasses_;
  bool active_ = false;
};

// Sets the calling thread's locale for the scope and restores the previous one after it.
class ThreadLocaleScope {
 public:
  explicit ThreadLocaleScope(LCID locale) : previous_(GetThreadLocale()) { SetThreadLocale(locale); }
  ThreadLocaleScope(const ThreadLocaleScope&) = delete;
  ThreadLocaleScope& operator=(const ThreadLocaleScope&) = delete;
  ~ThreadLocaleScope() { SetThreadLocale(previous_); }

 private:
  LCID previous_;
};

}  // namespace activex
