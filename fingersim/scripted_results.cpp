#include "scripted_results.h"

#include <limits>

namespace fingersim {

namespace {

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

std::optional<std::int32_t> ParseNumber(std::string_view s) {
  s = Trim(s);
  bool negative = false;
  if (!s.empty() && (s.front() == '-' || s.front() == '+')) {
    negative = s.front() == '-';
    s.remove_prefix(1);
  }
  if (s.empty() || s.size() > 10) return std::nullopt;
  std::int64_t v = 0;
  for (char c : s) {
    if (c < '0' || c > '9') return std::nullopt;
    v = v * 10 + (c - '0');
  }
  if (negative) v = -v;
  if (v < std::numeric_limits<std::int32_t>::min() || v > std::numeric_limits<std::int32_t>::max()) {
    return std::nullopt;
  }
  return static_cast<std::int32_t>(v);
}

}  // namespace

std::optional<std::vector<ScriptedValue>> ParseScriptedValues(Operation operation, std::string_view text) {
  if (!HasOutValue(operation)) return std::nullopt;
  std::vector<ScriptedValue> values;
  if (Trim(text).empty()) return values;
  const bool pairs = operation == Operation::ExtractTemplateFromImage;
  while (true) {
    const std::size_t comma = text.find(',');
    const std::string_view element = text.substr(0, comma);
    ScriptedValue v;
    const std::size_t colon = element.find(':');
    if (colon != std::string_view::npos) {
      if (!pairs) return std::nullopt;
      const auto result = ParseNumber(element.substr(0, colon));
      const auto size = ParseNumber(element.substr(colon + 1));
      if (!result || !size) return std::nullopt;
      v.value = *result;
      v.size = *size;
    } else {
      const auto result = ParseNumber(element);
      if (!result) return std::nullopt;
      v.value = *result;
    }
    values.push_back(v);
    if (comma == std::string_view::npos) break;
    text.remove_prefix(comma + 1);
  }
  return values;
}

}  // namespace fingersim
