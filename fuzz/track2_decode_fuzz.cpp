// libFuzzer target: any bytes as a capture buffer for DecodeTrack2. The first input byte picks
// how the rest is used, so that both raw bytes and swipe-like buffers get explored:
//   even: the remaining bytes are the samples
//   odd:  the remaining bytes, two at a time, are pulse heights and gaps from which a pulse
//         train is built (long F2F-like texts that frame, reverse and hit the bit bound)
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "track2_decoder.h"

namespace {

class NullSink final : public swipe::DiagnosticSink {
 public:
  void WriteLine(const char* text) override {
    // Every line is a complete, bounded text.
    if (std::strlen(text) >= swipe::Track2Decoder::kBitTextSize + 14) __builtin_trap();
  }
};

std::vector<unsigned char> PulseTrain(const std::uint8_t* data, std::size_t size) {
  std::vector<unsigned char> bytes(120, 0);  // quiet lead-in for the baseline
  int sign = 1;
  for (std::size_t i = 0; i + 1 < size; i += 2) {
    const int height = 200 + data[i] * 120;
    const int gap = 2 + (data[i + 1] & 0x3F);
    for (int k = 0; k < gap; ++k) {
      int v = 0;
      if (k == 0) v = sign * height / 2;
      if (k == 1) v = sign * height;
      if (k == 2) v = sign * height * 3 / 4;
      const auto u = static_cast<std::uint16_t>(static_cast<std::int16_t>(v));
      bytes.push_back(static_cast<unsigned char>(u & 0xFF));
      bytes.push_back(static_cast<unsigned char>(u >> 8));
    }
    if ((data[i + 1] & 0x40) == 0) sign = -sign;
  }
  return bytes;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static NullSink sink;
  static swipe::Track2Decoder decoder(&sink);
  if (size == 0) return 0;
  std::vector<unsigned char> buffer = (data[0] & 1) == 0
      ? std::vector<unsigned char>(data + 1, data + size)
      : PulseTrain(data + 1, size - 1);
  const auto count = static_cast<std::int32_t>(buffer.size());
  const char* text = decoder.DecodeTrack2(buffer.data(), count);
  const std::size_t length = std::strlen(text);
  if (length != 0 && length < static_cast<std::size_t>(swipe::Track2Decoder::kMinResultLength)) __builtin_trap();
  for (std::size_t i = 0; i < length; ++i) {
    if (text[i] < '0' || text[i] > '?') __builtin_trap();
  }
  if (count >= swipe::Track2Decoder::kMinByteCount) {
    for (int i = 0; i < swipe::Track2Decoder::kZeroedBytes; ++i) {
      if (buffer[static_cast<std::size_t>(i)] != 0) __builtin_trap();
    }
  }
  return 0;
}
