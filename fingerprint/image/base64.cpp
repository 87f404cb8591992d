#include "base64.h"

#include <array>
#include <new>
#include <stdexcept>

namespace fingerprint {
namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
constexpr int kGroupsPerLine = 19;  // 76 characters, the encoding of 57 bytes
constexpr int kBytesPerLine = kGroupsPerLine * 3;

// Two output characters for every 12-bit value: one lookup per half of a 3-byte group.
struct PairTable {
  std::array<char, 2 * 4096> chars{};
  constexpr PairTable() {
    for (int v = 0; v < 4096; ++v) {
      chars[2 * v] = kAlphabet[v >> 6];
      chars[2 * v + 1] = kAlphabet[v & 63];
    }
  }
};
constexpr PairTable kPairs;

inline char* EncodeGroup(const unsigned char* in, char* out) {
  const unsigned v = (unsigned(in[0]) << 16) | (unsigned(in[1]) << 8) | in[2];
  const char* hi = &kPairs.chars[2 * (v >> 12)];
  const char* lo = &kPairs.chars[2 * (v & 0xFFF)];
  out[0] = hi[0];
  out[1] = hi[1];
  out[2] = lo[0];
  out[3] = lo[1];
  return out + 4;
}

}  // namespace

bool Base64TextLength(std::int32_t count, std::size_t& length) {
  if (count < 0 || count > kBase64MaxCount) return false;
  if (count == 0) {
    length = 0;
    return true;
  }
  const std::size_t n = static_cast<std::size_t>(count);
  const std::size_t chars = 4 * ((n + 2) / 3);
  const std::size_t lines = (chars + 75) / 76;
  length = chars + 2 * (lines - 1);
  return true;
}

Base64Status EncodeBase64(const unsigned char* bytes, std::int32_t count, std::string& text) {
  std::size_t length = 0;
  if (!Base64TextLength(count, length)) return Base64Status::refused;

  std::string out;
  try {
    out.resize(length);
  } catch (const std::bad_alloc&) {
    return Base64Status::out_of_memory;
  } catch (const std::length_error&) {
    return Base64Status::out_of_memory;
  }

  char* o = out.data();
  const unsigned char* in = bytes;
  std::size_t left = static_cast<std::size_t>(count);
  // Whole lines first: 57 bytes become 76 characters and, unless it is the last line, CR LF.
  while (left >= static_cast<std::size_t>(kBytesPerLine)) {
    for (int g = 0; g < kGroupsPerLine; ++g) o = EncodeGroup(in + 3 * g, o);
    in += kBytesPerLine;
    left -= kBytesPerLine;
    if (left > 0) {
      *o++ = '\r';
      *o++ = '\n';
    }
  }
  // The last, shorter line: whole groups, then one padded group for the 1 or 2 bytes left.
  for (; left >= 3; left -= 3, in += 3) o = EncodeGroup(in, o);
  if (left > 0) {
    const unsigned v = (unsigned(in[0]) << 16) | (left == 2 ? unsigned(in[1]) << 8 : 0u);
    *o++ = kAlphabet[v >> 18];
    *o++ = kAlphabet[(v >> 12) & 63];
    *o++ = left == 2 ? kAlphabet[(v >> 6) & 63] : '=';
    *o++ = '=';
  }
  text.swap(out);
  return Base64Status::ok;
}

}  // namespace fingerprint
