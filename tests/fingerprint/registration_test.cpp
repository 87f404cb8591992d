// Registration of the fingerprint server by regsvr32, for the machine and per user, checked key
// by key in the registry. Every test ends with the server registered for the machine, the state
// the script tests rely on.
#include <windows.h>

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "handle.h"
#include "reg_key.h"

namespace {

using activex::RegKey;
using Entries = std::set<std::wstring>;

const std::wstring kControl = L"{A1477B70-183A-49C4-B86C-488063DC2940}";
const std::wstring kPage = L"{E5309487-A969-4251-9827-C6D0DCDAE626}";
const std::wstring kLibrary = L"{CCEF7C17-EF6A-44EF-9F87-2BB828603EAD}";
const std::wstring kInterface = L"{F5AB301B-7101-40C3-9C19-CB5E6448CC35}";
const std::wstring kAppId = L"{F518217C-18F6-4541-BB1D-58E0B892E278}";

std::wstring ServerPath() {
  std::wstring path = L"Z:" QUORVANE_SERVER_PATH;
  for (wchar_t& c : path)
    if (c == L'/') c = L'\\';
  return path;
}

// regsvr32 /s with `switches` on the server; its exit code.
DWORD Regsvr32(const std::wstring& switches) {
  std::wstring command = L"regsvr32.exe /s " + switches + L" \"" + ServerPath() + L"\"";
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info{};
  if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                      &startup, &info))
    return GetLastError();
  activex::UniqueHandle process(info.hProcess), thread(info.hThread);
  WaitForSingleObject(process.get(), INFINITE);
  DWORD code = 1;
  GetExitCodeProcess(process.get(), &code);
  return code;
}

struct Classes {
  HKEY root;
  const char* name;
};
const Classes kMachine = {HKEY_LOCAL_MACHINE, "machine"};
const Classes kUser = {HKEY_CURRENT_USER, "user"};

std::wstring Under(const std::wstring& key) { return L"Software\\Classes\\" + key; }

bool Exists(const Classes& where, const std::wstring& key) {
  RegKey k;
  return k.Open(where.root, Under(key).c_str()) == ERROR_SUCCESS;
}

// Every key as "[path]" and every text value as "path:name=data" ("@" the default value), with
// paths relative to `key`.
void Collect(HKEY key, const std::wstring& path, Entries& out) {
  out.insert(L"[" + path + L"]");
  for (DWORD i = 0;; ++i) {
    wchar_t name[256];
    DWORD nameLength = 256, type = 0;
    BYTE data[2048];
    DWORD size = sizeof data;
    if (RegEnumValueW(key, i, name, &nameLength, nullptr, &type, data, &size) != ERROR_SUCCESS)
      break;
    const std::wstring text =
        type == REG_SZ ? std::wstring(reinterpret_cast<wchar_t*>(data)) : L"(not text)";
    out.insert(path + L":" + (nameLength ? name : L"@") + L"=" + text);
  }
  for (DWORD i = 0;; ++i) {
    wchar_t name[256];
    DWORD nameLength = 256;
    if (RegEnumKeyExW(key, i, name, &nameLength, nullptr, nullptr, nullptr, nullptr) !=
        ERROR_SUCCESS)
      break;
    RegKey sub;
    if (sub.Open(key, name) == ERROR_SUCCESS)
      Collect(sub.get(), path.empty() ? name : path + L"\\" + name, out);
  }
}

Entries Dump(const Classes& where, const std::wstring& key) {
  Entries out;
  RegKey k;
  if (k.Open(where.root, Under(key).c_str()) == ERROR_SUCCESS) Collect(k.get(), L"", out);
  return out;
}

std::string Show(const Entries& entries) {
  std::string s;
  for (const std::wstring& e : entries) s += std::string(e.begin(), e.end()) + "\n";
  return s;
}

struct Expected {
  std::wstring key;
  Entries entries;
};

