// The real wave input, recording from the private sound server of the "pulse" fixture: what is
// played into its sink comes back sample for sample in the capture buffers, and a synthesized
// card swipe read through the server's recording gives the card's Track 2 text.
//
// Wine's capture begins a second or so after the input is started (measured here: 1.1 to 1.3 s,
// about 2 s on a busy machine), so a swipe is played three seconds after the start, into buffers
// of four seconds: wherever the capture began up to then, the swipe lies whole in its first buffer.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <iostream>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "capture_doubles.h"
#include "capture_engine.h"
#include "line_player.h"
#include "process_heap_blocks.h"
#include "recording.h"
#include "swipe_synth.h"
#include "winmm_wave_input.h"

namespace {

using capture_test::Bytes;
using capture_test::CountedBeeps;
using capture_test::KeptLines;
using swipe::LinePlayback;
using capture_test::WaitUntil;
using std::chrono::milliseconds;
using std::chrono::seconds;

constexpr long kBufferSeconds = 4;
constexpr milliseconds kPlayAfterStart{3000};

// The wave input, noting when the input was started.
class StartNoted final : public swipe::WaveInputDevice {
 public:
  swipe::DeviceResult Open(const swipe::WaveFormat& f, swipe::WaveInputListener& l) override {
    return device_.Open(f, l);
  }
  swipe::DeviceResult Prepare(const swipe::CaptureBuffer& b) override { return device_.Prepare(b); }
  swipe::DeviceResult Add(const swipe::CaptureBuffer& b) override { return device_.Add(b); }
  swipe::DeviceResult Start() override {
    const swipe::DeviceResult result = device_.Start();
    if (result == swipe::kDeviceOk) started_ = true;
    return result;
  }
  swipe::DeviceResult Stop() override { return device_.Stop(); }
  swipe::DeviceResult Reset() override { return device_.Reset(); }
  swipe::DeviceResult Unprepare(const swipe::CaptureBuffer& b) override {
    return device_.Unprepare(b);
  }
  swipe::DeviceResult Close() override { return device_.Close(); }

  bool Started() const { return started_.load(); }

 private:
  swipe::WinmmWaveInput device_;
  std::atomic<bool> started_{false};
};

// Keeps a copy of every buffer it is given and reads nothing from it.
class KeepingDecoder {
 public:
  swipe::DecodeFunction Function() {
    return [this](unsigned char* samples, std::int32_t byteCount) {
      std::lock_guard<std::mutex> lock(mutex_);
      buffers_.emplace_back(samples, samples + byteCount);
      return "";
    };
  }
  std::vector<Bytes> Buffers() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return buffers_;
  }

 private:
  mutable std::mutex mutex_;
  std::vector<Bytes> buffers_;
};

std::vector<std::int16_t> Pattern(std::size_t count) {
  std::vector<std::int16_t> samples(count);
  std::uint32_t x = 2463534242u;
  for (auto& s : samples) {
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    s = static_cast<std::int16_t>(static_cast<int>(x % 24001) - 12000);
  }
  return samples;
}

