// MIME Base64 text of a byte buffer, as the fingerprint control publishes image and template
// bytes to its host: the RFC 4648 alphabet, "=" padding always written, lines of 76
// characters joined by CR LF and no line break after the last line.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace fingerprint {

// Largest byte count the encoder accepts: 4 x count must stay within a signed 32-bit number.
constexpr std::int32_t kBase64MaxCount = 536870911;

// Exact length of the text for `count` bytes (0 for 0 bytes). False, with `length` untouched,
// for a count the encoder refuses (negative or above kBase64MaxCount).
bool Base64TextLength(std::int32_t count, std::size_t& length);

enum class Base64Status { ok, refused, out_of_memory };

// Replaces `text` with the Base64 text of bytes[0..count). The output is reserved once, in one
// piece, before encoding. A refused count or a failed reservation leaves `text` untouched.
// A count of 0 gives the empty text whatever `bytes` is.
Base64Status EncodeBase64(const unsigned char* bytes, std::int32_t count, std::string& text);

}  // namespace fingerprint
