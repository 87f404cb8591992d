#include "failure_code.h"

#include <cmath>

namespace fingersim {

namespace {

constexpr std::int64_t kTwoTo31 = std::int64_t{1} << 31;
constexpr std::int64_t kTwoTo32 = std::int64_t{1} << 32;

}  // namespace

std::optional<std::int32_t> CodeFromNumber(std::int64_t number) {
  if (number < -kTwoTo31 || number >= kTwoTo32) return std::nullopt;
  if (number >= kTwoTo31) number -= kTwoTo32;
  return static_cast<std::int32_t>(number);
}

std::optional<std::int32_t> CodeFromNumber(double number) {
  // The range test first: it is false for NaN, and it keeps the conversion below defined.
  if (!(number >= -static_cast<double>(kTwoTo31) && number < static_cast<double>(kTwoTo32))) return std::nullopt;
  if (std::trunc(number) != number) return std::nullopt;
  return CodeFromNumber(static_cast<std::int64_t>(number));
}

}  // namespace fingersim
