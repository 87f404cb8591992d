// Where the card-swipe server's diagnostic lines go.
#pragma once

#include <string>

namespace swipe {

class LineSink {
 public:
  virtual ~LineSink() = default;
  // One complete line, without its end of line.
  virtual void WriteLine(const std::string& line) = 0;
};

// The process's standard output: each line ended and flushed at once.
class StdoutLineSink final : public LineSink {
 public:
  void WriteLine(const std::string& line) override;
};

}  // namespace swipe
