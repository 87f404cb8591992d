// Out-values scripted for an operation: "Results(operation, "a,b,c")" makes the next calls of
// the operation hand back a, then b, then c, and c again for every call after that.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "operations.h"

namespace fingersim {

struct ScriptedValue {
  std::int32_t value = 0;
  // Only for ExtractTemplateFromImage, written "result:size": the size handed back.
  std::optional<std::int32_t> size;

  friend bool operator==(const ScriptedValue& a, const ScriptedValue& b) {
    return a.value == b.value && a.size == b.size;
  }
};

// Parses a comma-separated list of signed decimal 32-bit numbers (blanks around each allowed);
// for ExtractTemplateFromImage an element may be "result:size". The empty text gives an empty
// list (nothing scripted). Nothing for a malformed text, a number out of range, a "result:size"
// element for another operation, or an operation without an out-value (Advise).
std::optional<std::vector<ScriptedValue>> ParseScriptedValues(Operation operation, std::string_view text);

class ScriptedSequence {
 public:
  void Assign(std::vector<ScriptedValue> values) {
    values_ = std::move(values);
    next_ = 0;
  }

  // The value for the next call, or nothing when none is scripted.
  std::optional<ScriptedValue> Next() {
    if (values_.empty()) return std::nullopt;
    const ScriptedValue v = values_[next_];
    if (next_ + 1 < values_.size()) ++next_;
    return v;
  }

 private:
  std::vector<ScriptedValue> values_;
  std::size_t next_ = 0;
};

}  // namespace fingersim
