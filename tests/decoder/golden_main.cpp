// track2_golden: decodes a fixed set of synthesized swipes and writes, for each, a checksum of
// its samples, every "Temp decoded: " line and the result. Builds that compute the same doubles
// write the same bytes; the committed golden file holds the native build's output.
//
//   track2_golden            writes the output to standard output
//   track2_golden --check F  compares the output with file F byte for byte; exit 1 on the
//                            first difference (shown), 0 when identical
#include <cstdio>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "swipe_synth.h"
#include "track2_decoder.h"

namespace {

class TextSink final : public swipe::DiagnosticSink {
 public:
  explicit TextSink(std::string& out) : out_(out) {}
  void WriteLine(const char* text) override {
    out_ += text;
    out_ += '\n';
  }

 private:
  std::string& out_;
};

std::uint64_t Fnv1a(const std::vector<unsigned char>& bytes) {
  std::uint64_t h = 1469598103934665603ull;
  for (unsigned char b : bytes) {
    h ^= b;
    h *= 1099511628211ull;
  }
  return h;
}

void Run(const std::string& name, std::vector<unsigned char> bytes, swipe::Track2Decoder& decoder,
         std::string& out) {
  char header[160];
  std::snprintf(header, sizeof header, "case %s: %zu bytes, fnv1a %016llx\n", name.c_str(), bytes.size(),
                static_cast<unsigned long long>(Fnv1a(bytes)));
  out += header;
  const char* text = decoder.DecodeTrack2(bytes.data(), static_cast<std::int32_t>(bytes.size()));
  out += "result: [";
  out += text;
  out += "]\n";
}

std::string Output() {
  std::string out;
  TextSink sink(out);
  swipe::Track2Decoder decoder(&sink);
  const std::string cards[] = {";5413330089020011=2512101123456789?", ";4111111111111111=2512101?"};

  int index = 0;
  for (double period : {8.0, 12.0, 20.0, 30.0, 50.0, 80.0}) {
    for (double noise : {0.0, 300.0, 800.0}) {
      for (int backward = 0; backward < 2; ++backward) {
        for (double change : {-0.3, 0.25}) {
          ++index;
          swipe::SwipeParams p;
          p.startPeriod = period;
          p.endPeriod = period / (1 + change);
          p.noise = noise;
          p.backward = backward == 1;
          p.wobbleDepth = index % 3 == 0 ? 0.04 : 0.0;
          p.shape = index % 2 == 0 ? swipe::PulseShape::lorentzian : swipe::PulseShape::bell;
          p.pulseWidth = 0.1 + 0.05 * (index % 4);
          p.dcOffset = (index % 5) * 40 - 80;
          p.firstPulsePositive = index % 7 != 0;
          p.seed = static_cast<std::uint64_t>(index);
          char name[96];
          std::snprintf(name, sizeof name, "%d period %.0f noise %.0f %s speed %+.0f%%", index, period,
                        noise, backward ? "backward" : "forward", change * 100);
          Run(name, swipe::ToBytes(swipe::SynthesizeSwipe(cards[index % 2], p)), decoder, out);
        }
      }
    }
  }
  // The frame cut short by a lost bit.
  swipe::SwipeParams cut;
  cut.startPeriod = cut.endPeriod = 30;
  cut.noise = 400;
  cut.pulseWidth = 0.30;
  cut.seed = 174;
  Run("cut-short frame", swipe::ToBytes(swipe::SynthesizeSwipe(cards[1], cut)), decoder, out);
  cut.noise = 300;
  cut.pulseWidth = 0.20;
  cut.seed = 12968;
  Run("cut-short frame, read later", swipe::ToBytes(swipe::SynthesizeSwipe(cards[1], cut)), decoder, out);
  // Nothing swiped: quiet and loud noise.
  Run("quiet noise", swipe::ToBytes(swipe::SynthesizeNoise(44100, 100, 0, 5)), decoder, out);
  Run("loud noise", swipe::ToBytes(swipe::SynthesizeNoise(44100, 20000, 0, 5)), decoder, out);
  return out;
}

bool ReadFile(const char* path, std::string& content) {
  std::FILE* f = std::fopen(path, "rb");
  if (f == nullptr) return false;
  char buffer[65536];
  std::size_t n = 0;
  while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) content.append(buffer, n);
  const bool ok = std::ferror(f) == 0;
  std::fclose(f);
  return ok;
}

std::string LineAt(const std::string& s, std::size_t pos) {
  const std::size_t start = s.rfind('\n', pos == 0 ? 0 : pos - 1);
  const std::size_t from = start == std::string::npos || pos == 0 ? 0 : start + 1;
  const std::size_t end = s.find('\n', from);
  return s.substr(from, end == std::string::npos ? std::string::npos : end - from);
}

}  // namespace

int main(int argc, char** argv) {
  const std::string out = Output();
  if (argc == 1) {
    std::fwrite(out.data(), 1, out.size(), stdout);
    return 0;
  }
  if (argc != 3 || std::strcmp(argv[1], "--check") != 0) {
    std::fprintf(stderr, "usage: track2_golden [--check GOLDEN_FILE]\n");
    return 2;
  }
  std::string golden;
  if (!ReadFile(argv[2], golden)) {
    std::fprintf(stderr, "track2_golden: cannot read %s\n", argv[2]);
    return 2;
  }
  std::size_t i = 0;
  while (i < out.size() && i < golden.size() && out[i] == golden[i]) ++i;
  if (i == out.size() && i == golden.size()) {
    std::printf("identical: %zu bytes\n", out.size());
    return 0;
  }
  std::printf("differs at byte %zu (output %zu bytes, golden %zu bytes)\n", i, out.size(), golden.size());
  std::printf("output: %s\ngolden: %s\n", LineAt(out, i).c_str(), LineAt(golden, i).c_str());
  return 1;
}
