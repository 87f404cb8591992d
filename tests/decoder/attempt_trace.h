// Test support: every attempt of a decode sweep, run stage by stage without stopping, and the
// sweep's choice computed from those attempts under either judging rule.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "track2_decoder.h"

namespace swipetest {

struct Attempt {
  int pass = 0;     // 0..9
  int window = 0;   // 7..2
  std::string text;
  bool parityError = false;
  bool lrcError = false;
  bool endedAtSentinel = false;
};

// Runs FindPeaks .. BitsToCharacters for all ten passes and six windows over a copy of
// `bytes` (first 50 bytes zeroed) and records every attempt that framed something.
inline std::vector<Attempt> TraceAttempts(swipe::Track2Decoder& d, std::vector<unsigned char> bytes) {
  std::vector<Attempt> out;
  for (std::size_t i = 0; i < 50 && i < bytes.size(); ++i) bytes[i] = 0;
  const auto count = static_cast<std::int32_t>(bytes.size());
  for (int pass = 0; pass < 10; ++pass) {
    d.SetSensitivityFraction((pass + 0.5) / 10);
    d.FindPeaks(bytes.data(), count);
    d.CapLeadingIntervals();
    for (int w = 7; w >= 2; --w) {
      d.BeginAttempt();
      if (d.PeakList().size() < 6) continue;
      const std::string bits = d.ClassifyIntervals(w);
      if (bits.empty()) continue;
      d.BeginAttempt();
      const std::string framed = d.FrameTrack2(bits.c_str());
      if (framed.empty()) continue;
      Attempt a;
      a.pass = pass;
      a.window = w;
      a.parityError = !d.ParityErrors().empty();
      a.lrcError = !d.LrcErrors().empty();
      a.endedAtSentinel = d.FrameEndedAtSentinel();
      a.text = d.BitsToCharacters(framed.c_str(), 5);
      out.push_back(a);
    }
  }
  return out;
}

struct SweepChoice {
  std::string result;        // what DecodeTrack2 returns
  std::size_t linesWritten;  // "Temp decoded: " lines up to where the sweep stops
  bool accepted;
};

// The sweep's choice. With `unendedFrameIsError` false, a frame that did not stop at an end
// sentinel on a character boundary is judged only by its parity and LRC (the rule that lets a
// cut-short frame through as an error-free read).
inline SweepChoice ChooseResult(const std::vector<Attempt>& attempts, bool unendedFrameIsError) {
  SweepChoice c{"", 0, false};
  std::string last;
  int pass = -1;
  bool errorSeen = false;
  for (const Attempt& a : attempts) {
    if (a.pass != pass) {
      pass = a.pass;
      errorSeen = false;
    }
    bool accepted = false;
    if (a.lrcError) errorSeen = true;
    if (unendedFrameIsError && !a.endedAtSentinel) errorSeen = true;
    if (a.parityError) {
      errorSeen = true;
    } else if (!errorSeen) {
      accepted = true;
    }
    last = a.text;
    ++c.linesWritten;
    if (accepted && last.size() >= 16) {
      c.accepted = true;
      break;
    }
  }
  c.result = last.size() >= 16 ? last : "";
  return c;
}

}  // namespace swipetest
