// The capture engine against a scripted device: what a recording writes and beeps, its start
// failures, the buffer lengths that recTime gives, and the threading contract of start, stop and
// reset (nothing decoded that the stop took back, nothing freed that the device or a callback
// still holds, no callback left running).
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <memory>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "capture_doubles.h"
#include "capture_engine.h"
#include "scripted_wave_input.h"

#ifdef __linux__
#include <dirent.h>
#endif

namespace {

using capture_test::Bytes;
using capture_test::CheckedBlocks;
using capture_test::CountedBeeps;
using capture_test::KeptLines;
using capture_test::ScriptedWaveInput;
using capture_test::SpellingDecoder;
using capture_test::Spelled;
using capture_test::WaitUntil;
using swipe::CaptureEngine;
using swipe::CaptureTiming;
using Delivery = ScriptedWaveInput::Delivery;
using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

CaptureTiming Quick() {
  CaptureTiming t;
  t.poll = milliseconds(2);
  t.stopPause = milliseconds(2);
  t.takeBackWait = milliseconds(50);
  return t;
}

// The engine's ports. On the heap: ThreadSanitizer forgets the lock order of a mutex only when
// its memory is freed, and stack addresses are reused from test to test.
struct Ports {
  explicit Ports(Delivery delivery) : device(delivery) {}
  ScriptedWaveInput device;
  CheckedBlocks blocks{device};
  CountedBeeps beeps;
  KeptLines lines;
  SpellingDecoder decoder;
};

// One engine with its device and the other ports. The engine goes first when it ends.
struct Rig {
  explicit Rig(Delivery delivery = Delivery::callbackThread, CaptureTiming timing = Quick(),
               swipe::DecodeFunction decode = nullptr)
      : ports(std::make_unique<Ports>(delivery)),
        device(ports->device),
        blocks(ports->blocks),
        beeps(ports->beeps),
        lines(ports->lines),
        decoder(ports->decoder) {
    engine = std::make_unique<CaptureEngine>(
        swipe::CapturePorts{device, blocks, beeps, lines, decode ? decode : decoder.Function()},
        timing);
  }

  void WaitForStarts(int n) {
    ASSERT_TRUE(WaitUntil([&] { return device.Count("start") >= n; })) << "device not started";
  }
  // Hands back one buffer holding `text` and waits until it went through the callback.
  void Record(const std::string& text, std::size_t size = 1000) {
    ASSERT_TRUE(device.Fill(Spelled(text, size)));
    device.WaitForCallbacks();
  }
  // Nothing left behind: device closed, every block freed, no rule of the device broken.
  void ExpectReleased() {
    EXPECT_FALSE(device.IsOpen());
    EXPECT_EQ(blocks.Live(), 0u);
    EXPECT_EQ(blocks.BadFrees(), 0u);
    EXPECT_EQ(device.Violations(), std::vector<std::string>{});
    EXPECT_FALSE(decoder.Overlapped());
  }

