#include "line_sink.h"

#include <cstdio>

namespace swipe {

void StdoutLineSink::WriteLine(const std::string& line) {
  std::fwrite(line.data(), 1, line.size(), stdout);
  std::fputc('\n', stdout);
  std::fflush(stdout);
}

}  // namespace swipe