// What the three registry scripts write, key by key.
std::vector<Expected> ScriptedKeys() {
  const std::wstring path = ServerPath();
  return {
      {L"AppID\\" + kAppId, {L"[]", L":@=QuorvaneBiometric"}},
      {L"AppID\\QuorvaneBiometric.DLL", {L"[]", L":AppID=" + kAppId}},
      {L"QuorvaneBiometric.MyControl.1",
       {L"[]", L":@=MyControl Class", L"[CLSID]", L"CLSID:@=" + kControl, L"[Insertable]"}},
      {L"QuorvaneBiometric.MyControl",
       {L"[]", L":@=MyControl Class", L"[CLSID]", L"CLSID:@=" + kControl, L"[CurVer]",
        L"CurVer:@=QuorvaneBiometric.MyControl.1"}},
      {L"CLSID\\" + kControl,
       {L"[]", L":@=MyControl Class", L":AppID=" + kAppId, L"[Control]", L"[Insertable]",
        L"[InprocServer32]", L"InprocServer32:@=" + path,
        L"InprocServer32:ThreadingModel=Apartment", L"[MiscStatus]", L"MiscStatus:@=0",
        L"[MiscStatus\\1]", L"MiscStatus\\1:@=131473", L"[ProgID]",
        L"ProgID:@=QuorvaneBiometric.MyControl.1", L"[Programmable]", L"[ToolboxBitmap32]",
        L"ToolboxBitmap32:@=" + path + L", 102", L"[TypeLib]", L"TypeLib:@=" + kLibrary,
        L"[Version]", L"Version:@=1.0", L"[VersionIndependentProgID]",
        L"VersionIndependentProgID:@=QuorvaneBiometric.MyControl"}},
      {L"QuorvaneBiometricLib.MyPropertyPage.1",
       {L"[]", L":@=MyPropertyPage Class", L"[CLSID]", L"CLSID:@=" + kPage}},
      {L"QuorvaneBiometricLib.MyPropertyPage",
       {L"[]", L":@=MyPropertyPage Class", L"[CLSID]", L"CLSID:@=" + kPage, L"[CurVer]",
        L"CurVer:@=QuorvaneBiometricLib.MyPropertyPage.1"}},
      {L"CLSID\\" + kPage,
       {L"[]", L":@=MyPropertyPage Class", L":AppID=" + kAppId, L"[InprocServer32]",
        L"InprocServer32:@=" + path, L"InprocServer32:ThreadingModel=Apartment", L"[ProgID]",
        L"ProgID:@=QuorvaneBiometricLib.MyPropertyPage.1", L"[TypeLib]",
        L"TypeLib:@=" + kLibrary, L"[VersionIndependentProgID]",
        L"VersionIndependentProgID:@=QuorvaneBiometricLib.MyPropertyPage"}},
  };
}

void ExpectRegistered(const Classes& where) {
  for (const Expected& e : ScriptedKeys())
    EXPECT_EQ(Dump(where, e.key), e.entries)
        << where.name << " " << std::string(e.key.begin(), e.key.end()) << ":\n"
        << Show(Dump(where, e.key));
  const Entries library = Dump(where, L"TypeLib\\" + kLibrary + L"\\1.0");
  EXPECT_EQ(library.count(L":@=QuorvaneBiometric 1.0 Type Library"), 1u) << Show(library);
  EXPECT_EQ(library.count(L"[409\\win32]"), 1u) << Show(library);
  EXPECT_TRUE(Exists(where, L"Interface\\" + kInterface)) << where.name;
}

void ExpectNothingRegistered(const Classes& where) {
  for (const Expected& e : ScriptedKeys())
    EXPECT_FALSE(Exists(where, e.key)) << where.name << " " << std::string(e.key.begin(), e.key.end());
  EXPECT_FALSE(Exists(where, L"TypeLib\\" + kLibrary)) << where.name;
  EXPECT_FALSE(Exists(where, L"Interface\\" + kInterface)) << where.name;
}

class Registration : public testing::Test {
 protected:
  void TearDown() override { ASSERT_EQ(Regsvr32(L""), 0u) << "back to the machine"; }
};

TEST_F(Registration, ForTheMachineAndBack) {
  ASSERT_EQ(Regsvr32(L"/u"), 0u);
  ExpectNothingRegistered(kMachine);
  ASSERT_EQ(Regsvr32(L""), 0u);
  ExpectRegistered(kMachine);
  ExpectNothingRegistered(kUser);

  // The version-independent ProgID leads to the class through CurVer.
  CLSID clsid{};
  ASSERT_EQ(CLSIDFromProgID(L"QuorvaneBiometric.MyControl", &clsid), S_OK);
  wchar_t text[40] = {};
  StringFromGUID2(clsid, text, 40);
  EXPECT_EQ(text, kControl);
  wchar_t* current = nullptr;
  ASSERT_EQ(ProgIDFromCLSID(clsid, &current), S_OK);
  EXPECT_EQ(std::wstring(current), L"QuorvaneBiometric.MyControl.1");
  CoTaskMemFree(current);

  ASSERT_EQ(Regsvr32(L"/u"), 0u);
  ExpectNothingRegistered(kMachine);
  EXPECT_TRUE(Exists(kMachine, L"AppID")) << "never removed";
  EXPECT_TRUE(Exists(kMachine, L"CLSID")) << "never removed";
}

TEST_F(Registration, PerUserOnlyForTheWordUser) {
  struct Case {
    const wchar_t* commandLine;
    bool perUser;
  } cases[] = {{L"user", true}, {L"USER", true}, {L"users", false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string("/i:") +
                 std::string(c.commandLine, c.commandLine + wcslen(c.commandLine)));
    ASSERT_EQ(Regsvr32(L"/u"), 0u);
    const std::wstring install = std::wstring(L"/n /i:") + c.commandLine;
    ASSERT_EQ(Regsvr32(install), 0u);
    ExpectRegistered(c.perUser ? kUser : kMachine);
    ExpectNothingRegistered(c.perUser ? kMachine : kUser);
    ASSERT_EQ(Regsvr32(L"/u " + install), 0u);
    ExpectNothingRegistered(kUser);
    ExpectNothingRegistered(kMachine);
  }
}

}  // namespace
