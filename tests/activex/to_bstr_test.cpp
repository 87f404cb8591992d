#include <gtest/gtest.h>

#include <string>

#include "base64.h"
#include "to_bstr.h"

namespace {

struct Bstr {
  BSTR s = nullptr;
  ~Bstr() { SysFreeString(s); }
};

TEST(ToBstr, EmptyTextGivesEmptyNonNullBstr) {
  Bstr b;
  ASSERT_EQ(activex::ToBstr("", &b.s), S_OK);
  ASSERT_NE(b.s, nullptr);
  EXPECT_EQ(SysStringLen(b.s), 0u);
  EXPECT_EQ(b.s[0], L'\0');
}

TEST(ToBstr, Base64TextKeepsEveryCharacterAndLength) {
  unsigned char bytes[200];
  for (int i = 0; i < 200; ++i) bytes[i] = static_cast<unsigned char>(255 - i);
  std::string text;
  ASSERT_EQ(fingerprint::EncodeBase64(bytes, 200, text), fingerprint::Base64Status::ok);
  Bstr b;
  ASSERT_EQ(activex::ToBstr(text, &b.s), S_OK);
  ASSERT_EQ(SysStringLen(b.s), text.size());
  EXPECT_EQ(std::wstring(b.s, SysStringLen(b.s)), std::wstring(text.begin(), text.end()));
}

TEST(ToBstr, NullOutPointer) { EXPECT_EQ(activex::ToBstr("x", nullptr), E_POINTER); }

}  // namespace
