// The record of calls the simulated SDK objects received, one line per call:
//   Name(argument,argument,...)
// with the method's arguments in order and its out-parameters left out: a number in decimal, a
// text as it is (the word null for a null string), an image or array as its element count.
// E.g. "BeginCaptureOn(null)", "EnrollFromImage(160000,400,400,500,10000,10000,8,0,0)".
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <initializer_list>
#include <string>
#include <string_view>

namespace fingersim {

class LogArg {
 public:
  static LogArg Number(std::int64_t value) { return LogArg(std::to_string(value)); }
  // A string argument in UTF-8; a null pointer is a null string.
  static LogArg Text(const char* utf8) { return LogArg(utf8 ? std::string(utf8) : std::string("null")); }
  static LogArg Text(std::string_view utf8) { return LogArg(std::string(utf8)); }
  static LogArg Null() { return LogArg("null"); }

  const std::string& rendering() const { return rendering_; }

 private:
  explicit LogArg(std::string r) : rendering_(std::move(r)) {}
  std::string rendering_;
};

std::string FormatCall(std::string_view name, std::initializer_list<LogArg> args);

// Lines in the order added. Only the latest kKeptLines are kept, so that a long session
// without a reset cannot grow without bound.
class CallLog {
 public:
  static constexpr std::size_t kKeptLines = 10000;

  void Add(std::string line);
  void Clear() { lines_.clear(); }
  std::size_t size() const { return lines_.size(); }

  // The lines joined by "\n", without a line break after the last; empty when there are none.
  std::string Text() const;

 private:
  std::deque<std::string> lines_;
};

}  // namespace fingersim
