// Plays samples into the sound input under Wine: the private sound server of the "pulse" fixture
// (or of the demo) records whatever is played into its sink "line". The server's player program
// (named by PULSE_PLAYER) is started as a Unix process, which Wine runs when given its path; the
// raw file goes to the folder CAPTURE_SCRATCH names (a Unix path, seen from Wine on drive Z:).
#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

namespace swipe {

class LinePlayback {
 public:
  // Starts playing 16-bit mono samples at 44100 per second, written as `name`.raw.
  LinePlayback(const std::vector<std::int16_t>& samples, const std::string& name);
  // Waits until the sound is over, so that none of it reaches what is recorded next.
  ~LinePlayback();
  LinePlayback(const LinePlayback&) = delete;
  LinePlayback& operator=(const LinePlayback&) = delete;

  // Why the player could not be started; empty when it plays.
  const std::string& Error() const { return error_; }

 private:
  std::string error_;
  std::chrono::steady_clock::time_point over_;
};

}  // namespace swipe
