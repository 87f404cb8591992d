// Registry script parser: the tree a realistic script gives, value types, substitution, and
// malformed scripts rejected with the line of the fault.
#include "registry_script.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using activex::ParseRegistryScript;
using activex::RegistryKeyNode;
using activex::RegistryRemoval;
using activex::RegistryRoot;
using activex::RegistryValue;

const std::vector<activex::ScriptVariable> kVars = {
    {L"MODULE", L"C:\\dir\\it's.dll"},
    {L"APPID", L"{0993BE9F-E4D7-4B38-8378-4CA2DDAFABD4}"},
    {L"OLEMISC", L"132497"},
};

RegistryValue Text(const wchar_t* s) {
  RegistryValue v;
  v.text = s;
  return v;
}

const RegistryKeyNode& Sub(const RegistryKeyNode& k, std::size_t i) { return k.subkeys.at(i); }

TEST(RegistryScript, ParsesAServerScriptIntoItsTree) {
  const wchar_t* text =
      L"HKCR\r\n"
      L"{\r\n"
      L"\tNoRemove AppID\r\n"
      L"\t{\r\n"
      L"\t\t'%APPID%' = s 'Thing'\r\n"
      L"\t\t'Thing.DLL'\r\n"
      L"\t\t{\r\n"
      L"\t\t\tval AppID = s '%APPID%'\r\n"
      L"\t\t}\r\n"
      L"\t}\r\n"
      L"\tNoRemove CLSID\r\n"
      L"\t{\r\n"
      L"\t\tForceRemove {473223D6-48D9-4A6C-B418-A149F96D9908} = s 'Thing Class'\r\n"
      L"\t\t{\r\n"
      L"\t\t\tForceRemove Programmable\r\n"
      L"\t\t\tInprocServer32 = s '%MODULE%'\r\n"
      L"\t\t\t{\r\n"
      L"\t\t\t\tval ThreadingModel = s 'Apartment'\r\n"
      L"\t\t\t}\r\n"
      L"\t\t\tForceRemove ToolboxBitmap32 = s '%MODULE%, 102'\r\n"
      L"\t\t\tMiscStatus = s '0' { '1' = s '%OLEMISC%' }\r\n"
      L"\t\t}\r\n"
      L"\t}\r\n"
      L"}\r\n";
  const auto r = ParseRegistryScript(text, kVars);
  ASSERT_TRUE(r.ok) << std::string(r.error.begin(), r.error.end());
  ASSERT_EQ(r.script.roots.size(), 1u);
  EXPECT_EQ(r.script.roots[0].root, RegistryRoot::ClassesRoot);
  const auto& keys = r.script.roots[0].keys;
  ASSERT_EQ(keys.size(), 2u);

  const RegistryKeyNode& appid = keys[0];
  EXPECT_EQ(appid.name, L"AppID");
  EXPECT_EQ(appid.removal, RegistryRemoval::NoRemove);
  EXPECT_FALSE(appid.hasDefault);
  ASSERT_EQ(appid.subkeys.size(), 2u);
  EXPECT_EQ(Sub(appid, 0).name, L"{0993BE9F-E4D7-4B38-8378-4CA2DDAFABD4}");
  EXPECT_EQ(Sub(appid, 0).removal, RegistryRemoval::Normal);
  EXPECT_TRUE(Sub(appid, 0).hasDefault);
  EXPECT_EQ(Sub(appid, 0).defaultValue, Text(L"Thing"));
  EXPECT_EQ(Sub(appid, 1).name, L"Thing.DLL");
  EXPECT_FALSE(Sub(appid, 1).hasDefault);
  ASSERT_EQ(Sub(appid, 1).values.size(), 1u);
  EXPECT_EQ(Sub(appid, 1).values[0].name, L"AppID");
  EXPECT_EQ(Sub(appid, 1).values[0].value, Text(L"{0993BE9F-E4D7-4B38-8378-4CA2DDAFABD4}"));

  const RegistryKeyNode& cls = Sub(keys[1], 0);
  EXPECT_EQ(cls.name, L"{473223D6-48D9-4A6C-B418-A149F96D9908}");
  EXPECT_EQ(cls.removal, RegistryRemoval::ForceRemove);
  ASSERT_EQ(cls.subkeys.size(), 4u);
  EXPECT_EQ(Sub(cls, 0).name, L"Programmable");
  EXPECT_EQ(Sub(cls, 0).removal, RegistryRemoval::ForceRemove);
  EXPECT_FALSE(Sub(cls, 0).hasDefault);
  EXPECT_TRUE(Sub(cls, 0).subkeys.empty());
  EXPECT_EQ(Sub(cls, 1).defaultValue, Text(L"C:\\dir\\it's.dll")) << "a quote in a variable is data";
  EXPECT_EQ(Sub(cls, 1).values.at(0).name, L"ThreadingModel");
  EXPECT_EQ(Sub(cls, 2).defaultValue, Text(L"C:\\dir\\it's.dll, 102"));
  EXPECT_EQ(Sub(Sub(cls, 3), 0).name, L"1");
  EXPECT_EQ(Sub(Sub(cls, 3), 0).defaultValue, Text(L"132497"));
}

