// Bytes from Base64 text, for images a script hands to the simulated scanner as text: the
// RFC 4648 alphabet, line breaks and blanks anywhere ignored, "=" padding optional.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

namespace fingersim {

// Nothing for a character outside the alphabet, text after padding, or a dangling single
// character in the last group.
std::optional<std::vector<std::uint8_t>> DecodeBase64(std::string_view text);

}  // namespace fingersim
