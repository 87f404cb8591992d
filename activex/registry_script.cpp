#include "registry_script.h"

#include <cstddef>

namespace activex {
namespace {

wchar_t Lower(wchar_t c) { return (c >= L'A' && c <= L'Z') ? static_cast<wchar_t>(c - L'A' + L'a') : c; }

bool SameWord(std::wstring_view a, std::wstring_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (Lower(a[i]) != Lower(b[i])) return false;
  return true;
}

bool IsSpace(wchar_t c) { return c == L' ' || c == L'\t' || c == L'\r' || c == L'\n' || c == L'\f' || c == L'\v'; }

struct Token {
  enum class Kind { End, Open, Close, Equals, Word };
  Kind kind = Kind::End;
  std::wstring text;  // Word: the raw text, quotes removed and '' undone, before substitution
  bool quoted = false;
  int line = 1;
};

class Failure {
 public:
  Failure(int line, std::wstring message) : line(line), message(std::move(message)) {}
  int line;
  std::wstring message;
};

class Lexer {
 public:
  explicit Lexer(std::wstring_view text) : text_(text) {}

  Token Next() {
    while (pos_ < text_.size() && IsSpace(text_[pos_])) {
      if (text_[pos_] == L'\n') ++line_;
      ++pos_;
    }
    Token t;
    t.line = line_;
    if (pos_ >= text_.size()) return t;
    t.kind = Token::Kind::Word;
    if (text_[pos_] == L'\'') {
      t.quoted = true;
      ++pos_;
      for (;;) {
        if (pos_ >= text_.size()) throw Failure(t.line, L"unterminated quoted text");
        const wchar_t q = text_[pos_++];
        if (q == L'\'') {
          if (pos_ < text_.size() && text_[pos_] == L'\'') {
            t.text += L'\'';
            ++pos_;
            continue;
          }
          break;
        }
        if (q == L'\n') ++line_;
        t.text += q;
      }
      return t;
    }
    // Bare words run to the next space, so that a class identifier in braces is one word.
    while (pos_ < text_.size() && !IsSpace(text_[pos_])) {
      if (text_[pos_] == L'\'') throw Failure(line_, L"quote inside a bare word");
      t.text += text_[pos_++];
    }
    if (t.text == L"{") t.kind = Token::Kind::Open;
    if (t.text == L"}") t.kind = Token::Kind::Close;
    if (t.text == L"=") t.kind = Token::Kind::Equals;
    return t;
  }

 private:
  std::wstring_view text_;
  std::size_t pos_ = 0;
  int line_ = 1;
};

class Parser {
 public:
  Parser(std::wstring_view text, const std::vector<ScriptVariable>& vars) : lexer_(text), vars_(vars) {
    Advance();
  }

  RegistryScript Script() {
    RegistryScript script;
    while (current_.kind != Token::Kind::End) {
      RegistryRootNode root;
      root.root = RootName(ExpectBareWord(L"a root key"));
      Expect(Token::Kind::Open, L"'{' after the root key");
      while (current_.kind != Token::Kind::Close) root.keys.push_back(Key());
      Advance();
      script.roots.push_back(std::move(root));
    }
    return script;
  }

 private:
  void Advance() { current_ = lexer_.Next(); }

  [[noreturn]] void Fail(const std::wstring& message) const { throw Failure(current_.line, message); }

  void Expect(Token::Kind kind, const wchar_t* what) {
    if (current_.kind != kind) Fail(std::wstring(L"expected ") + what);
    Advance();
  }

  Token ExpectWord(const wchar_t* what) {
    if (current_.kind != Token::Kind::Word) Fail(std::wstring(L"expected ") + what);
    Token t = current_;
    Advance();
    return t;
  }

  std::wstring ExpectBareWord(const wchar_t* what) {
    if (current_.kind != Token::Kind::Word || current_.quoted) Fail(std::wstring(L"expected ") + what);
    std::wstring text = current_.text;
    Advance();
    return text;
  }

  bool AtKeyword(const wchar_t* keyword) const {
    return current_.kind == Token::Kind::Word && !current_.quoted && SameWord(current_.text, keyword);
  }

  RegistryRoot RootName(const std::wstring& name) const {
    struct Name { const wchar_t* shortName; const wchar_t* longName; RegistryRoot root; };
    static const Name kNames[] = {
        {L"HKCR", L"HKEY_CLASSES_ROOT", RegistryRoot::ClassesRoot},
        {L"HKCU", L"HKEY_CURRENT_USER", RegistryRoot::CurrentUser},
        {L"HKLM", L"HKEY_LOCAL_MACHINE", RegistryRoot::LocalMachine},
        {L"HKU", L"HKEY_USERS", RegistryRoot::Users},
    };
    for (const Name& n : kNames)
      if (SameWord(name, n.shortName) || SameWord(name, n.longName)) return n.root;
    throw Failure(current_.line, L"unknown root key '" + name + L"'");
  }

  // %NAME% replaced, %% to %.
  std::wstring Substitute(const Token& t) const {
    std::wstring out;
    const std::wstring& s = t.text;
    for (std::size_t i = 0; i < s.size(); ++i) {
      if (s[i] != L'%') {
        out += s[i];
        continue;
      }
      const std::size_t end = s.find(L'%', i + 1);
      if (end == std::wstring::npos) throw Failure(t.line, L"unterminated variable in '" + s + L"'");
      const std::wstring_view name(s.data() + i + 1, end - i - 1);
      if (name.empty()) {
        out += L'%';
      } else {
        const ScriptVariable* found = nullptr;
        for (const ScriptVariable& v : vars_)
          if (SameWord(v.name, name)) found = &v;
        if (!found) throw Failure(t.line, L"unknown variable %" + std::wstring(name) + L"%");
        out += found->value;
      }
      i = end;
    }
    return out;
  }

