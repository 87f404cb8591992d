// What a server's registration left in the registry, for tests: regsvr32 run on a server, and
// keys dumped as sets of lines that compare exactly with what the scripts should have written.
#pragma once

#include <windows.h>

#include <set>
#include <string>
#include <vector>

namespace registry_test {

// Every key as "[path]" and every string value as "path:name=data" ("@" for the default value),
// with paths relative to the dumped key.
using Entries = std::set<std::wstring>;

// Where a registration lands: the machine's classes or the user's.
struct Classes {
  HKEY root;
  const wchar_t* name;
};
extern const Classes kMachine;
extern const Classes kUser;

// `key` under HKLM or HKCU: Software\Classes\<key>.
std::wstring Under(const std::wstring& key);

// A Unix path as Wine sees it (drive Z:).
std::wstring WindowsPath(const std::wstring& unixPath);

// Runs "regsvr32 /s <switches> <server>"; its exit code.
DWORD Regsvr32(const std::wstring& server, const std::wstring& switches);

bool Exists(const Classes& where, const std::wstring& key);
Entries Dump(const Classes& where, const std::wstring& key);
std::string Show(const Entries& entries);
std::string Narrow(const std::wstring& text);

// One key the scripts write, with everything under it.
struct ExpectedKey {
  std::wstring key;
  Entries entries;
};

// Checks (with gtest) that every expected key holds exactly its entries, or that none exists.
void ExpectKeys(const Classes& where, const std::vector<ExpectedKey>& keys);
void ExpectNoKeys(const Classes& where, const std::vector<ExpectedKey>& keys);

// Checks that a server left nothing registered: none of its scripted keys, no type library
// `libid` and no interface `iid` (both as "{...}").
void ExpectUnregistered(const Classes& where, const std::vector<ExpectedKey>& keys,
                        const std::wstring& libid, const std::wstring& iid);

// The default value of a key under the machine's or user's classes ("" when absent).
std::wstring DefaultValue(const Classes& where, const std::wstring& key);

}  // namespace registry_test