  std::unique_ptr<Ports> ports;
  ScriptedWaveInput& device;
  CheckedBlocks& blocks;
  CountedBeeps& beeps;
  KeptLines& lines;
  SpellingDecoder& decoder;
  std::unique_ptr<CaptureEngine> engine;
};

milliseconds Elapsed(Clock::time_point since) {
  return std::chrono::duration_cast<milliseconds>(Clock::now() - since);
}

// --- Buffer lengths -------------------------------------------------------------------------

struct LengthCase {
  long recTime;
  std::int16_t seconds;
  std::uint32_t length;
};

class RecTime : public testing::TestWithParam<LengthCase> {};

TEST_P(RecTime, LowSixteenBitsSignedGiveTheBufferLength) {
  const LengthCase c = GetParam();
  EXPECT_EQ(CaptureEngine::RecSecondsFor(c.recTime), c.seconds);
  Rig rig;
  rig.engine->BeginRecording(c.recTime);
  rig.WaitForStarts(1);
  EXPECT_EQ(rig.engine->RecSeconds(), c.seconds);
  EXPECT_EQ(rig.device.PreparedLengths(), std::vector<std::uint32_t>(3, c.length));
  EXPECT_EQ(rig.blocks.Requests(), std::vector<std::size_t>(3, c.length));
  const swipe::WaveFormat f = rig.device.LastFormat();
  EXPECT_EQ(f.formatTag, 1);
  EXPECT_EQ(f.channels, 1);
  EXPECT_EQ(f.samplesPerSec, 44100u);
  EXPECT_EQ(f.avgBytesPerSec, 88200u);
  EXPECT_EQ(f.blockAlign, 2);
  EXPECT_EQ(f.bitsPerSample, 16);
  EXPECT_EQ(f.cbSize, 18);
  rig.engine->StopRecording();
  rig.ExpectReleased();
  EXPECT_EQ(rig.lines.Lines(), std::vector<std::string>{"Recording..."});
}

INSTANTIATE_TEST_SUITE_P(Table, RecTime,
                         testing::Values(LengthCase{0, 2, 176400}, LengthCase{-5, 2, 176400},
                                         LengthCase{32768, 2, 176400},
                                         LengthCase{65536, 2, 176400},
                                         LengthCase{65537, 1, 88200}, LengthCase{1, 1, 88200},
                                         LengthCase{3, 3, 264600}));

// 24347 seconds still fit a 32-bit signed length and are asked of the heap (which refuses
// here); from 24348 on the length can't be represented and nothing is asked for.
TEST(RecTimeTooLarge, FailsThroughTheStartFailure) {
  const struct {
    long recTime;
    std::vector<std::size_t> requests;
  } cases[] = {{24347, {2147405400u}}, {24348, {}}, {32767, {}}, {65536 + 30000, {}}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.recTime);
    Rig rig;
    rig.engine->BeginRecording(c.recTime);
    ASSERT_TRUE(WaitUntil([&] { return rig.lines.Lines().size() >= 3; }));
    EXPECT_EQ(rig.lines.Lines(),
              (std::vector<std::string>{"Recording...", "Error: 7", "ERROR EXCEPTION: "}));
    EXPECT_EQ(rig.blocks.Requests(), c.requests);
    EXPECT_EQ(rig.device.Count("prepare"), 0);
    rig.engine->StopRecording();
    rig.ExpectReleased();
  }
}

// --- Start failures -------------------------------------------------------------------------

struct FailureCase {
  const char* what;
  void (*script)(Rig&);
  const char* errorLine;
  int closes;      // the device was opened and must be closed by the stop
  int unprepares;  // buffers that were prepared
};

class StartFailure : public testing::TestWithParam<FailureCase> {};

TEST_P(StartFailure, WritesTheCodeEndsTheWorkerAndTheStopCleansUp) {
  const FailureCase c = GetParam();
  Rig rig;
  c.script(rig);
  rig.engine->BeginRecording(2);
  ASSERT_TRUE(WaitUntil([&] { return rig.lines.Lines().size() >= 3; }));
  EXPECT_EQ(rig.lines.Lines(),
            (std::vector<std::string>{"Recording...", c.errorLine, "ERROR EXCEPTION: "}));
  // Failed, not idle: the flag and the worker stay until the next stop.
  EXPECT_TRUE(rig.engine->IsRecording());
  EXPECT_TRUE(rig.engine->HasWorker());
  EXPECT_EQ(rig.engine->ReadTrack2Text(), "");

  rig.engine->StopRecording();
  EXPECT_FALSE(rig.engine->IsRecording());
  EXPECT_FALSE(rig.engine->HasWorker());
  EXPECT_EQ(rig.device.Count("close"), c.closes);
  EXPECT_EQ(rig.device.Count("unprepare"), c.unprepares);
  rig.ExpectReleased();
  EXPECT_EQ(rig.decoder.Calls(), 0);
  EXPECT_EQ(rig.beeps.Count(), 0u);
  EXPECT_EQ(rig.lines.Lines().size(), 3u) << "the clean-up writes nothing";
}

INSTANTIATE_TEST_SUITE_P(
    Steps, StartFailure,
    testing::Values(
        FailureCase{"open", [](Rig& r) { r.device.FailCall("open", 1, 2); }, "Error: 2", 0, 0},
        FailureCase{"second block", [](Rig& r) { r.blocks.FailAllocation(2); }, "Error: 7", 1, 1},
        FailureCase{"second prepare", [](Rig& r) { r.device.FailCall("prepare", 2, 11); },
                    "Error: 11", 1, 1},
        FailureCase{"third add", [](Rig& r) { r.device.FailCall("add", 3, 5); }, "Error: 5", 1,
                    3},
        FailureCase{"start", [](Rig& r) { r.device.FailCall("start", 1, 6); }, "Error: 6", 1, 3}),
    [](const testing::TestParamInfo<FailureCase>& info) {
      std::string name = info.param.what;
      for (char& ch : name) {
        if (ch == ' ') ch = '_';
      }
      return name;
    });

