#include "call_log.h"

namespace fingersim {

std::string FormatCall(std::string_view name, std::initializer_list<LogArg> args) {
  std::string line(name);
  line += '(';
  bool first = true;
  for (const LogArg& a : args) {
    if (!first) line += ',';
    line += a.rendering();
    first = false;
  }
  line += ')';
  return line;
}

void CallLog::Add(std::string line) {
  if (lines_.size() == kKeptLines) lines_.pop_front();
  lines_.push_back(std::move(line));
}

std::string CallLog::Text() const {
  std::string text;
  for (std::size_t i = 0; i < lines_.size(); ++i) {
    if (i > 0) text += '\n';
    text += lines_[i];
  }
  return text;
}

}  // namespace fingersim
