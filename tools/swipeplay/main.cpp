// swipe_play: plays a synthesized card swipe into the sound input, as a reader would send it.
//   swipe_play --text ';...?' [--delay-ms N] [--period P] [--end-period P] [--noise R]
//              [--backward] [--seed S]
// Waits N milliseconds (default 0), then plays; returns when the sound is over. Needs the sound
// server's player (PULSE_PLAYER) and a scratch folder (CAPTURE_SCRATCH), as in the tests.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "line_player.h"
#include "swipe_synth.h"

namespace {

bool Number(const char* text, double& out) {
  char* end = nullptr;
  out = std::strtod(text, &end);
  return end != text && *end == '\0';
}

int Usage() {
  std::fprintf(stderr,
               "usage: swipe_play --text TEXT [--delay-ms N] [--period P] [--end-period P]"
               " [--noise R] [--backward] [--seed S]\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  std::string text;
  double delayMs = 0;
  swipe::SwipeParams params;
  bool endGiven = false;
  for (int i = 1; i < argc; ++i) {
    const std::string opt = argv[i];
    double v = 0;
    if (opt == "--backward") {
      params.backward = true;
      continue;
    }
    if (i + 1 >= argc) return Usage();
    const char* arg = argv[++i];
    if (opt == "--text") {
      text = arg;
    } else if (!Number(arg, v)) {
      return Usage();
    } else if (opt == "--delay-ms") {
      delayMs = v;
    } else if (opt == "--period") {
      params.startPeriod = v;
      if (!endGiven) params.endPeriod = v;
    } else if (opt == "--end-period") {
      params.endPeriod = v;
      endGiven = true;
    } else if (opt == "--noise") {
      params.noise = v;
    } else if (opt == "--seed") {
      params.seed = static_cast<std::uint64_t>(v);
    } else {
      return Usage();
    }
  }
  if (!swipe::IsTrack2Text(text) || params.startPeriod < 2 || params.endPeriod < 2) return Usage();

  const auto samples = swipe::SynthesizeSwipe(text, params);
  Sleep(static_cast<DWORD>(delayMs));
  swipe::LinePlayback playback(samples, "swipe_play");
  if (!playback.Error().empty()) {
    std::fprintf(stderr, "swipe_play: %s\n", playback.Error().c_str());
    return 1;
  }
  return 0;  // the playback's end waits until the sound is over
}
