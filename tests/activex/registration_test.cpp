// Registration of the test server by regsvr32 (machine-wide and per user through DllInstall)
// and directly through its exports, checked key by key in the registry. Every test starts and
// ends with the server registered machine-wide, the state the other tests rely on.
#include <windows.h>

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "handle.h"
#include "layer_test_ids.h"
#include "reg_key.h"
#include "registry_snapshot.h"

namespace {

using activex::RegKey;
using namespace registry_test;

const std::wstring kClsid = L"{9C18450A-14B3-4019-A2A2-B6006E7C5B6C}";
const std::wstring kLibid = L"{8E66BC17-FD70-4304-8DD7-4015504458DF}";
const std::wstring kIid = L"{06F2D530-F4B9-4B64-BB74-E7599D00A462}";
const std::wstring kAppId = layer_test::kAppId;

std::wstring ServerPath() { return registry_test::WindowsPath(LAYER_TEST_SERVER_PATH); }

DWORD Regsvr32(const std::wstring& switches) {
  return registry_test::Regsvr32(ServerPath(), switches);
}

// What the scripts write, key by key.
std::vector<ExpectedKey> ScriptedKeys() {
  const std::wstring path = ServerPath();
  return {
      {L"AppID\\" + kAppId, {L"[]", L":@=LayerTest"}},
      {L"AppID\\LayerTest.DLL", {L"[]", L":AppID=" + kAppId}},
      {L"Layer.LayerTest.1",
       {L"[]", L":@=LayerTest Class", L"[CLSID]", L"CLSID:@=" + kClsid, L"[Insertable]"}},
      {L"Layer.LayerTest",
       {L"[]", L":@=LayerTest Class", L"[CLSID]", L"CLSID:@=" + kClsid, L"[CurVer]",
        L"CurVer:@=Layer.LayerTest.1"}},
      {L"CLSID\\" + kClsid,
       {L"[]", L":@=LayerTest Class", L":AppID=" + kAppId, L"[Control]", L"[InprocServer32]",
        L"InprocServer32:@=" + path, L"InprocServer32:ThreadingModel=Apartment", L"[MiscStatus]",
        L"MiscStatus:@=0", L"[MiscStatus\\1]", L"MiscStatus\\1:@=131473", L"[ProgID]",
        L"ProgID:@=Layer.LayerTest.1", L"[Programmable]", L"[ToolboxBitmap32]",
        L"ToolboxBitmap32:@=" + path + L", 102", L"[TypeLib]", L"TypeLib:@=" + kLibid,
        L"[Version]", L"Version:@=1.0", L"[VersionIndependentProgID]",
        L"VersionIndependentProgID:@=Layer.LayerTest"}},
  };
}

void ExpectRegistered(const Classes& where) {
  ExpectKeys(where, ScriptedKeys());
  EXPECT_TRUE(Exists(where, L"TypeLib\\" + kLibid + L"\\1.0\\0\\win32")) << where.name;
  EXPECT_TRUE(Exists(where, L"Interface\\" + kIid)) << where.name;
}

void ExpectNothingRegistered(const Classes& where) {
  ExpectUnregistered(where, ScriptedKeys(), kLibid, kIid);
}

class RegistrationTest : public testing::Test {
 protected:
  void TearDown() override {
    ASSERT_EQ(Regsvr32(L""), 0u) << "back to the machine-wide registration";
  }
};

TEST_F(RegistrationTest, MachineRegistrationWritesExactlyTheScripts) {
  ASSERT_EQ(Regsvr32(L""), 0u);
  ExpectRegistered(kMachine);
  ExpectNothingRegistered(kUser);

  // The version-independent ProgID leads to the class through CurVer too.
  RegKey curVer;
  ASSERT_EQ(curVer.Open(HKEY_CLASSES_ROOT, L"Layer.LayerTest\\CurVer"), ERROR_SUCCESS);
  wchar_t progId[64] = {};
  DWORD size = sizeof progId;
  ASSERT_EQ(RegQueryValueExW(curVer.get(), nullptr, nullptr, nullptr, reinterpret_cast<BYTE*>(progId), &size),
            ERROR_SUCCESS);
  CLSID clsid{};
  ASSERT_EQ(CLSIDFromProgID(progId, &clsid), S_OK);
  wchar_t text[40] = {};
  StringFromGUID2(clsid, text, 40);
  EXPECT_EQ(text, kClsid);
}

TEST_F(RegistrationTest, ForceRemoveReplacesAndUnregistrationRemovesWhatWasWritten) {
  // Leftovers inside force-removed keys, and a key of someone else's inside a normal one.
  const std::wstring classKey = Under(L"CLSID\\" + kClsid);
  RegKey k;
  ASSERT_EQ(k.Create(HKEY_LOCAL_MACHINE, (classKey + L"\\Stray").c_str()), ERROR_SUCCESS);
  ASSERT_EQ(k.Create(HKEY_LOCAL_MACHINE, (classKey + L"\\Programmable\\Inner").c_str()), ERROR_SUCCESS);
  ASSERT_EQ(k.Create(HKEY_LOCAL_MACHINE, classKey.c_str()), ERROR_SUCCESS);
  const DWORD one = 1;
  ASSERT_EQ(RegSetValueExW(k.get(), L"StrayValue", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&one), sizeof one),
            ERROR_SUCCESS);
  ASSERT_EQ(k.Create(HKEY_LOCAL_MACHINE, Under(L"Layer.LayerTest\\Foreign").c_str()), ERROR_SUCCESS);
  k.Reset();

