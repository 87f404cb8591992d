#include "registrar.h"

#include <new>
#include <string>

namespace activex {
namespace {

HRESULT FromWin32(LONG r) { return r == ERROR_SUCCESS ? S_OK : HRESULT_FROM_WIN32(r); }

bool Gone(LONG r) { return r == ERROR_FILE_NOT_FOUND || r == ERROR_PATH_NOT_FOUND; }

HKEY RootKey(RegistryRoot root) {
  switch (root) {
    case RegistryRoot::ClassesRoot: return HKEY_CLASSES_ROOT;
    case RegistryRoot::CurrentUser: return HKEY_CURRENT_USER;
    case RegistryRoot::LocalMachine: return HKEY_LOCAL_MACHINE;
    case RegistryRoot::Users: return HKEY_USERS;
  }
  return nullptr;
}

LONG SetValue(HKEY key, const wchar_t* name, const RegistryValue& v) {
  switch (v.type) {
    case RegistryValue::Type::String:
    case RegistryValue::Type::ExpandString:
      return RegSetValueExW(key, name, 0,
                            v.type == RegistryValue::Type::String ? REG_SZ : REG_EXPAND_SZ,
                            reinterpret_cast<const BYTE*>(v.text.c_str()),
                            static_cast<DWORD>((v.text.size() + 1) * sizeof(wchar_t)));
    case RegistryValue::Type::Dword: {
      const DWORD n = v.number;
      return RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&n), sizeof n);
    }
    case RegistryValue::Type::Binary:
      return RegSetValueExW(key, name, 0, REG_BINARY, v.bytes.data(),
                            static_cast<DWORD>(v.bytes.size()));
  }
  return ERROR_INVALID_PARAMETER;
}

// RegDeleteTree with a subkey name removes the key itself too.
LONG DeleteTree(HKEY parent, const std::wstring& name) {
  const LONG r = RegDeleteTreeW(parent, name.c_str());
  return Gone(r) ? ERROR_SUCCESS : r;
}

HRESULT WriteKey(HKEY parent, const RegistryKeyNode& node) {
  if (node.removal == RegistryRemoval::ForceRemove) {
    if (HRESULT hr = FromWin32(DeleteTree(parent, node.name)); FAILED(hr)) return hr;
  }
  RegKey key;
  if (HRESULT hr = FromWin32(key.Create(parent, node.name.c_str())); FAILED(hr)) return hr;
  if (node.hasDefault) {
    if (HRESULT hr = FromWin32(SetValue(key.get(), nullptr, node.defaultValue)); FAILED(hr))
      return hr;
  }
  for (const RegistryNamedValue& v : node.values) {
    if (HRESULT hr = FromWin32(SetValue(key.get(), v.name.c_str(), v.value)); FAILED(hr))
      return hr;
  }
  for (const RegistryKeyNode& sub : node.subkeys) {
    if (HRESULT hr = WriteKey(key.get(), sub); FAILED(hr)) return hr;
  }
  return S_OK;
}

LONG DeleteValue(HKEY key, const wchar_t* name) {
  const LONG r = RegDeleteValueW(key, name);
  return Gone(r) ? ERROR_SUCCESS : r;
}

HRESULT RemoveKey(HKEY parent, const RegistryKeyNode& node) {
  if (node.removal == RegistryRemoval::ForceRemove) return FromWin32(DeleteTree(parent, node.name));

  RegKey key;
  if (const LONG r = key.Open(parent, node.name.c_str(), KEY_READ | KEY_WRITE); r != ERROR_SUCCESS)
    return Gone(r) ? S_OK : FromWin32(r);
  for (const RegistryKeyNode& sub : node.subkeys) {
    if (HRESULT hr = RemoveKey(key.get(), sub); FAILED(hr)) return hr;
  }
  for (const RegistryNamedValue& v : node.values) {
    if (HRESULT hr = FromWin32(DeleteValue(key.get(), v.name.c_str())); FAILED(hr)) return hr;
  }
  if (node.removal == RegistryRemoval::NoRemove) return S_OK;
  if (node.hasDefault) {
    if (HRESULT hr = FromWin32(DeleteValue(key.get(), nullptr)); FAILED(hr)) return hr;
  }
  DWORD subkeys = 0, values = 0;
  if (HRESULT hr = FromWin32(RegQueryInfoKeyW(key.get(), nullptr, nullptr, nullptr, &subkeys,
                                              nullptr, nullptr, &values, nullptr, nullptr,
                                              nullptr, nullptr));
      FAILED(hr))
    return hr;
  key.Reset();
  if (subkeys != 0 || values != 0) return S_OK;  // still used by someone else
  const LONG r = RegDeleteKeyW(parent, node.name.c_str());
  return Gone(r) ? S_OK : FromWin32(r);
}

