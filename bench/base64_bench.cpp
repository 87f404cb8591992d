#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "base64.h"

// One raw finger image: 256 KiB of grey pixels.
static void BM_EncodeBase64_256KiB(benchmark::State& state) {
  std::vector<unsigned char> image(256 * 1024);
  for (std::size_t i = 0; i < image.size(); ++i) image[i] = static_cast<unsigned char>(i * 31 + (i >> 9));
  std::string text;
  for (auto _ : state) {
    fingerprint::EncodeBase64(image.data(), static_cast<std::int32_t>(image.size()), text);
    benchmark::DoNotOptimize(text.data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(image.size()));
}
BENCHMARK(BM_EncodeBase64_256KiB);
