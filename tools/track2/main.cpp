// track2: the card-swipe decoder on sound files.
//
//   track2 decode FILE [--buffer-seconds N]
//       Prints the decoder's "Temp decoded: " lines, then the decoded Track 2 text alone on the
//       last line (an empty line when nothing was decoded). Exit status 0 when a text of 16
//       characters or more came out, 1 otherwise, 2 when the file can't be used.
//       With --buffer-seconds N the file is cut into consecutive buffers of N seconds (the last
//       one possibly shorter) and each is decoded as the control does with a recording: every
//       decode replaces the result, and a "Decoded: [text] " line follows each buffer.
//   track2 synth --text ';...?' [options] -o FILE.wav
//       Writes a synthesized swipe (16-bit mono, 44100 Hz).
//   track2 accuracy [--seeds N] [--wobble F] [--quick]
//       Runs the decoder over a grid of synthesized swipes and prints the success rates.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "accuracy.h"
#include "audio_input.h"
#include "swipe_synth.h"
#include "track2_decoder.h"

namespace {

constexpr int kUsageError = 2;

void Usage() {
  std::fprintf(stderr,
               "usage: track2 decode FILE [--buffer-seconds N]\n"
               "       track2 synth --text TEXT [options] -o FILE.wav\n"
               "       track2 accuracy [--seeds N] [--wobble F] [--quick]\n"
               "synth options:\n"
               "  --period P            bit period in samples, start and end (default 20)\n"
               "  --start-period P      bit period of the first bit read\n"
               "  --end-period P        bit period of the last bit read\n"
               "  --wobble F            relative speed wobble (0.05 = +/-5 %%)\n"
               "  --wobble-cycles C     wobble cycles along the swipe (default 2)\n"
               "  --amplitude A         pulse height (default 8000)\n"
               "  --shape bell|lorentzian\n"
               "  --width F             pulse width as a fraction of the bit period (default 0.12)\n"
               "  --noise R             white noise RMS in sample units\n"
               "  --dc D                DC offset\n"
               "  --lead N, --trail N   silence before and after the swipe, in samples\n"
               "  --leading-zeros N, --trailing-zeros N   clocking bits around the data\n"
               "  --backward            swiped the other way\n"
               "  --negative-first      the first pulse is negative\n"
               "  --seed S              noise and wobble seed (default 1)\n");
}

bool ParseInt(const char* text, long long lo, long long hi, long long& value) {
  char* end = nullptr;
  errno = 0;
  const long long v = std::strtoll(text, &end, 10);
  if (errno != 0 || end == text || *end != '\0' || v < lo || v > hi) return false;
  value = v;
  return true;
}

bool ParseDouble(const char* text, double& value) {
  char* end = nullptr;
  errno = 0;
  const double v = std::strtod(text, &end);
  if (errno != 0 || end == text || *end != '\0' || !(v == v)) return false;
  value = v;
  return true;
}

int Decode(int argc, char** argv) {
  std::string path;
  long long bufferSeconds = 0;
  for (int i = 0; i < argc; ++i) {
    if (std::strcmp(argv[i], "--buffer-seconds") == 0) {
      if (i + 1 >= argc || !ParseInt(argv[i + 1], 1, 24347, bufferSeconds)) {
        std::fprintf(stderr, "track2: --buffer-seconds needs a whole number of seconds from 1 to 24347\n");
        return kUsageError;
      }
      ++i;
    } else if (path.empty() && argv[i][0] != '-') {
      path = argv[i];
    } else {
      std::fprintf(stderr, "track2: unexpected argument %s\n", argv[i]);
      return kUsageError;
    }
  }
  if (path.empty()) {
    Usage();
    return kUsageError;
  }

  std::vector<std::int16_t> samples;
  std::string error;
  if (!track2cli::ReadAudio(path, samples, error)) {
    std::fprintf(stderr, "track2: %s\n", error.c_str());
    return kUsageError;
  }
  std::vector<unsigned char> bytes = swipe::ToBytes(samples);
  swipe::Track2Decoder decoder;  // diagnostic lines to standard output

  std::string result;
  if (bufferSeconds == 0) {
    result = decoder.DecodeTrack2(bytes.data(), static_cast<std::int32_t>(bytes.size()));
  } else {
    const std::size_t bufferBytes =
        static_cast<std::size_t>(bufferSeconds) * track2cli::kDecoderSampleRate * 2;
    for (std::size_t start = 0; start < bytes.size(); start += bufferBytes) {
      const std::size_t count = bytes.size() - start < bufferBytes ? bytes.size() - start : bufferBytes;
      result = decoder.DecodeTrack2(bytes.data() + start, static_cast<std::int32_t>(count));
      std::printf("Decoded: [%s] \n", result.c_str());
      std::fflush(stdout);
    }
  }
  std::printf("%s\n", result.c_str());
  std::fflush(stdout);
  return result.size() >= swipe::Track2Decoder::kMinResultLength ? 0 : 1;
}

int Synth(int argc, char** argv) {
  swipe::SwipeParams p;
  std::string text;
  std::string output;
  bool havePeriod = false;
  bool haveStart = false;
  bool haveEnd = false;
  double period = 20;
  for (int i = 0; i < argc; ++i) {
    const std::string opt = argv[i];
    if (opt == "--backward") {
      p.backward = true;
      continue;
    }
    if (opt == "--negative-first") {
      p.firstPulsePositive = false;
      continue;
    }
    if (i + 1 >= argc) {
      std::fprintf(stderr, "track2: %s needs a value\n", opt.c_str());
      return kUsageError;
    }
    const char* value = argv[++i];
    long long n = 0;
    bool ok = true;
    if (opt == "--text") {
      text = value;
    } else if (opt == "-o") {
      output = value;
    } else if (opt == "--shape") {
      if (std::strcmp(value, "bell") == 0) {
        p.shape = swipe::PulseShape::bell;
      } else if (std::strcmp(value, "lorentzian") == 0) {
        p.shape = swipe::PulseShape::lorentzian;
      } else {
        ok = false;
      }
    } else if (opt == "--period") {
      ok = ParseDouble(value, period) && period >= 1 && period <= 100000;
      havePeriod = true;
    } else if (opt == "--start-period") {
      ok = ParseDouble(value, p.startPeriod) && p.startPeriod >= 1 && p.startPeriod <= 100000;
      haveStart = true;
    } else if (opt == "--end-period") {
      ok = ParseDouble(value, p.endPeriod) && p.endPeriod >= 1 && p.endPeriod <= 100000;
      haveEnd = true;
    } else if (opt == "--wobble") {
      ok = ParseDouble(value, p.wobbleDepth) && p.wobbleDepth >= 0 && p.wobbleDepth < 0.9;
    } else if (opt == "--wobble-cycles") {
      ok = ParseDouble(value, p.wobbleCycles) && p.wobbleCycles >= 0 && p.wobbleCycles <= 1000;
    } else if (opt == "--amplitude") {
      ok = ParseDouble(value, p.amplitude) && p.amplitude >= 0 && p.amplitude <= 1e6;
    } else if (opt == "--width") {
      ok = ParseDouble(value, p.pulseWidth) && p.pulseWidth > 0 && p.pulseWidth <= 10;
    } else if (opt == "--noise") {
      ok = ParseDouble(value, p.noise) && p.noise >= 0 && p.noise <= 1e6;
    } else if (opt == "--dc") {
      ok = ParseInt(value, -32768, 32767, n);
      p.dcOffset = static_cast<int>(n);
    } else if (opt == "--lead" || opt == "--trail") {
      ok = ParseInt(value, 0, 100000000, n);
      (opt == "--lead" ? p.leadingSilence : p.trailingSilence) = static_cast<int>(n);
    } else if (opt == "--leading-zeros" || opt == "--trailing-zeros") {
      ok = ParseInt(value, 0, 100000, n);
      (opt == "--leading-zeros" ? p.leadingZeros : p.trailingZeros) = static_cast<int>(n);
    } else if (opt == "--seed") {
      ok = ParseInt(value, 0, 0x7FFFFFFFFFFFFFFFll, n);
      p.seed = static_cast<std::uint64_t>(n);
    } else {
      std::fprintf(stderr, "track2: unknown option %s\n", opt.c_str());
      return kUsageError;
    }
    if (!ok) {
      std::fprintf(stderr, "track2: bad value for %s: %s\n", opt.c_str(), value);
      return kUsageError;
    }
  }
  if (havePeriod) {
    if (!haveStart) p.startPeriod = period;
    if (!haveEnd) p.endPeriod = period;
  } else if (haveStart && !haveEnd) {
    p.endPeriod = p.startPeriod;
  } else if (haveEnd && !haveStart) {
    p.startPeriod = p.endPeriod;
  }
  if (text.empty() || output.empty()) {
    std::fprintf(stderr, "track2: synth needs --text and -o\n");
    return kUsageError;
  }
  if (!swipe::IsTrack2Text(text)) {
    std::fprintf(stderr, "track2: the text may hold only the characters 0-9 : ; < = > ?\n");
    return kUsageError;
  }
  const std::vector<std::int16_t> samples = swipe::SynthesizeSwipe(text, p);
  if (!swipe::WriteWav(output, samples)) {
    std::fprintf(stderr, "track2: cannot write %s\n", output.c_str());
    return kUsageError;
  }
  return 0;
}

int Accuracy(int argc, char** argv) {
  track2cli::AccuracyOptions options;
  for (int i = 0; i < argc; ++i) {
    long long n = 0;
    if (std::strcmp(argv[i], "--quick") == 0) {
      options.quick = true;
    } else if (std::strcmp(argv[i], "--seeds") == 0 && i + 1 < argc && ParseInt(argv[i + 1], 1, 100000, n)) {
      options.seeds = static_cast<int>(n);
      ++i;
    } else if (std::strcmp(argv[i], "--wobble") == 0 && i + 1 < argc &&
               ParseDouble(argv[i + 1], options.wobble) && options.wobble >= 0 && options.wobble < 0.9) {
      ++i;
    } else {
      std::fprintf(stderr, "track2: bad accuracy argument %s\n", argv[i]);
      return kUsageError;
    }
  }
  track2cli::RunAccuracyMap(options, stdout);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    Usage();
    return kUsageError;
  }
  const std::string command = argv[1];
  if (command == "decode") return Decode(argc - 2, argv + 2);
  if (command == "synth") return Synth(argc - 2, argv + 2);
  if (command == "accuracy") return Accuracy(argc - 2, argv + 2);
  Usage();
  return kUsageError;
}