// --- A recording ----------------------------------------------------------------------------

TEST(Recording, EveryBufferDecodedStoredBeepedAndRequeued) {
  Rig rig;
  rig.engine->BeginRecording(2);
  rig.WaitForStarts(1);
  EXPECT_EQ(rig.device.QueuedCount(), 3u);

  rig.Record(";4111=2512?", 1000);
  EXPECT_EQ(rig.engine->ReadTrack2Text(), ";4111=2512?");
  EXPECT_EQ(rig.device.QueuedCount(), 3u) << "the buffer goes back to the device";

  // A failed decode after a good one replaces the text with the empty text.
  rig.Record("", 400);
  EXPECT_EQ(rig.engine->ReadTrack2Text(), "");

  EXPECT_EQ(rig.lines.Lines(),
            (std::vector<std::string>{"Recording...", "Decoded: [;4111=2512?] ",
                                      "Recording stopped...", "Decoded: [] ",
                                      "Recording stopped..."}));
  EXPECT_EQ(rig.beeps.Beeps(), (std::vector<std::pair<unsigned, unsigned>>(2, {500u, 200u})));
  EXPECT_EQ(rig.decoder.ByteCounts(), (std::vector<std::int32_t>{1000, 400}))
      << "the decoder gets the bytes recorded, not the buffer length";
  EXPECT_EQ(rig.device.Count("add"), 5);

  rig.engine->StopRecording();
  rig.ExpectReleased();
  EXPECT_EQ(rig.lines.Lines().size(), 5u) << "queued buffers taken back are not decoded";
}

TEST(Recording, RequeueFailureWritesTheCodeAndTheRecordingGoesOn) {
  Rig rig;
  rig.device.FailCall("add", 4, 5);  // the first re-queue
  rig.engine->BeginRecording(2);
  rig.WaitForStarts(1);
  rig.Record("A");
  EXPECT_EQ(rig.device.QueuedCount(), 2u);
  rig.Record("B");
  EXPECT_EQ(rig.engine->ReadTrack2Text(), "B");
  EXPECT_EQ(rig.lines.Lines(),
            (std::vector<std::string>{"Recording...", "Decoded: [A] ", "Error: 5",
                                      "Recording stopped...", "Decoded: [B] ",
                                      "Recording stopped..."}));
  rig.engine->StopRecording();
  rig.ExpectReleased();
}

TEST(Recording, ResultTextIsBoundedByItsBuffer) {
  const std::string huge(CaptureEngine::kTrack2TextSize + 5000, '7');
  Rig rig(Delivery::callbackThread, Quick(),
          [&](unsigned char*, std::int32_t) { return huge.c_str(); });
  rig.engine->BeginRecording(1);
  rig.WaitForStarts(1);
  rig.Record("x");
  EXPECT_EQ(rig.engine->ReadTrack2Text(), huge.substr(0, CaptureEngine::kTrack2TextSize - 1));
  rig.engine->StopRecording();
  rig.ExpectReleased();
}

// --- Stop -----------------------------------------------------------------------------------

TEST(Stop, ReadRightAfterStartIsEmptyAndTheStopTakesItsTwoPauses) {
  Rig rig(Delivery::callbackThread, CaptureTiming{});
  const auto idleStart = Clock::now();
  rig.engine->StopRecording();
  EXPECT_LT(Elapsed(idleStart), milliseconds(50)) << "nothing runs: at once";
  EXPECT_TRUE(rig.device.Calls().empty());

  rig.engine->BeginRecording(2);
  EXPECT_EQ(rig.engine->ReadTrack2Text(), "");
  const auto start = Clock::now();
  rig.engine->StopRecording();
  EXPECT_GE(Elapsed(start), milliseconds(200));
  EXPECT_EQ(rig.device.Calls().back(), "close");
  rig.ExpectReleased();

  const auto calls = rig.device.Calls().size();
  const auto again = Clock::now();
  rig.engine->StopRecording();
  EXPECT_LT(Elapsed(again), milliseconds(50)) << "a second stop returns at once";
  EXPECT_EQ(rig.device.Calls().size(), calls);
  EXPECT_EQ(rig.decoder.Calls(), 0);
  EXPECT_EQ(rig.lines.Lines(), std::vector<std::string>{"Recording..."});
}

class StopDelivery : public testing::TestWithParam<Delivery> {};

