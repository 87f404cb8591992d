// The engine with the real Track 2 decoder: a synthesized card swipe handed back by the scripted
// device becomes the result text, with the decoder's lines ahead of the engine's.
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "capture_doubles.h"
#include "capture_engine.h"
#include "scripted_wave_input.h"
#include "swipe_synth.h"
#include "track2_decode_port.h"

namespace {

using capture_test::Bytes;
using capture_test::WaitUntil;

TEST(SwipeRead, CardTextStoredThenErasedBySilence) {
  // On the heap, like every threaded test object (see capture_engine_test.cpp).
  struct Ports {
    capture_test::ScriptedWaveInput device;
    capture_test::CheckedBlocks blocks{device};
    capture_test::CountedBeeps beeps;
    capture_test::KeptLines lines;
    swipe::Track2DecodePort decoder{lines};
  };
  const auto ports = std::make_unique<Ports>();
  capture_test::ScriptedWaveInput& device = ports->device;
  capture_test::CheckedBlocks& blocks = ports->blocks;
  capture_test::KeptLines& lines = ports->lines;
  swipe::CaptureTiming timing;
  timing.poll = timing.stopPause = std::chrono::milliseconds(2);
  const auto engine = std::make_unique<swipe::CaptureEngine>(
      swipe::CapturePorts{device, blocks, ports->beeps, lines, ports->decoder.Function()}, timing);

  const std::string card = ";5413330089020011=2512101123456789?";
  swipe::SwipeParams params;
  params.startPeriod = 24.0;
  params.endPeriod = 16.0;
  params.noise = 200.0;
  const Bytes swipe = swipe::ToBytes(swipe::SynthesizeSwipe(card, params));
  Bytes recorded(2 * 88200, 0);
  ASSERT_LT(swipe.size() + 30000, recorded.size());
  std::copy(swipe.begin(), swipe.end(), recorded.begin() + 30000);

  engine->BeginRecording(0);
  ASSERT_TRUE(WaitUntil([&] { return device.Count("start") == 1; }));
  ASSERT_TRUE(device.Fill(recorded));
  device.WaitForCallbacks();
  EXPECT_EQ(engine->ReadTrack2Text(), card);

  std::vector<std::string> out = lines.Lines();
  ASSERT_GE(out.size(), 4u);
  EXPECT_EQ(out.front(), "Recording...");
  EXPECT_EQ(out[out.size() - 2], "Decoded: [" + card + "] ");
  EXPECT_EQ(out.back(), "Recording stopped...");
  for (std::size_t i = 1; i + 2 < out.size(); ++i) {
    EXPECT_EQ(out[i].rfind("Temp decoded: ", 0), 0u) << out[i];
  }

  ASSERT_TRUE(device.Fill(Bytes(2 * 88200, 0)));
  device.WaitForCallbacks();
  EXPECT_EQ(engine->ReadTrack2Text(), "");
  EXPECT_EQ(lines.Lines().back(), "Recording stopped...");
  EXPECT_EQ(lines.Count("Decoded: [] "), 1);
  EXPECT_EQ(ports->beeps.Count(), 2u);

  engine->StopRecording();
  EXPECT_FALSE(device.IsOpen());
  EXPECT_EQ(blocks.Live(), 0u);
  EXPECT_TRUE(device.Violations().empty());
}

}  // namespace
