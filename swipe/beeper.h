// The computer's beep, sounded after every decoded buffer.
#pragma once

namespace swipe {

class Beeper {
 public:
  virtual ~Beeper() = default;
  virtual void Beep(unsigned frequencyHz, unsigned durationMs) = 0;
};

}  // namespace swipe