// The buffer being filled comes back with what it holds: decoded after the reader saw the old
// text; the two buffers still queued are taken back undecoded.
TEST_P(StopDelivery, BufferBeingFilledIsDecodedQueuedOnesAreNot) {
  Rig rig(GetParam());
  rig.engine->BeginRecording(2);
  rig.WaitForStarts(1);
  rig.Record("first");
  rig.device.SetHeldAtStop(Spelled("second", 600));
  EXPECT_EQ(rig.engine->ReadTrack2Text(), "first");

  rig.engine->StopRecording();
  EXPECT_EQ(rig.engine->ReadTrack2Text(), "second");
  EXPECT_EQ(rig.decoder.ByteCounts(), (std::vector<std::int32_t>{1000, 600}));
  EXPECT_EQ(rig.beeps.Count(), 2u);
  EXPECT_EQ(rig.lines.Lines(),
            (std::vector<std::string>{"Recording...", "Decoded: [first] ", "Recording stopped...",
                                      "Decoded: [second] ", "Recording stopped..."}));
  rig.ExpectReleased();
}

TEST_P(StopDelivery, WaitsForACallbackThatIsStillDecoding) {
  Rig rig(GetParam());
  rig.decoder.SetDelay(milliseconds(300));
  rig.engine->BeginRecording(2);
  rig.WaitForStarts(1);
  ASSERT_TRUE(rig.device.Fill(Spelled("slow")));
  ASSERT_TRUE(WaitUntil([&] { return rig.decoder.Inside() == 1; }));

  rig.engine->StopRecording();
  EXPECT_EQ(rig.decoder.Inside(), 0);
  EXPECT_EQ(rig.decoder.Calls(), 1);
  EXPECT_EQ(rig.engine->ReadTrack2Text(), "slow");
  EXPECT_EQ(rig.lines.Lines().back(), "Recording stopped...");
  rig.ExpectReleased();
}

TEST_P(StopDelivery, ManyStartsAndStopsLeaveNothingBehind) {
#ifdef __linux__
  auto threads = [] {
    int n = 0;
    if (DIR* dir = opendir("/proc/self/task")) {
      while (readdir(dir)) ++n;
      closedir(dir);
    }
    return n;
  };
  std::thread([] {}).join();  // runtimes (a sanitizer's, say) start their own threads once
  const int threadsBefore = threads();
#endif
  const std::string a(5000, 'A');
  const std::string b(7000, 'B');
  const int cycles = 300;
  {
    Rig rig(GetParam());
    rig.device.AutoFill(milliseconds(1), [&](int n) {
      return Spelled(n % 3 == 0 ? a : n % 3 == 1 ? b : std::string(), 8000);
    });
    // A reader like GetTrack2 alongside: it must only ever see whole texts.
    std::atomic<bool> reading{true};
    std::atomic<int> torn{0};
    std::thread reader([&] {
      while (reading.load()) {
        const std::string text = rig.engine->ReadTrack2Text();
        if (!text.empty() && text != a && text != b) ++torn;
      }
    });
    std::mt19937 random(12345);
    for (int i = 0; i < cycles; ++i) {
      rig.engine->BeginRecording(i % 2 ? 1 : 0);
      std::this_thread::sleep_for(milliseconds(random() % 4));
      if (i % 3 != 0) rig.engine->StopRecording();  // otherwise the next start stops it
    }
    rig.engine->StopRecording();
    reading = false;
    reader.join();

    EXPECT_EQ(torn.load(), 0);
    rig.ExpectReleased();
    EXPECT_FALSE(rig.engine->HasWorker());
    EXPECT_EQ(rig.lines.Count("Recording..."), cycles);
    EXPECT_EQ(rig.beeps.Count(), static_cast<std::size_t>(rig.decoder.Calls()));
    EXPECT_EQ(rig.lines.Count("Recording stopped..."), rig.decoder.Calls());
    EXPECT_GT(rig.decoder.Calls(), 0) << "buffers came back during the cycles";
  }
#ifdef __linux__
  EXPECT_EQ(threads(), threadsBefore) << "a thread outlived its recording";
#endif
}

INSTANTIATE_TEST_SUITE_P(Callbacks, StopDelivery,
                         testing::Values(Delivery::callbackThread, Delivery::callerThread),
                         [](const testing::TestParamInfo<Delivery>& info) {
                           return info.param == Delivery::callbackThread ? "OnCallbackThread"
                                                                         : "OnCallersThread";
                         });

