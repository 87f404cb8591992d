// Registry scripts: the text a server embeds to describe the keys and values it registers,
// parsed into a tree that the registrar (registrar.h) writes and removes. Portable: no Windows
// headers, so the parser is built and tested on every platform.
//
// Syntax (keywords and root names are case-insensitive):
//
//   HKCR
//   {
//     NoRemove AppID
//     {
//       '%APPID%' = s 'Thing'
//       'Thing.DLL' { val AppID = s '%APPID%' }
//     }
//     ForceRemove 'Thing.Thing.1' = s 'Thing Class' { CLSID = s '%CLSID%' }
//   }
//
// - A script is a sequence of root keys: HKCR, HKCU, HKLM, HKU (or their HKEY_... names),
//   each followed by a braced list of keys.
// - A key is an optional removal flag, a name, an optional default value "= type data" and an
//   optional braced body of subkeys and named values ("val Name = type data").
//   ForceRemove: the key is deleted whole before it is written, and deleted whole at removal.
//   NoRemove: the key is never deleted (what lies under it is removed as usual).
//   Otherwise the key is deleted at removal once nothing is left in it.
// - Types: s (text), e (expandable text), d (32-bit number, decimal or 0x hex), b (bytes as
//   hex digit pairs).
// - Words are separated by white space, the braces and '=' included ("A {" not "A{"), so a
//   class identifier in braces is a bare word: ForceRemove {GUID} = s 'Thing Class'.
// - A name or datum is a bare word or a text in single quotes; '' inside quotes is one quote.
//   Key names cannot contain a backslash: nesting is written with braces.
// - %NAME% inside a name or datum is replaced by the value given for NAME (names compare
//   case-insensitively); %% is a single percent sign; an unknown or unterminated variable is
//   an error. Replacement happens after quoting, so a value may hold any character.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace activex {

enum class RegistryRoot { ClassesRoot, CurrentUser, LocalMachine, Users };

enum class RegistryRemoval { Normal, ForceRemove, NoRemove };

struct RegistryValue {
  enum class Type { String, ExpandString, Dword, Binary };
  Type type = Type::String;
  std::wstring text;                // String, ExpandString
  std::uint32_t number = 0;         // Dword
  std::vector<std::uint8_t> bytes;  // Binary

  bool operator==(const RegistryValue& o) const {
    return type == o.type && text == o.text && number == o.number && bytes == o.bytes;
  }
};

struct RegistryNamedValue {
  std::wstring name;
  RegistryValue value;
};

struct RegistryKeyNode {
  std::wstring name;
  RegistryRemoval removal = RegistryRemoval::Normal;
  bool hasDefault = false;
  RegistryValue defaultValue;
  std::vector<RegistryNamedValue> values;
  std::vector<RegistryKeyNode> subkeys;
};

struct RegistryRootNode {
  RegistryRoot root = RegistryRoot::ClassesRoot;
  std::vector<RegistryKeyNode> keys;
};

struct RegistryScript {
  std::vector<RegistryRootNode> roots;
};

// A %NAME% replacement.
struct ScriptVariable {
  std::wstring name;
  std::wstring value;
};

struct ParseResult {
  bool ok = false;
  RegistryScript script;
  std::wstring error;  // what went wrong, with the line, when !ok
  int line = 0;        // 1-based line of the error
};

ParseResult ParseRegistryScript(std::wstring_view text, const std::vector<ScriptVariable>& vars);

}  // namespace activex