  ASSERT_EQ(Regsvr32(L""), 0u);
  const auto expected = ScriptedKeys();
  EXPECT_EQ(Dump(kMachine, L"CLSID\\" + kClsid), expected[4].entries) << "the class key is written anew";
  EXPECT_TRUE(Exists(kMachine, L"Layer.LayerTest\\Foreign")) << "a normal key is only added to";

  ASSERT_EQ(Regsvr32(L"/u"), 0u);
  EXPECT_EQ(Dump(kMachine, L"Layer.LayerTest"), (Entries{L"[]", L"[Foreign]"}))
      << "a key still in use keeps what is not ours";
  ASSERT_EQ(RegDeleteTreeW(HKEY_LOCAL_MACHINE, Under(L"Layer.LayerTest").c_str()), ERROR_SUCCESS);
  ExpectNothingRegistered(kMachine);
  EXPECT_TRUE(Exists(kMachine, L"AppID")) << "never removed";
  EXPECT_TRUE(Exists(kMachine, L"CLSID")) << "never removed";
}

TEST_F(RegistrationTest, DllInstallRegistersPerUserOnlyForTheWordUser) {
  struct Case {
    const wchar_t* commandLine;
    bool perUser;
  };
  const Case cases[] = {{L"user", true}, {L"USER", true}, {L"users", false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string("/i:") + std::string(c.commandLine, c.commandLine + wcslen(c.commandLine)));
    ASSERT_EQ(Regsvr32(L"/u"), 0u);
    ExpectNothingRegistered(kMachine);

    const std::wstring install = std::wstring(L"/n /i:") + c.commandLine;
    ASSERT_EQ(Regsvr32(install), 0u);
    ExpectRegistered(c.perUser ? kUser : kMachine);
    ExpectNothingRegistered(c.perUser ? kMachine : kUser);

    ASSERT_EQ(Regsvr32(L"/u " + install), 0u);
    ExpectNothingRegistered(kUser);
    ExpectNothingRegistered(kMachine);
  }
}

// The exports called directly, as an installer would.
class DirectRegistrationTest : public RegistrationTest {
 protected:
  void SetUp() override {
    module_ = LoadLibraryW(ServerPath().c_str());
    ASSERT_NE(module_, nullptr);
    install_ = reinterpret_cast<HRESULT(WINAPI*)(BOOL, LPCWSTR)>(
        reinterpret_cast<void*>(GetProcAddress(module_, "DllInstall")));
    register_ = reinterpret_cast<HRESULT(WINAPI*)()>(
        reinterpret_cast<void*>(GetProcAddress(module_, "DllRegisterServer")));
    ASSERT_TRUE(install_ && register_);
  }
  void TearDown() override {
    FreeLibrary(module_);
    RegistrationTest::TearDown();
  }
  HMODULE module_ = nullptr;
  HRESULT(WINAPI* install_)(BOOL, LPCWSTR) = nullptr;
  HRESULT(WINAPI* register_)() = nullptr;
};

TEST_F(DirectRegistrationTest, CommandLinesAndTheThreadLocale) {
  struct Case {
    const wchar_t* commandLine;
    bool perUser;
  };
  const Case cases[] = {{L"uSeR", true}, {L"use", false}, {L"", false}, {nullptr, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.commandLine ? std::string(c.commandLine, c.commandLine + wcslen(c.commandLine)) : "null");
    ASSERT_EQ(install_(FALSE, nullptr), S_OK);
    ASSERT_EQ(install_(TRUE, c.commandLine), S_OK);
    EXPECT_EQ(Exists(kUser, L"CLSID\\" + kClsid), c.perUser);
    EXPECT_EQ(Exists(kMachine, L"CLSID\\" + kClsid), !c.perUser);
    ASSERT_EQ(install_(FALSE, c.commandLine), S_OK);
    ExpectNothingRegistered(kUser);
  }

  const LCID german = MAKELCID(MAKELANGID(LANG_GERMAN, SUBLANG_GERMAN), SORT_DEFAULT);
  ASSERT_TRUE(SetThreadLocale(german));
  EXPECT_EQ(register_(), S_OK);
  EXPECT_EQ(GetThreadLocale(), german) << "restored after registration";
}

}  // namespace