  RegistryValue Value() {
    const Token type = ExpectWord(L"a value type (s, e, d or b)");
    if (type.quoted) throw Failure(type.line, L"a value type is a bare word");
    const Token datumToken = ExpectWord(L"the value's data");
    const std::wstring datum = Substitute(datumToken);
    RegistryValue v;
    if (SameWord(type.text, L"s")) {
      v.type = RegistryValue::Type::String;
      v.text = datum;
    } else if (SameWord(type.text, L"e")) {
      v.type = RegistryValue::Type::ExpandString;
      v.text = datum;
    } else if (SameWord(type.text, L"d")) {
      v.type = RegistryValue::Type::Dword;
      v.number = Number(datum, datumToken.line);
    } else if (SameWord(type.text, L"b")) {
      v.type = RegistryValue::Type::Binary;
      v.bytes = Bytes(datum, datumToken.line);
    } else {
      throw Failure(type.line, L"unknown value type '" + type.text + L"'");
    }
    return v;
  }

  static int Digit(wchar_t c, int base) {
    int d = -1;
    if (c >= L'0' && c <= L'9') d = c - L'0';
    else if (Lower(c) >= L'a' && Lower(c) <= L'f') d = Lower(c) - L'a' + 10;
    return d < base ? d : -1;
  }

  static std::uint32_t Number(const std::wstring& s, int line) {
    int base = 10;
    std::size_t i = 0;
    if (s.size() > 2 && s[0] == L'0' && Lower(s[1]) == L'x') {
      base = 16;
      i = 2;
    }
    if (i >= s.size()) throw Failure(line, L"'" + s + L"' is not a number");
    std::uint64_t n = 0;
    for (; i < s.size(); ++i) {
      const int d = Digit(s[i], base);
      if (d < 0) throw Failure(line, L"'" + s + L"' is not a number");
      n = n * base + d;
      if (n > 0xFFFFFFFFull) throw Failure(line, L"'" + s + L"' does not fit 32 bits");
    }
    return static_cast<std::uint32_t>(n);
  }

  static std::vector<std::uint8_t> Bytes(const std::wstring& s, int line) {
    if (s.size() % 2) throw Failure(line, L"binary data needs pairs of hex digits");
    std::vector<std::uint8_t> bytes;
    for (std::size_t i = 0; i < s.size(); i += 2) {
      const int hi = Digit(s[i], 16), lo = Digit(s[i + 1], 16);
      if (hi < 0 || lo < 0) throw Failure(line, L"'" + s + L"' is not hex data");
      bytes.push_back(static_cast<std::uint8_t>(hi * 16 + lo));
    }
    return bytes;
  }

  std::wstring KeyName() {
    const Token t = ExpectWord(L"a key name");
    std::wstring name = Substitute(t);
    if (name.empty()) throw Failure(t.line, L"empty key name");
    if (name.find(L'\\') != std::wstring::npos)
      throw Failure(t.line, L"key name '" + name + L"' holds a backslash; nest keys with braces");
    return name;
  }

  RegistryKeyNode Key() {
    if (current_.kind == Token::Kind::End) Fail(L"missing '}'");
    if (current_.kind != Token::Kind::Word) Fail(L"expected a key");
    if (AtKeyword(L"Delete")) Fail(L"'Delete' is not supported");
    RegistryKeyNode key;
    if (AtKeyword(L"ForceRemove")) {
      key.removal = RegistryRemoval::ForceRemove;
      Advance();
    } else if (AtKeyword(L"NoRemove")) {
      key.removal = RegistryRemoval::NoRemove;
      Advance();
    }
    key.name = KeyName();
    if (current_.kind == Token::Kind::Equals) {
      Advance();
      key.hasDefault = true;
      key.defaultValue = Value();
    }
    if (current_.kind == Token::Kind::Open) {
      Advance();
      for (;;) {
        if (current_.kind == Token::Kind::Close) {
          Advance();
          break;
        }
        if (AtKeyword(L"val")) {
          Advance();
          RegistryNamedValue v;
          const Token nameToken = ExpectWord(L"a value name");
          v.name = Substitute(nameToken);
          Expect(Token::Kind::Equals, L"'=' after the value name");
          v.value = Value();
          for (const RegistryNamedValue& other : key.values)
            if (SameWord(other.name, v.name))
              throw Failure(nameToken.line, L"value '" + v.name + L"' given twice");
          key.values.push_back(std::move(v));
        } else {
          key.subkeys.push_back(Key());
        }
      }
    }
    return key;
  }

  Lexer lexer_;
  const std::vector<ScriptVariable>& vars_;
  Token current_;
};

}  // namespace

ParseResult ParseRegistryScript(std::wstring_view text, const std::vector<ScriptVariable>& vars) {
  ParseResult result;
  try {
    Parser parser(text, vars);
    result.script = parser.Script();
    result.ok = true;
  } catch (const Failure& f) {
    result.line = f.line;
    result.error = L"line " + std::to_wstring(f.line) + L": " + f.message;
  }
  return result;
}

}  // namespace activex
