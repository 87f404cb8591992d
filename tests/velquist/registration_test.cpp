// Velquist.dll's registration by regsvr32, machine-wide and per user, checked key by key, and
// its removal. Every test ends with the server registered machine-wide again.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "registry_snapshot.h"

namespace {

using namespace registry_test;

const std::wstring kClsid = L"{473223D6-48D9-4A6C-B418-A149F96D9908}";
const std::wstring kLibid = L"{E1439EF6-4AB4-4058-A639-84A8AFCCF448}";
const std::wstring kIid = L"{02F148E6-A6E2-416E-945E-D774722237A9}";
const std::wstring kAppId = L"{0993BE9F-E4D7-4B38-8378-4CA2DDAFABD4}";

std::wstring Server() { return WindowsPath(VELQUIST_PATH); }

std::vector<ExpectedKey> ScriptedKeys() {
  const std::wstring path = Server();
  return {
      {L"AppID\\" + kAppId, {L"[]", L":@=Velquist"}},
      {L"AppID\\Velquist.DLL", {L"[]", L":AppID=" + kAppId}},
      {L"Velquist.Velquist.1", {L"[]", L":@=Velquist Class", L"[CLSID]", L"CLSID:@=" + kClsid}},
      {L"Velquist.Velquist",
       {L"[]", L":@=Velquist Class", L"[CLSID]", L"CLSID:@=" + kClsid, L"[CurVer]",
        L"CurVer:@=Velquist.Velquist.1"}},
      {L"CLSID\\" + kClsid,
       {L"[]", L":@=Velquist Class", L":AppID=" + kAppId, L"[ProgID]",
        L"ProgID:@=Velquist.Velquist.1", L"[VersionIndependentProgID]",
        L"VersionIndependentProgID:@=Velquist.Velquist", L"[Programmable]", L"[InprocServer32]",
        L"InprocServer32:@=" + path, L"InprocServer32:ThreadingModel=Apartment", L"[Control]",
        L"[ToolboxBitmap32]", L"ToolboxBitmap32:@=" + path + L", 102", L"[MiscStatus]",
        L"MiscStatus:@=0", L"[MiscStatus\\1]", L"MiscStatus\\1:@=132497", L"[TypeLib]",
        L"TypeLib:@=" + kLibid, L"[Version]", L"Version:@=1.0"}},
  };
}

void ExpectRegistered(const Classes& where) {
  ExpectKeys(where, ScriptedKeys());
  EXPECT_TRUE(Exists(where, L"TypeLib\\" + kLibid + L"\\1.0")) << where.name;
  EXPECT_TRUE(Exists(where, L"Interface\\" + kIid)) << where.name;
}

void ExpectNothingRegistered(const Classes& where) {
  ExpectUnregistered(where, ScriptedKeys(), kLibid, kIid);
}

class VelquistRegistration : public testing::Test {
 protected:
  void TearDown() override { ASSERT_EQ(Regsvr32(Server(), L""), 0u); }
};

TEST_F(VelquistRegistration, MachineWideAndRemoval) {
  ASSERT_EQ(Regsvr32(Server(), L""), 0u);
  ExpectRegistered(kMachine);
  EXPECT_EQ(DefaultValue(kMachine, L"Velquist.Velquist\\CurVer"), L"Velquist.Velquist.1");

  ASSERT_EQ(Regsvr32(Server(), L"/u"), 0u);
  ExpectNothingRegistered(kMachine);
  EXPECT_TRUE(Exists(kMachine, L"AppID")) << "never removed";
  EXPECT_TRUE(Exists(kMachine, L"CLSID")) << "never removed";
}

TEST_F(VelquistRegistration, PerUserOnlyForTheWholeWordUser) {
  struct Case {
    const wchar_t* commandLine;
    bool perUser;
  };
  const Case cases[] = {{L"user", true}, {L"UsEr", true}, {L"users", false}, {L"use", false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(Narrow(c.commandLine));
    ASSERT_EQ(Regsvr32(Server(), L"/u"), 0u);
    const std::wstring install = std::wstring(L"/n /i:") + c.commandLine;
    ASSERT_EQ(Regsvr32(Server(), install), 0u);
    ExpectRegistered(c.perUser ? kUser : kMachine);
    ExpectNothingRegistered(c.perUser ? kMachine : kUser);
    ASSERT_EQ(Regsvr32(Server(), L"/u " + install), 0u);
    ExpectNothingRegistered(kUser);
    ExpectNothingRegistered(kMachine);
  }
}

}  // namespace
