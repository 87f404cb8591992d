#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base64.h"

namespace {

using fingerprint::Base64Status;
using fingerprint::Base64TextLength;
using fingerprint::EncodeBase64;

std::string Encode(const std::vector<unsigned char>& bytes) {
  std::string text = "untouched";
  EXPECT_EQ(EncodeBase64(bytes.data(), static_cast<std::int32_t>(bytes.size()), text),
            Base64Status::ok);
  return text;
}

std::vector<unsigned char> Ramp(std::size_t n) {
  std::vector<unsigned char> v(n);
  for (std::size_t i = 0; i < n; ++i) v[i] = static_cast<unsigned char>(i * 7 + 3);
  return v;
}

struct ShapeCase {
  std::size_t count;
  std::size_t length;       // whole text, line breaks included
  std::size_t lineBreaks;   // CR LF pairs
  const char* tail;         // how the text ends
};

class Base64Shape : public testing::TestWithParam<ShapeCase> {};

TEST_P(Base64Shape, LengthLinesAndPadding) {
  const ShapeCase c = GetParam();
  const std::string text = Encode(Ramp(c.count));
  ASSERT_EQ(text.size(), c.length);
  std::size_t length = 12345;
  ASSERT_TRUE(Base64TextLength(static_cast<std::int32_t>(c.count), length));
  EXPECT_EQ(length, c.length);

  std::size_t breaks = 0;
  std::size_t lineStart = 0;
  for (std::size_t i = 0; i + 1 < text.size(); ++i) {
    if (text[i] == '\r') {
      ASSERT_EQ(text[i + 1], '\n');
      EXPECT_EQ(i - lineStart, 76u) << "every line but the last holds 76 characters";
      lineStart = i + 2;
      ++breaks;
    }
  }
  EXPECT_EQ(breaks, c.lineBreaks);
  EXPECT_LE(text.size() - lineStart, 76u);
  EXPECT_EQ(text.find('\n', lineStart), std::string::npos) << "no line break after the last line";
  const std::string tail = c.tail;
  ASSERT_GE(text.size(), tail.size());
  EXPECT_EQ(text.substr(text.size() - tail.size()), tail);
}

INSTANTIATE_TEST_SUITE_P(
    EdgeCounts, Base64Shape,
    testing::Values(ShapeCase{1, 4, 0, "=="}, ShapeCase{2, 4, 0, "="},
                    ShapeCase{3, 4, 0, ""}, ShapeCase{57, 76, 0, ""},
                    ShapeCase{58, 82, 1, "=="}, ShapeCase{113, 154, 1, "="},
                    ShapeCase{114, 154, 1, ""}, ShapeCase{115, 160, 2, "=="},
                    ShapeCase{262144, 349528 + 2 * 4599, 4599, "=="}),
    [](const testing::TestParamInfo<ShapeCase>& info) {
      return "bytes" + std::to_string(info.param.count);
    });

TEST(Base64, KnownTexts) {
  EXPECT_EQ(Encode({}), "");
  EXPECT_EQ(Encode({'M'}), "TQ==");
  EXPECT_EQ(Encode({'M', 'a'}), "TWE=");
  EXPECT_EQ(Encode({'M', 'a', 'n'}), "TWFu");
  EXPECT_EQ(Encode(std::vector<unsigned char>(3, 0x00)), "AAAA");
  EXPECT_EQ(Encode(std::vector<unsigned char>(3, 0xFF)), "////");
  EXPECT_EQ(Encode({0xFB, 0xEF}), "++8=");
  // 58 bytes of 0xFF: one full line of "/", CR LF, then "/w==".
  EXPECT_EQ(Encode(std::vector<unsigned char>(58, 0xFF)), std::string(76, '/') + "\r\n/w==");
}

TEST(Base64, ZeroCountIgnoresThePointer) {
  std::string text = "old";
  EXPECT_EQ(EncodeBase64(nullptr, 0, text), Base64Status::ok);
  EXPECT_EQ(text, "");
}

TEST(Base64, CountLimit) {
  std::size_t length = 0;
  ASSERT_TRUE(Base64TextLength(536870911, length));
  // 4 * ceil(536870911 / 3) characters in lines of 76.
  const std::size_t chars = 4 * ((536870911ull + 2) / 3);
  EXPECT_EQ(length, chars + 2 * ((chars + 75) / 76 - 1));

  std::size_t untouched = 7;
  EXPECT_FALSE(Base64TextLength(536870912, untouched));
  EXPECT_FALSE(Base64TextLength(-1, untouched));
  EXPECT_EQ(untouched, 7u);

  // Refused before anything is reserved or read: a null pointer is never touched.
  std::string text = "old";
  EXPECT_EQ(EncodeBase64(nullptr, 536870912, text), Base64Status::refused);
  EXPECT_EQ(EncodeBase64(nullptr, 0x7FFFFFFF, text), Base64Status::refused);
  EXPECT_EQ(text, "old");
}

}  // namespace
