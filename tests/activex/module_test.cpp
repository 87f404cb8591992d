// The module in-process, with scripts embedded in this program: the order of the registration
// steps, the first failure stopping them, DllInstall taking back a failed registration, the
// per-class variables, and the server's hooks.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "module.h"
#include "reg_key.h"
#include "type_library.h"

namespace {

using activex::RegKey;

const wchar_t kTestKey[] = L"Software\\LayerModuleTest";
const CLSID kClassA = {0x11111111, 0, 0, {0, 0, 0, 0, 0, 0, 0, 1}};
const CLSID kClassB = {0x11111111, 0, 0, {0, 0, 0, 0, 0, 0, 0, 2}};
const CLSID kClassC = {0x11111111, 0, 0, {0, 0, 0, 0, 0, 0, 0, 3}};

HRESULT CreateNothing(IUnknown*, REFIID, void** out) {
  *out = nullptr;
  return E_NOTIMPL;
}

// Class B's script is missing, so every run that reaches it fails there.
class TestModule : public activex::Module {
 public:
  TestModule()
      : Module({nullptr, L"{AAAAAAAA-0000-0000-0000-000000000001}", 201},
               {{&kClassA, &CreateNothing, 202, {{L"OLEMISC", L"7"}}},
                {&kClassB, &CreateNothing, 299, {}},
                {&kClassC, &CreateNothing, 204, {}}}) {
    DllMain(GetModuleHandleW(nullptr), DLL_PROCESS_ATTACH, nullptr);
  }
  int getClassObjectHooks = 0;
  int canUnloadNowHooks = 0;

 protected:
  void BeforeGetClassObject() override { ++getClassObjectHooks; }
  void BeforeCanUnloadNow() override { ++canUnloadNowHooks; }
};

std::wstring Read(const wchar_t* sub, const wchar_t* name = nullptr) {
  RegKey key;
  if (key.Open(HKEY_CURRENT_USER, (std::wstring(kTestKey) + L"\\" + sub).c_str()) != ERROR_SUCCESS)
    return L"(no key)";
  wchar_t data[512] = {};
  DWORD size = sizeof data - sizeof(wchar_t);
  if (RegQueryValueExW(key.get(), name, nullptr, nullptr, reinterpret_cast<BYTE*>(data), &size) != ERROR_SUCCESS)
    return L"(no value)";
  return data;
}

bool Exists(const wchar_t* sub) { return Read(sub) != L"(no key)"; }

class ModuleTest : public testing::Test {
 protected:
  void SetUp() override { RegDeleteTreeW(HKEY_CURRENT_USER, kTestKey); }
  void TearDown() override { RegDeleteTreeW(HKEY_CURRENT_USER, kTestKey); }
  TestModule module;
};

TEST_F(ModuleTest, RegistrationRunsInOrderAndStopsAtTheFirstFailure) {
  const HRESULT missing = module.RegisterServer();
  EXPECT_TRUE(FAILED(missing));
  // AppID first, then the classes in table order up to the failing one.
  EXPECT_EQ(Read(L"AppID"), L"{AAAAAAAA-0000-0000-0000-000000000001}");
  EXPECT_EQ(Read(L"A"), activex::ModulePath()) << "%MODULE% is this module's path";
  EXPECT_EQ(Read(L"A", L"Misc"), L"7") << "the class's own variable";
  EXPECT_FALSE(Exists(L"C")) << "nothing after the failure";

  // Removal: classes first, so the failure at B leaves the AppID script's key.
  EXPECT_EQ(module.UnregisterServer(), missing);
  EXPECT_FALSE(Exists(L"A"));
  EXPECT_TRUE(Exists(L"AppID"));
}

TEST_F(ModuleTest, InstallTakesBackAFailedRegistrationAndKeepsItsFailure) {
  const HRESULT missing = module.Install(TRUE, nullptr);
  EXPECT_TRUE(FAILED(missing));
  EXPECT_FALSE(Exists(L"A")) << "unregistered after the failure";
  EXPECT_FALSE(Exists(L"C"));
  EXPECT_EQ(module.Install(FALSE, nullptr), missing);
  EXPECT_FALSE(module.perUser()) << "per-user lasts one call";
}

TEST_F(ModuleTest, HooksRunBeforeTheEntryPoints) {
  IUnknown* factory = reinterpret_cast<IUnknown*>(1);
  EXPECT_EQ(module.GetClassObject(IID_IDispatch, IID_IClassFactory, reinterpret_cast<void**>(&factory)),
            CLASS_E_CLASSNOTAVAILABLE);
  EXPECT_EQ(factory, nullptr);
  EXPECT_EQ(module.getClassObjectHooks, 1);
  EXPECT_EQ(module.GetClassObject(kClassC, IID_IClassFactory, reinterpret_cast<void**>(&factory)), S_OK);
  factory->Release();
  EXPECT_EQ(module.getClassObjectHooks, 2);
  EXPECT_EQ(module.CanUnloadNow(), S_OK);
  EXPECT_EQ(module.canUnloadNowHooks, 1);
}

}  // namespace
