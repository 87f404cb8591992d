#include "accuracy.h"

#include <string>
#include <vector>

#include "swipe_synth.h"
#include "track2_decoder.h"

namespace track2cli {
namespace {

class NullSink final : public swipe::DiagnosticSink {
 public:
  void WriteLine(const char*) override {}
};

// A card text of the usual shape: account number, separator, expiry, service code and
// discretionary data, between the sentinels.
std::string CardText(swipe::SynthRandom& random) {
  auto digits = [&](int n) {
    std::string s;
    for (int i = 0; i < n; ++i) s += static_cast<char>('0' + random.Next() % 10);
    return s;
  };
  return ";" + digits(16) + "=" + digits(4) + "101" + digits(9) + "?";
}

}  // namespace

int RunAccuracyMap(const AccuracyOptions& options, std::FILE* out) {
  const std::vector<double> periods = options.quick
      ? std::vector<double>{8, 20, 80}
      : std::vector<double>{8, 10, 12, 15, 20, 25, 30, 40, 50, 60, 80};
  const std::vector<int> speedChanges = options.quick ? std::vector<int>{-40, 0, 40}
                                                      : std::vector<int>{-40, -20, 0, 20, 40};
  const std::vector<double> noiseLevels = options.quick ? std::vector<double>{0, 0.05}
                                                        : std::vector<double>{0, 0.02, 0.05, 0.10, 0.20};
  const double amplitude = 8000;

  NullSink sink;
  swipe::Track2Decoder decoder(&sink);
  int wrongTotal = 0;
  int wrongAccepted = 0;
  int decodes = 0;

  std::fprintf(out, "Accuracy map: %d swipes per cell, pulse amplitude %.0f, wobble %.0f %%\n",
               options.seeds, amplitude, options.wobble * 100);
  std::fprintf(out, "cell = %% of swipes decoded to exactly their card; speed change = end speed "
                    "vs start speed along the card\n");
  for (double noise : noiseLevels) {
    std::fprintf(out, "\nnoise RMS %.0f %% of pulse amplitude\n", noise * 100);
    std::fprintf(out, "period |");
    for (int dir = 0; dir < 2; ++dir) {
      for (int change : speedChanges) std::fprintf(out, " %s%+4d%%", dir ? "B" : "F", change);
      std::fprintf(out, " |");
    }
    std::fprintf(out, "\n");
    std::vector<std::string> acceptedCells;
    int tableWrong = 0;
    int tableDecodes = 0;
    for (double period : periods) {
      std::fprintf(out, "%6.0f |", period);
      for (int dir = 0; dir < 2; ++dir) {
        for (int change : speedChanges) {
          int good = 0;
          int wrong = 0;
          int accepted = 0;
          for (int seed = 0; seed < options.seeds; ++seed) {
            swipe::SynthRandom cardRandom(static_cast<std::uint64_t>(seed) * 7919 + 17);
            const std::string text = CardText(cardRandom);
            swipe::SwipeParams p;
            p.startPeriod = period;
            p.endPeriod = period / (1 + change / 100.0);
            p.wobbleDepth = options.wobble;
            p.amplitude = amplitude;
            p.noise = noise * amplitude;
            p.backward = dir == 1;
            p.firstPulsePositive = seed % 2 == 0;
            p.seed = static_cast<std::uint64_t>(seed) * 1000003 + static_cast<std::uint64_t>(period * 10) +
                     static_cast<std::uint64_t>(change + 100) * 31;
            std::vector<unsigned char> bytes = swipe::ToBytes(swipe::SynthesizeSwipe(text, p));
            const std::string got =
                decoder.DecodeTrack2(bytes.data(), static_cast<std::int32_t>(bytes.size()));
            ++decodes;
            if (got == text) {
              ++good;
            } else if (!got.empty()) {
              ++wrong;
              if (decoder.LastStats().accepted) ++accepted;
            }
          }
          std::fprintf(out, " %6.0f", 100.0 * good / options.seeds);
          tableWrong += wrong;
          tableDecodes += options.seeds;
          wrongTotal += wrong;
          wrongAccepted += accepted;
          if (accepted > 0) {
            char cell[128];
            std::snprintf(cell, sizeof cell, "period %.0f, %s, speed %+d %%: %d of %d", period,
                          dir ? "backward" : "forward", change, accepted, options.seeds);
            acceptedCells.push_back(cell);
          }
        }
        std::fprintf(out, " |");
      }
      std::fprintf(out, "\n");
    }
    // A wrong text is either the last framed attempt of a sweep in which nothing passed every
    // check (the decoder's fallback), or one that passed every check: listed, as the worse kind.
    std::fprintf(out, "wrong texts returned: %d of %d decodes; after passing every check: %zu cells\n",
                 tableWrong, tableDecodes, acceptedCells.size());
    for (const std::string& cell : acceptedCells) std::fprintf(out, "  %s\n", cell.c_str());
  }
  std::fprintf(out, "\n%d decodes, %d wrong texts returned, %d of them after passing every check\n", decodes,
               wrongTotal, wrongAccepted);
  return wrongTotal;
}

}  // namespace track2cli