std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// A known sequence plays from before the start to after the second buffer: the buffers must be
// one unbroken slice of it, sample for sample, wherever the capture began.
TEST(SoundInput, RecordsWhatIsPlayedSampleForSample) {
  StartNoted device;
  swipe::ProcessHeapBlocks blocks;
  CountedBeeps beeps;
  KeptLines lines;
  KeepingDecoder decoder;
  swipe::CaptureEngine engine({device, blocks, beeps, lines, decoder.Function()});

  const std::vector<std::int16_t> sequence = Pattern(44100 * 12);
  const auto played = std::chrono::steady_clock::now();
  LinePlayback playback(sequence, "sequence");
  ASSERT_EQ(playback.Error(), "");
  std::this_thread::sleep_for(milliseconds(500));

  engine.BeginRecording(kBufferSeconds);
  ASSERT_TRUE(WaitUntil([&] { return device.Started(); }, seconds(10)))
      << "the input did not start; lines: " << testing::PrintToString(lines.Lines());
  const auto started = std::chrono::steady_clock::now();
  const bool two = WaitUntil([&] { return decoder.Buffers().size() >= 2; }, seconds(15));
  engine.StopRecording();
  ASSERT_TRUE(two) << "buffers handed back: " << decoder.Buffers().size();

  const std::vector<Bytes> buffers = decoder.Buffers();
  Bytes recorded;
  for (std::size_t i = 0; i < 2; ++i) {
    ASSERT_EQ(buffers[i].size(), kBufferSeconds * 88200u) << "buffer " << i << " is full";
    recorded.insert(recorded.end(), buffers[i].begin(), buffers[i].end());
  }
  const Bytes all = swipe::ToBytes(sequence);
  const auto at = std::search(all.begin(), all.end(), recorded.begin(), recorded.begin() + 16);
  ASSERT_NE(at, all.end()) << "the first recorded samples are not in what was played";
  const std::size_t offset = static_cast<std::size_t>(at - all.begin());
  ASSERT_EQ(offset % 2, 0u);
  ASSERT_LE(offset + recorded.size(), all.size());
  EXPECT_TRUE(std::equal(recorded.begin(), recorded.end(), at))
      << "the two buffers are not one unbroken slice of what was played";
  // For the record: roughly when the capture began (the player's own start-up not counted).
  const auto began = played + milliseconds(offset / 2 * 1000 / 44100) - started;
  std::cout << "capture began about "
            << std::chrono::duration_cast<milliseconds>(began).count()
            << " ms after the input was started\n";

  // Per buffer handed back: its line, a beep, and the closing line.
  std::vector<std::string> expected{"Recording..."};
  for (std::size_t i = 0; i < buffers.size(); ++i) {
    expected.push_back("Decoded: [] ");
    expected.push_back("Recording stopped...");
  }
  EXPECT_EQ(lines.Lines(), expected);
  EXPECT_EQ(beeps.Beeps(),
            (std::vector<std::pair<unsigned, unsigned>>(buffers.size(), {500u, 200u})));
}

TEST(SoundInput, CardSwipeReadThroughTheServersRecording) {
  const std::string card = ";6011000990139424=2807101987654321?";
  swipe::SwipeParams params;
  params.startPeriod = 22.0;
  params.endPeriod = 17.0;
  params.noise = 150.0;
  const std::vector<std::int16_t> swipe = swipe::SynthesizeSwipe(card, params);

  testing::internal::CaptureStdout();
  swipe::BeginRecording(kBufferSeconds);
  std::this_thread::sleep_for(kPlayAfterStart);
  LinePlayback playback(swipe, "swipe");
  // The text is read once the buffer holding the swipe is decoded, before the next one (silent)
  // replaces it.
  std::string text;
  WaitUntil([&] { return !(text = swipe::ReadTrack2Text()).empty(); }, seconds(15));
  swipe::StopRecording();
  const std::string out = testing::internal::GetCapturedStdout();
  ASSERT_EQ(playback.Error(), "");

  EXPECT_EQ(text, card);
  std::cout << out;  // the server's own lines, for the test log
  const std::vector<std::string> lines = SplitLines(out);
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines.front(), "Recording...");
  const std::string decodedCard = "Decoded: [" + card + "] ";
  const auto read = std::find(lines.begin(), lines.end(), decodedCard);
  ASSERT_NE(read, lines.end()) << out;
  EXPECT_NE(read, lines.begin() + 1) << "the decoder's own lines come first";
  EXPECT_EQ((read - 1)->rfind("Temp decoded: ", 0), 0u);
  // Every decode is followed by its closing line, and nothing else is written.
  int decodes = 0;
  for (std::size_t i = 1; i < lines.size(); ++i) {
    const std::string& line = lines[i];
    if (line.rfind("Decoded: [", 0) == 0) {
      ++decodes;
      ASSERT_LT(i + 1, lines.size());
      EXPECT_EQ(lines[i + 1], "Recording stopped...");
      EXPECT_EQ(line.substr(line.size() - 2), "] ");
    } else {
      EXPECT_TRUE(line.rfind("Temp decoded: ", 0) == 0 || line == "Recording stopped...") << line;
    }
  }
  EXPECT_GE(decodes, 1);
}

}  // namespace
