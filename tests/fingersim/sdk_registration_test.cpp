// FingerSdkSim.dll as regsvr32 registered it in the prefix (fixture FingerSdkSim): the SDK
// created by its class identifier as the fingerprint control creates it, the channel by its
// ProgIDs, the registry entries and both type libraries.
#include <windows.h>
#include <oleauto.h>

#include <gtest/gtest.h>

#include <string>

#include "bstr.h"
#include "com_ptr.h"
#include "fingersdk.h"
#include "fingersdksim.h"

namespace {

using activex::Bstr;
using activex::ComPtr;

class Registered : public testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(CoInitialize(nullptr), S_OK); }
  void TearDown() override { CoUninitialize(); }
};

std::wstring ReadText(const std::wstring& key, const wchar_t* value) {
  wchar_t text[MAX_PATH * 2] = {};
  DWORD size = sizeof text;
  if (RegGetValueW(HKEY_CLASSES_ROOT, key.c_str(), value, RRF_RT_REG_SZ, nullptr, text, &size) != ERROR_SUCCESS) {
    return L"<missing>";
  }
  return text;
}

std::wstring Text(const GUID& guid) {
  wchar_t text[40] = {};
  StringFromGUID2(guid, text, 40);
  return text;
}

TEST_F(Registered, TheControlCreatesTheSdkByItsClassAndScriptsFindTheChannel) {
  ComPtr<IFingerSdk> sdk;
  ASSERT_EQ(CoCreateInstance(CLSID_FingerSdk, nullptr, CLSCTX_INPROC_SERVER, IID_IFingerSdk, sdk.put_void()), S_OK);

  struct Name {
    const wchar_t* progId;
    const CLSID* clsid;
  };
  for (const Name& n : {Name{L"FingerSdkSim.Scanner", &CLSID_Scanner}, Name{L"FingerSdkSim.Scanner.1", &CLSID_Scanner},
                        Name{L"FingerSdkSim.FingerSdk", &CLSID_FingerSdk},
                        Name{L"FingerSdkSim.FingerSdk.1", &CLSID_FingerSdk}}) {
    CLSID found = CLSID_NULL;
    EXPECT_EQ(CLSIDFromProgID(n.progId, &found), S_OK);
    EXPECT_TRUE(IsEqualCLSID(found, *n.clsid));
  }
  EXPECT_EQ(ReadText(L"FingerSdkSim.Scanner\\CurVer", nullptr), L"FingerSdkSim.Scanner.1");

  // The channel made through its ProgID acts on the SDK made through its class: one DLL.
  CLSID scannerClass = CLSID_NULL;
  ASSERT_EQ(CLSIDFromProgID(L"FingerSdkSim.Scanner", &scannerClass), S_OK);
  ComPtr<IFingerSdkScanner> scanner;
  ASSERT_EQ(CoCreateInstance(scannerClass, nullptr, CLSCTX_INPROC_SERVER, IID_IFingerSdkScanner, scanner.put_void()),
            S_OK);
  ASSERT_EQ(scanner->Reset(), S_OK);
  LONG status = -1, live = 0;
  ASSERT_EQ(sdk->StartupStage1(&status), S_OK);
  Bstr log;
  ASSERT_EQ(scanner->get_CallLog(log.put()), S_OK);
  EXPECT_EQ(log.str(), L"StartupStage1()");
  ASSERT_EQ(scanner->get_LiveObjects(&live), S_OK);
  EXPECT_EQ(live, 1);
}

TEST_F(Registered, ClassesAreApartmentServersWithTheirTypeLibraries) {
  struct Class {
    const CLSID* clsid;
    const GUID* libid;
    const wchar_t* progId;
  };
  for (const Class& c : {Class{&CLSID_FingerSdk, &LIBID_FingerSdkLib, L"FingerSdkSim.FingerSdk.1"},
                         Class{&CLSID_Scanner, &LIBID_FingerSdkSimLib, L"FingerSdkSim.Scanner.1"}}) {
    const std::wstring key = L"CLSID\\" + Text(*c.clsid);
    const std::wstring server = ReadText(key + L"\\InprocServer32", nullptr);
    EXPECT_NE(server.find(L"FingerSdkSim.dll"), std::wstring::npos) << std::string(server.begin(), server.end());
    EXPECT_EQ(ReadText(key + L"\\InprocServer32", L"ThreadingModel"), L"Apartment");
    EXPECT_EQ(ReadText(key + L"\\ProgID", nullptr), c.progId);
    EXPECT_EQ(ReadText(key + L"\\TypeLib", nullptr), Text(*c.libid));

    ComPtr<ITypeLib> library;
    ASSERT_EQ(LoadRegTypeLib(*c.libid, 1, 0, LOCALE_NEUTRAL, library.put()), S_OK);
    ComPtr<ITypeInfo> info;
    EXPECT_EQ(library->GetTypeInfoOfGuid(*c.clsid, info.put()), S_OK) << "the class is in its library";
  }
}

}  // namespace
