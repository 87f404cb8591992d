#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "swipe_synth.h"
#include "track2_decoder.h"

namespace {

constexpr int kBufferSamples = 88200;  // one 2-second capture buffer: 176400 bytes
constexpr double kBufferSeconds = 2.0;

class NullSink final : public swipe::DiagnosticSink {
 public:
  void WriteLine(const char*) override {}
};

std::vector<unsigned char> CleanSwipeBuffer(std::string& card) {
  card = ";5413330089020011=2512101123456789?";
  swipe::SwipeParams p;
  p.startPeriod = 24;
  p.endPeriod = 20;
  p.leadingSilence = 22050;
  p.pulseWidth = 0.08;  // pulses well apart: read on the first attempt
  std::vector<std::int16_t> samples = swipe::SynthesizeSwipe(card, p);
  samples.resize(kBufferSamples, 0);
  return swipe::ToBytes(samples);
}

// Time per 2-second buffer, and the real-time factor: seconds of audio decoded per second.
void Report(benchmark::State& state) {
  state.counters["realtime_x"] =
      benchmark::Counter(kBufferSeconds * static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * 2 * kBufferSamples);
}

void BM_DecodeTrack2_CleanSwipe2s(benchmark::State& state) {
  std::string card;
  std::vector<unsigned char> buffer = CleanSwipeBuffer(card);
  NullSink sink;
  swipe::Track2Decoder decoder(&sink);
  if (decoder.DecodeTrack2(buffer.data(), static_cast<std::int32_t>(buffer.size())) != card ||
      decoder.LastStats().attemptsClassified != 1) {
    state.SkipWithError("the clean swipe is not decoded on the first attempt");
    return;
  }
  // The decoder zeroes the first 50 bytes, which are silence here: every call sees the same buffer.
  for (auto _ : state) {
    benchmark::DoNotOptimize(decoder.DecodeTrack2(buffer.data(), static_cast<std::int32_t>(buffer.size())));
  }
  Report(state);
}
BENCHMARK(BM_DecodeTrack2_CleanSwipe2s)->Unit(benchmark::kMicrosecond);

// The worst case: pulses everywhere and nothing to frame, so all ten passes and sixty
// attempts run.
void BM_DecodeTrack2_Noise2s(benchmark::State& state) {
  std::vector<unsigned char> buffer = swipe::ToBytes(swipe::SynthesizeNoise(kBufferSamples, 20000, 0, 11));
  NullSink sink;
  swipe::Track2Decoder decoder(&sink);
  decoder.DecodeTrack2(buffer.data(), static_cast<std::int32_t>(buffer.size()));
  if (decoder.LastStats().passes != 10 || decoder.LastStats().attemptsClassified != 60) {
    state.SkipWithError("the noise buffer does not run the whole sweep");
    return;
  }
  for (auto _ : state) {
    benchmark::DoNotOptimize(decoder.DecodeTrack2(buffer.data(), static_cast<std::int32_t>(buffer.size())));
  }
  state.counters["peaks_last_pass"] = static_cast<double>(decoder.PeakList().size());
  Report(state);
}
BENCHMARK(BM_DecodeTrack2_Noise2s)->Unit(benchmark::kMicrosecond);

}  // namespace
