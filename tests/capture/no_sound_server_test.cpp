// The real wave input with no sound server (the test's environment points Wine's sound driver
// at a server that does not exist): the device can't be opened, the worker says so and ends,
// and the stop cleans up. Once through the engine, once through the server's recording and its
// standard output.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "capture_doubles.h"
#include "capture_engine.h"
#include "process_heap_blocks.h"
#include "recording.h"
#include "winmm_wave_input.h"

namespace {

using capture_test::CountedBeeps;
using capture_test::KeptLines;
using capture_test::SpellingDecoder;
using capture_test::WaitUntil;

TEST(NoSoundServer, OpenFailsWithBadDeviceId) {
  swipe::WinmmWaveInput device;
  swipe::ProcessHeapBlocks blocks;
  CountedBeeps beeps;
  KeptLines lines;
  SpellingDecoder decoder;
  swipe::CaptureEngine engine({device, blocks, beeps, lines, decoder.Function()});
  engine.BeginRecording(2);
  ASSERT_TRUE(WaitUntil([&] { return lines.Lines().size() >= 3; }));
  EXPECT_EQ(lines.Lines(),
            (std::vector<std::string>{"Recording...", "Error: 2", "ERROR EXCEPTION: "}));
  EXPECT_TRUE(engine.IsRecording()) << "failed, not idle, until the next stop";
  EXPECT_EQ(engine.ReadTrack2Text(), "");
  engine.StopRecording();
  EXPECT_FALSE(engine.IsRecording());
  EXPECT_FALSE(engine.HasWorker());
  EXPECT_EQ(decoder.Calls(), 0);
  EXPECT_EQ(beeps.Count(), 0u);
}

TEST(NoSoundServer, RecordingWritesItsLinesOnStandardOutput) {
  testing::internal::CaptureStdout();
  swipe::BeginRecording(0);
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  const std::string text = swipe::ReadTrack2Text();
  // The stop joins the worker, so every line it writes is out when the stop returns.
  const auto start = std::chrono::steady_clock::now();
  swipe::StopRecording();
  const auto stopped = std::chrono::steady_clock::now() - start;
  swipe::StopRecording();
  const std::string out = testing::internal::GetCapturedStdout();

  EXPECT_EQ(text, "");
  EXPECT_EQ(out, "Recording...\nError: 2\nERROR EXCEPTION: \n");
  EXPECT_GE(stopped, std::chrono::milliseconds(200));
  EXPECT_EQ(swipe::ReadTrack2Text(), "");
}

}  // namespace
