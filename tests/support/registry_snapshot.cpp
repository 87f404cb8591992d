#include "registry_snapshot.h"

#include <gtest/gtest.h>

#include "handle.h"
#include "reg_key.h"

namespace registry_test {

using activex::RegKey;

const Classes kMachine = {HKEY_LOCAL_MACHINE, L"machine"};
const Classes kUser = {HKEY_CURRENT_USER, L"user"};

std::wstring Under(const std::wstring& key) { return L"Software\\Classes\\" + key; }

namespace {

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

}  // namespace

std::wstring WindowsPath(const std::wstring& unixPath) {
  std::wstring path = L"Z:" + unixPath;
  for (wchar_t& c : path)
    if (c == L'/') c = L'\\';
  return path;
}

DWORD Regsvr32(const std::wstring& server, const std::wstring& switches) {
  std::wstring command = L"regsvr32.exe /s " + switches + L" \"" + server + L"\"";
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info = {};
  if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                      &startup, &info))
    return GetLastError();
  activex::UniqueHandle process(info.hProcess), thread(info.hThread);
  WaitForSingleObject(process.get(), INFINITE);
  DWORD code = 1;
  GetExitCodeProcess(process.get(), &code);
  return code;
}

bool Exists(const Classes& where, const std::wstring& key) {
  RegKey k;
  return k.Open(where.root, Under(key).c_str()) == ERROR_SUCCESS;
}

Entries Dump(const Classes& where, const std::wstring& key) {
  Entries out;
  RegKey k;
  if (k.Open(where.root, Under(key).c_str()) == ERROR_SUCCESS) Collect(k.get(), L"", out);
  return out;
}

std::string Narrow(const std::wstring& text) { return std::string(text.begin(), text.end()); }

std::string Show(const Entries& entries) {
  std::string s;
  for (const std::wstring& e : entries) s += Narrow(e) + "\n";
  return s;
}

void ExpectKeys(const Classes& where, const std::vector<ExpectedKey>& keys) {
  for (const ExpectedKey& e : keys)
    EXPECT_EQ(Dump(where, e.key), e.entries)
        << where.name << " " << Narrow(e.key) << ":\n" << Show(Dump(where, e.key));
}

void ExpectNoKeys(const Classes& where, const std::vector<ExpectedKey>& keys) {
  for (const ExpectedKey& e : keys)
    EXPECT_FALSE(Exists(where, e.key)) << where.name << " " << Narrow(e.key);
}

void ExpectUnregistered(const Classes& where, const std::vector<ExpectedKey>& keys,
                        const std::wstring& libid, const std::wstring& iid) {
  ExpectNoKeys(where, keys);
  EXPECT_FALSE(Exists(where, L"TypeLib\\" + libid)) << where.name;
  EXPECT_FALSE(Exists(where, L"Interface\\" + iid)) << where.name;
}

std::wstring DefaultValue(const Classes& where, const std::wstring& key) {
  RegKey k;
  if (k.Open(where.root, Under(key).c_str()) != ERROR_SUCCESS) return L"";
  wchar_t data[512] = {};
  DWORD size = sizeof data - sizeof(wchar_t);
  if (RegQueryValueExW(k.get(), nullptr, nullptr, nullptr, reinterpret_cast<BYTE*>(data), &size) !=
      ERROR_SUCCESS)
    return L"";
  return data;
}

}  // namespace registry_test