TEST(RegistryScript, ValueTypesRootsKeywordsAndQuoting) {
  const auto r = ParseRegistryScript(
      L"hkey_current_user { forceremove 'A ''quoted'' key' { val n = d 0x10 val m = d '4294967295'"
      L" val b = b '00fFa1' val e = e '%%SystemRoot%%\\x' val '%apPid%' = s '' } }\n"
      L"HKLM { Software } HKU { x } hkcr { 'val' { 'NoRemove' } }",
      kVars);
  ASSERT_TRUE(r.ok) << std::string(r.error.begin(), r.error.end());
  ASSERT_EQ(r.script.roots.size(), 4u);
  EXPECT_EQ(r.script.roots[0].root, RegistryRoot::CurrentUser);
  EXPECT_EQ(r.script.roots[1].root, RegistryRoot::LocalMachine);
  EXPECT_EQ(r.script.roots[2].root, RegistryRoot::Users);
  const RegistryKeyNode& k = r.script.roots[0].keys.at(0);
  EXPECT_EQ(k.name, L"A 'quoted' key");
  EXPECT_EQ(k.removal, RegistryRemoval::ForceRemove);
  ASSERT_EQ(k.values.size(), 5u);
  EXPECT_EQ(k.values[0].value.type, RegistryValue::Type::Dword);
  EXPECT_EQ(k.values[0].value.number, 16u);
  EXPECT_EQ(k.values[1].value.number, 0xFFFFFFFFu);
  EXPECT_EQ(k.values[2].value.type, RegistryValue::Type::Binary);
  EXPECT_EQ(k.values[2].value.bytes, (std::vector<std::uint8_t>{0x00, 0xFF, 0xA1}));
  EXPECT_EQ(k.values[3].value.type, RegistryValue::Type::ExpandString);
  EXPECT_EQ(k.values[3].value.text, L"%SystemRoot%\\x");
  EXPECT_EQ(k.values[4].name, L"{0993BE9F-E4D7-4B38-8378-4CA2DDAFABD4}") << "variable names ignore case";
  EXPECT_EQ(k.values[4].value, Text(L""));
  // Quoted keywords are names.
  const RegistryKeyNode& quoted = r.script.roots[3].keys.at(0);
  EXPECT_EQ(quoted.name, L"val");
  EXPECT_EQ(quoted.subkeys.at(0).name, L"NoRemove");
  EXPECT_EQ(quoted.subkeys.at(0).removal, RegistryRemoval::Normal);

  const auto empty = ParseRegistryScript(L"  \r\n ", kVars);
  EXPECT_TRUE(empty.ok);
  EXPECT_TRUE(empty.script.roots.empty());
}

TEST(RegistryScript, RejectsMalformedScriptsWithTheirLine) {
  struct Case {
    const wchar_t* text;
    int line;
  };
  const Case cases[] = {
      {L"HKCR { A ", 1},                              // missing '}'
      {L"HKCR\n{\n A {\n B\n}\n", 6},                 // inner '}' closes A only
      {L"HKXX { }", 1},                               // unknown root
      {L"'HKCR' { }", 1},                             // quoted root
      {L"HKCR A { }", 1},                             // no '{' after the root
      {L"}", 1},                                      // stray '}'
      {L"HKCR { }\n}", 2},                            // stray '}' after a root
      {L"HKCR {\n A = s 'x }", 2},                    // unterminated quote
      {L"HKCR { A = x 'y' }", 1},                     // unknown type
      {L"HKCR { A = 's' 'y' }", 1},                   // quoted type
      {L"HKCR { A = s }", 1},                         // no data
      {L"HKCR { A = }", 1},                           // no value at all
      {L"HKCR { A { val = s 'x' } }", 1},             // value without a name
      {L"HKCR { A { val N s 'x' } }", 1},             // value without '='
      {L"HKCR { A { val N = s 'x' val n = s 'y' } }", 1},  // same value twice
      {L"HKCR {\n A = d 12x }", 2},                   // bad number
      {L"HKCR { A = d 4294967296 }", 1},              // number too large
      {L"HKCR { A = d 0x }", 1},                      // hex prefix alone
      {L"HKCR { A = b 'abc' }", 1},                   // odd hex digits
      {L"HKCR { A = b 'zz' }", 1},                    // not hex
      {L"HKCR { '' }", 1},                            // empty key name
      {L"HKCR { 'A\\B' }", 1},                        // backslash in a name
      {L"HKCR {\n\n '%NOPE%' }", 3},                  // unknown variable
      {L"HKCR { A = s '%MODULE' }", 1},               // unterminated variable
      {L"HKCR { Delete A }", 1},                      // unsupported keyword
      {L"HKCR { ForceRemove }", 1},                   // flag without a key
      {L"HKCR { = s 'x' }", 1},                       // value without a key
      {L"HKCR { A'b' }", 1},                          // quote inside a bare word
      {L"HKCR {A}", 1},                               // braces need surrounding space
  };
  for (const Case& c : cases) {
    const std::wstring text = c.text;
    const auto r = ParseRegistryScript(text, kVars);
    EXPECT_FALSE(r.ok) << std::string(text.begin(), text.end());
    EXPECT_EQ(r.line, c.line) << std::string(text.begin(), text.end());
    EXPECT_FALSE(r.error.empty());
  }
}

}  // namespace
