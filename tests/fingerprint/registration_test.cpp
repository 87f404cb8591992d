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
#include "registry_snapshot.h"

namespace {

using activex::RegKey;
using namespace registry_test;

const std::wstring kControl = L"{A1477B70-183A-49C4-B86C-488063DC2940}";
const std::wstring kPage = L"{E5309487-A969-4251-9827-C6D0DCDAE626}";
const std::wstring kLibrary = L"{CCEF7C17-EF6A-44EF-9F87-2BB828603EAD}";
const std::wstring kInterface = L"{F5AB301B-7101-40C3-9C19-CB5E6448CC35}";
const std::wstring kAppId = L"{F518217C-18F6-4541-BB1D-58E0B892E278}";

std::wstring ServerPath() { return WindowsPath(QUORVANE_SERVER_PATH); }

DWORD Regsvr32(const std::wstring& switches) { return registry_test::Regsvr32(ServerPath(), switches); }

// What the three registry scripts write, key by key.
std::vector<ExpectedKey> ScriptedKeys() {
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
  ExpectKeys(where, ScriptedKeys());
  const Entries library = Dump(where, L"TypeLib\\" + kLibrary + L"\\1.0");
  EXPECT_EQ(library.count(L":@=QuorvaneBiometric 1.0 Type Library"), 1u) << Show(library);
  EXPECT_EQ(library.count(L"[409\\win32]"), 1u) << Show(library);
  EXPECT_TRUE(Exists(where, L"Interface\\" + kInterface)) << where.name;
}

void ExpectNothingRegistered(const Classes& where) {
  ExpectUnregistered(where, ScriptedKeys(), kLibrary, kInterface);
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
