// The kernel's Beep.
#pragma once

#include "beeper.h"

namespace swipe {

class WindowsBeeper final : public Beeper {
 public:
  void Beep(unsigned frequencyHz, unsigned durationMs) override;
};

}  // namespace swipe
