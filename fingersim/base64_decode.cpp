#include "base64_decode.h"

namespace fingersim {

namespace {

int ValueOf(char c) {
  if (c >= 'A' && c <= 'Z') return c - 'A';
  if (c >= 'a' && c <= 'z') return c - 'a' + 26;
  if (c >= '0' && c <= '9') return c - '0' + 52;
  if (c == '+') return 62;
  if (c == '/') return 63;
  return -1;
}

bool Blank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

}  // namespace

std::optional<std::vector<std::uint8_t>> DecodeBase64(std::string_view text) {
  std::vector<std::uint8_t> bytes;
  bytes.reserve(text.size() / 4 * 3 + 3);
  std::uint32_t group = 0;
  int held = 0;  // characters in the group
  int padding = 0;
  for (char c : text) {
    if (Blank(c)) continue;
    if (c == '=') {
      ++padding;
      continue;
    }
    if (padding > 0) return std::nullopt;  // data after the padding
    const int v = ValueOf(c);
    if (v < 0) return std::nullopt;
    group = (group << 6) | static_cast<std::uint32_t>(v);
    if (++held == 4) {
      bytes.push_back(static_cast<std::uint8_t>(group >> 16));
      bytes.push_back(static_cast<std::uint8_t>(group >> 8));
      bytes.push_back(static_cast<std::uint8_t>(group));
      group = 0;
      held = 0;
    }
  }
  if (held == 1 || padding > 2 || (padding > 0 && held + padding != 4)) return std::nullopt;
  if (held == 2) {
    bytes.push_back(static_cast<std::uint8_t>(group >> 4));
  } else if (held == 3) {
    bytes.push_back(static_cast<std::uint8_t>(group >> 10));
    bytes.push_back(static_cast<std::uint8_t>(group >> 2));
  }
  return bytes;
}

}  // namespace fingersim