std::wstring Widen(const char* bytes, int size, UINT codePage) {
  if (size <= 0) return {};
  const int n = MultiByteToWideChar(codePage, 0, bytes, size, nullptr, 0);
  if (n <= 0) return {};
  std::wstring text(static_cast<std::size_t>(n), L'\0');
  MultiByteToWideChar(codePage, 0, bytes, size, text.data(), n);
  return text;
}

}  // namespace

HRESULT ApplyRegistryScript(const RegistryScript& script, bool install) {
  try {
    for (const RegistryRootNode& root : script.roots) {
      for (const RegistryKeyNode& key : root.keys) {
        const HRESULT hr = install ? WriteKey(RootKey(root.root), key) : RemoveKey(RootKey(root.root), key);
        if (FAILED(hr)) return hr;
      }
    }
    return S_OK;
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  }
}

HRESULT RunRegistryScript(std::wstring_view text, const std::vector<ScriptVariable>& vars,
                          bool install) {
  try {
    const ParseResult parsed = ParseRegistryScript(text, vars);
    if (!parsed.ok) {
      OutputDebugStringW((L"registry script: " + parsed.error + L"\n").c_str());
      return E_INVALIDARG;
    }
    return ApplyRegistryScript(parsed.script, install);
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  }
}

HRESULT RunRegistryResource(HMODULE module, UINT id, const std::vector<ScriptVariable>& vars,
                            bool install) {
  HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(id), L"REGISTRY");
  if (!found) return HRESULT_FROM_WIN32(GetLastError());
  HGLOBAL loaded = LoadResource(module, found);  // resource memory: nothing to free
  const char* data = loaded ? static_cast<const char*>(LockResource(loaded)) : nullptr;
  if (!data) return HRESULT_FROM_WIN32(GetLastError());
  const DWORD size = SizeofResource(module, found);

  try {
    std::wstring text;
    if (size >= 2 && static_cast<unsigned char>(data[0]) == 0xFF &&
        static_cast<unsigned char>(data[1]) == 0xFE) {
      text.assign(reinterpret_cast<const wchar_t*>(data + 2), (size - 2) / sizeof(wchar_t));
    } else if (size >= 3 && static_cast<unsigned char>(data[0]) == 0xEF &&
               static_cast<unsigned char>(data[1]) == 0xBB &&
               static_cast<unsigned char>(data[2]) == 0xBF) {
      text = Widen(data + 3, static_cast<int>(size - 3), CP_UTF8);
    } else {
      text = Widen(data, static_cast<int>(size), CP_ACP);
    }
    // A resource may carry padding after the text.
    const std::size_t end = text.find(L'\0');
    if (end != std::wstring::npos) text.resize(end);
    return RunRegistryScript(text, vars, install);
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  }
}

HRESULT ClassesRootRedirect::Begin() {
  if (active_) return S_OK;
  if (HRESULT hr = FromWin32(userClasses_.Create(HKEY_CURRENT_USER, L"Software\\Classes",
                                                 KEY_ALL_ACCESS));
      FAILED(hr))
    return hr;
  if (HRESULT hr = FromWin32(RegOverridePredefKey(HKEY_CLASSES_ROOT, userClasses_.get()));
      FAILED(hr))
    return hr;
  active_ = true;
  return S_OK;
}

ClassesRootRedirect::~ClassesRootRedirect() {
  // Back to the machine's classes; nothing useful can be done if this fails.
  if (active_) RegOverridePredefKey(HKEY_CLASSES_ROOT, nullptr);
}

}  // namespace activex