TEST(Stop, WaitsForAWorkerStillInItsStartSteps) {
  Rig rig;
  rig.device.SetOpenDelay(milliseconds(300));
  const auto start = Clock::now();
  rig.engine->BeginRecording(2);
  std::this_thread::sleep_for(milliseconds(20));
  rig.engine->StopRecording();
  EXPECT_GE(Elapsed(start), milliseconds(300));
  const std::vector<std::string> calls = rig.device.Calls();
  ASSERT_FALSE(calls.empty());
  EXPECT_EQ(calls.front(), "open");
  EXPECT_EQ(calls.back(), "close");
  EXPECT_EQ(rig.device.Count("start"), 1) << "the start steps ran to their end first";
  rig.ExpectReleased();
}

// A device that never gives its queued buffers back: the stop ends all the same and frees none
// of the blocks the device could still write into.
TEST(Stop, BlocksTheDeviceKeepsAreNotFreed) {
  CaptureTiming timing = Quick();
  timing.takeBackWait = milliseconds(10);
  timing.takeBackAttempts = 3;
  Rig rig(Delivery::callbackThread, timing);
  rig.device.SetResetKeepsBuffers(true);
  rig.engine->BeginRecording(2);
  rig.WaitForStarts(1);
  const auto start = Clock::now();
  rig.engine->StopRecording();
  EXPECT_LT(Elapsed(start), milliseconds(2000));
  EXPECT_EQ(rig.device.Count("reset"), 3);
  EXPECT_EQ(rig.device.Count("unprepare"), 0);
  EXPECT_EQ(rig.blocks.Live(), 3u);
  EXPECT_EQ(rig.blocks.BadFrees(), 0u);
  EXPECT_FALSE(rig.engine->HasWorker());
}

// --- Start while recording ------------------------------------------------------------------

TEST(Begin, WhileRecordingStopsFirstEmptiesTheTextAndUsesTheNewLength) {
  Rig rig(Delivery::callbackThread, CaptureTiming{});
  rig.engine->BeginRecording(2);
  rig.WaitForStarts(1);
  rig.Record("old");
  ASSERT_EQ(rig.engine->ReadTrack2Text(), "old");

  const auto start = Clock::now();
  rig.engine->BeginRecording(65537);
  EXPECT_GE(Elapsed(start), milliseconds(200));
  EXPECT_EQ(rig.engine->ReadTrack2Text(), "");
  rig.WaitForStarts(2);

  const std::vector<std::string> calls = rig.device.Calls();
  const auto close = std::find(calls.begin(), calls.end(), "close");
  ASSERT_NE(close, calls.end());
  EXPECT_NE(std::find(close, calls.end(), "open"), calls.end())
      << "the old device is closed before the new one opens";
  std::vector<std::uint32_t> lengths(3, 176400);
  lengths.insert(lengths.end(), 3, 88200);
  EXPECT_EQ(rig.device.PreparedLengths(), lengths);
  EXPECT_EQ(rig.lines.Count("Recording..."), 2);

  rig.engine->StopRecording();
  rig.ExpectReleased();
}

// --- Reset ----------------------------------------------------------------------------------

TEST(Reset, IdleTouchesNothingRunningIsStoppedTextIsKept) {
  Rig rig;
  rig.engine->ResetRecordingState();
  EXPECT_TRUE(rig.device.Calls().empty());

  rig.engine->BeginRecording(2);
  rig.WaitForStarts(1);
  rig.Record("kept");
  rig.engine->ResetRecordingState();
  EXPECT_EQ(rig.engine->ReadTrack2Text(), "kept");
  EXPECT_FALSE(rig.engine->IsRecording());
  EXPECT_FALSE(rig.engine->HasWorker());
  rig.ExpectReleased();

  // The next recording starts on a clean device.
  rig.engine->BeginRecording(2);
  rig.WaitForStarts(2);
  rig.engine->StopRecording();
  rig.ExpectReleased();
}

TEST(Reset, AfterAFailedStartReleasesTheOpenDevice) {
  Rig rig;
  rig.device.FailCall("start", 1, 6);
  rig.engine->BeginRecording(2);
  ASSERT_TRUE(WaitUntil([&] { return rig.lines.Count("ERROR EXCEPTION: ") == 1; }));
  EXPECT_EQ(rig.device.QueuedCount(), 3u);
  rig.engine->ResetRecordingState();
  EXPECT_FALSE(rig.engine->IsRecording());
  rig.ExpectReleased();
}

}  // namespace
