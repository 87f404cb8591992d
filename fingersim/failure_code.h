// The failure code a script hands to Fail(operation, code). JScript has no 32-bit integers
// above 2^31 - 1, so it writes the usual 0x80004005 as the number 2147500037: a whole number
// from 2^31 up to 2^32 stands for the negative 32-bit code with the same bits. Numbers within
// the signed 32-bit range are taken as they are.
#pragma once

#include <cstdint>
#include <optional>

namespace fingersim {

// The 32-bit code of a whole number in [-2^31, 2^32); nothing for a fraction, a number out of
// that range or not a number. Whether the code is a failure is left to the caller.
std::optional<std::int32_t> CodeFromNumber(double number);
std::optional<std::int32_t> CodeFromNumber(std::int64_t number);

}  // namespace fingersim
