#include "windows_beeper.h"

#include <windows.h>

namespace swipe {

void WindowsBeeper::Beep(unsigned frequencyHz, unsigned durationMs) {
  ::Beep(frequencyHz, durationMs);
}

}  // namespace swipe
