// The control channel's state: scripted out-values, one-shot failures, the call log, live
// objects and touch counts, plus the registry of live SDK objects and Base64 images.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "base64.h"
#include "base64_decode.h"
#include "channel.h"
#include "failure_code.h"
#include "live_registry.h"

namespace {

using namespace fingersim;

constexpr std::int32_t kFail = static_cast<std::int32_t>(0x80004005);
constexpr std::int32_t kAccessDenied = static_cast<std::int32_t>(0x80070005);

std::vector<ScriptedValue> Values(std::initializer_list<ScriptedValue> v) { return v; }

TEST(ScriptedValues, ParsesListsAndRefusesMalformedText) {
  using O = Operation;
  struct Case {
    O operation;
    const char* text;
    std::optional<std::vector<ScriptedValue>> expected;
  };
  const std::vector<Case> cases{
      {O::StartupStage1, "-3,0", Values({{-3, {}}, {0, {}}})},
      {O::EnrollFromImage, " 4 ,\t+2 ", Values({{4, {}}, {2, {}}})},
      {O::BeginEnrollment, "-2147483648,2147483647", Values({{INT32_MIN, {}}, {INT32_MAX, {}}})},
      {O::ExtractTemplateFromImage, "1:404,0", Values({{1, 404}, {0, {}}})},
      {O::ExtractTemplateFromImage, "-1 : 10000", Values({{-1, 10000}})},
      {O::RawImageToPicture, "", Values({})},
      {O::RawImageToPicture, "  ", Values({})},
      {O::EnrollFromImage, "1:404", std::nullopt},  // pairs only for extraction
      {O::StartupStage2, "1,,2", std::nullopt},
      {O::StartupStage2, "1,", std::nullopt},
      {O::StartupStage2, "x", std::nullopt},
      {O::StartupStage2, "0x10", std::nullopt},
      {O::StartupStage2, "1 2", std::nullopt},
      {O::StartupStage2, "2147483648", std::nullopt},
      {O::StartupStage2, "-", std::nullopt},
      {O::ExtractTemplateFromImage, "1:", std::nullopt},
      {O::ExtractTemplateFromImage, "1:2:3", std::nullopt},
      {O::Advise, "0", std::nullopt},  // nothing to script
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ParseScriptedValues(c.operation, c.text), c.expected) << NameOf(c.operation) << " \"" << c.text << "\"";
  }
}

TEST(CallLog, FormatsCallsAsTheScannerRecordsThem) {
  EXPECT_EQ(FormatCall("StartupStage1", {}), "StartupStage1()");
  EXPECT_EQ(FormatCall("BeginCaptureOn", {LogArg::Text(static_cast<const char*>(nullptr))}), "BeginCaptureOn(null)");
  EXPECT_EQ(FormatCall("EndCaptureOn", {LogArg::Text("SIM-1")}), "EndCaptureOn(SIM-1)");
  EXPECT_EQ(FormatCall("EndCaptureOn", {LogArg::Text("")}), "EndCaptureOn()");
  EXPECT_EQ(FormatCall("EnrollFromImage", {LogArg::Number(160000), LogArg::Number(400), LogArg::Number(400),
                                           LogArg::Number(500), LogArg::Number(10000), LogArg::Number(10000),
                                           LogArg::Number(8), LogArg::Number(0), LogArg::Number(0)}),
            "EnrollFromImage(160000,400,400,500,10000,10000,8,0,0)");
  EXPECT_EQ(FormatCall("BeginEnrollment", {LogArg::Number(-7)}), "BeginEnrollment(-7)");
}

TEST(CallLog, JoinsLinesAndKeepsTheLatest) {
  CallLog log;
  EXPECT_EQ(log.Text(), "");
  log.Add("A()");
  EXPECT_EQ(log.Text(), "A()");
  log.Add("B(1)");
  EXPECT_EQ(log.Text(), "A()\nB(1)");
  for (std::size_t i = 0; i < CallLog::kKeptLines; ++i) log.Add("C(" + std::to_string(i) + ")");
  EXPECT_EQ(log.size(), CallLog::kKeptLines);
  const std::string text = log.Text();
  EXPECT_EQ(text.rfind("C(0)\n", 0), 0u) << "the two oldest lines made room";
  const std::string last = "\nC(" + std::to_string(CallLog::kKeptLines - 1) + ")";
  EXPECT_EQ(text.substr(text.size() - last.size()), last) << "no line break after the last line";
}

TEST(ScannerChannel, DefaultsAreAWorkingScannerAndEveryCallIsLogged) {
  ScannerChannel channel;
  const auto call = channel.Enter(Operation::StartupStage1, {});
  EXPECT_FALSE(call.failed());
  EXPECT_FALSE(call.scripted.has_value());
  channel.Enter(Operation::BeginCaptureOn, {LogArg::Null()});
  EXPECT_EQ(channel.CallLogText(), "StartupStage1()\nBeginCaptureOn(null)");
  EXPECT_FALSE(channel.PictureWithoutIPicture());
  EXPECT_EQ(channel.TakeFailure(Operation::Advise), 0);
}

TEST(ScannerChannel, ScriptedValuesComeInOrderAndTheLastRepeats) {
  ScannerChannel channel;
  ASSERT_TRUE(channel.SetResults("StartupStage1", "-3,0"));
  ASSERT_TRUE(channel.SetResults("ExtractTemplateFromImage", "1:404"));
  EXPECT_EQ(channel.Enter(Operation::StartupStage1, {}).scripted, (ScriptedValue{-3, {}}));
  EXPECT_EQ(channel.Enter(Operation::StartupStage1, {}).scripted, (ScriptedValue{0, {}}));
  EXPECT_EQ(channel.Enter(Operation::StartupStage1, {}).scripted, (ScriptedValue{0, {}}));
  EXPECT_FALSE(channel.Enter(Operation::StartupStage2, {}).scripted) << "other operations keep their defaults";
  EXPECT_EQ(channel.Enter(Operation::ExtractTemplateFromImage, {}).scripted, (ScriptedValue{1, 404}));

  ASSERT_TRUE(channel.SetResults("StartupStage1", "5"));
  EXPECT_EQ(channel.Enter(Operation::StartupStage1, {}).scripted, (ScriptedValue{5, {}})) << "a new script starts over";
  ASSERT_TRUE(channel.SetResults("StartupStage1", ""));
  EXPECT_FALSE(channel.Enter(Operation::StartupStage1, {}).scripted) << "the empty text removes the script";

  EXPECT_FALSE(channel.SetResults("startupstage1", "1")) << "names are exact";
  EXPECT_FALSE(channel.SetResults("Reserved09", "1"));
  EXPECT_FALSE(channel.SetResults("Advise", "1"));
  EXPECT_FALSE(channel.SetResults("StartupStage2", "1,x"));
  EXPECT_FALSE(channel.Enter(Operation::StartupStage2, {}).scripted) << "a refused script changes nothing";
}

TEST(ScannerChannel, FailuresAreUsedOnceInOrderAndSpareTheScript) {
  ScannerChannel channel;
  ASSERT_TRUE(channel.SetResults("StartupStage2", "-9,1"));
  ASSERT_TRUE(channel.AddFailure("StartupStage2", kFail));
  ASSERT_TRUE(channel.AddFailure("StartupStage2", kAccessDenied));
  auto call = channel.Enter(Operation::StartupStage2, {});
  EXPECT_TRUE(call.failed());
  EXPECT_EQ(call.failure, kFail);
  EXPECT_FALSE(call.scripted);
  EXPECT_EQ(channel.Enter(Operation::StartupStage2, {}).failure, kAccessDenied);
  call = channel.Enter(Operation::StartupStage2, {});
  EXPECT_FALSE(call.failed());
  EXPECT_EQ(call.scripted, (ScriptedValue{-9, {}})) << "failed calls handed back no value";
  EXPECT_EQ(channel.CallLogText(), "StartupStage2()\nStartupStage2()\nStartupStage2()") << "failed calls are logged";

  ASSERT_TRUE(channel.AddFailure("Advise", kFail));
  EXPECT_EQ(channel.TakeFailure(Operation::Advise), kFail);
  EXPECT_EQ(channel.TakeFailure(Operation::Advise), 0);

  EXPECT_FALSE(channel.AddFailure("Advise", 0)) << "S_OK is no failure";
  EXPECT_FALSE(channel.AddFailure("Advise", 1)) << "nor is S_FALSE";
  EXPECT_FALSE(channel.AddFailure("Unadvise", kFail));
  EXPECT_EQ(channel.TakeFailure(Operation::Advise), 0);
}

TEST(ScannerChannel, ResetRestoresDefaultsButKeepsCountingLiveObjects) {
  ScannerChannel channel;
  channel.ObjectCreated(LiveKind::sdkObject);
  channel.ObjectCreated(LiveKind::picture);
  channel.ObjectCreated(LiveKind::picture);
  channel.ObjectCreated(LiveKind::imageArray);
  channel.ObjectReleased(LiveKind::picture);
  channel.SetResults("BeginEnrollment", "3");
  channel.AddFailure("EndCaptureOn", kFail);
  channel.AddFailure("Advise", kFail);
  channel.SetPictureWithoutIPicture(true);
  channel.Enter(Operation::StartupStage1, {});
  EXPECT_EQ(channel.NextTouch(2), 0);
  EXPECT_EQ(channel.NextTouch(2), 1);
  EXPECT_EQ(channel.NextTouch(-2), 0) << "every finger counts its own touches";

  channel.Reset();
  EXPECT_EQ(channel.CallLogText(), "");
  EXPECT_FALSE(channel.PictureWithoutIPicture());
  EXPECT_EQ(channel.TakeFailure(Operation::Advise), 0);
  EXPECT_FALSE(channel.Enter(Operation::EndCaptureOn, {LogArg::Text("d")}).failed());
  EXPECT_FALSE(channel.Enter(Operation::BeginEnrollment, {LogArg::Number(0)}).scripted);
  EXPECT_EQ(channel.NextTouch(2), 0);
  EXPECT_EQ(channel.LiveObjects(), 3);
  EXPECT_EQ(channel.LiveObjects(LiveKind::picture), 1);
  channel.ObjectReleased(LiveKind::sdkObject);
  EXPECT_EQ(channel.LiveObjects(), 2);
}

TEST(FailureCode, ScriptNumbersAboveTwoTo31WrapToTheNegativeCode) {
  struct Case {
    double number;
    std::optional<std::int32_t> code;
  };
  const Case cases[] = {
      {2147500037.0, kFail},                      // 0x80004005 as JScript writes it
      {2147942405.0, kAccessDenied},              // 0x80070005
      {-2147467259.0, kFail},                     // the same code written negative
      {2147483648.0, INT32_MIN},                  // 2^31: the first number that wraps
      {4294967295.0, -1},                         // 2^32 - 1: the last
      {2147483647.0, INT32_MAX},                  // left alone below 2^31
      {0.0, 0},
      {-2147483648.0, INT32_MIN},
      {4294967296.0, std::nullopt},               // 2^32
      {-2147483649.0, std::nullopt},
      {2147500037.5, std::nullopt},               // not a whole number
      {std::nan(""), std::nullopt},
      {HUGE_VAL, std::nullopt},
  };
  for (const Case& c : cases) EXPECT_EQ(CodeFromNumber(c.number), c.code) << c.number;
  // Integer types follow the same rule (a 32-bit unsigned 0x80004005 arrives as this number).
  EXPECT_EQ(CodeFromNumber(std::int64_t{0x80004005}), kFail);
  EXPECT_EQ(CodeFromNumber(std::int64_t{-5}), -5);
  EXPECT_EQ(CodeFromNumber(std::int64_t{1} << 32), std::nullopt);
}

TEST(ScannerChannel, CallsFromManyThreadsAreAllRecorded) {
  ScannerChannel channel;
  channel.SetResults("EnrollFromImage", "1,2,3,4");
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&channel] {
      for (int i = 0; i < 500; ++i) {
        channel.Enter(Operation::EnrollFromImage, {LogArg::Number(i)});
        channel.ObjectCreated(LiveKind::imageArray);
      }
    });
  }
  for (auto& t : threads) t.join();
  const std::string log = channel.CallLogText();
  EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 1999);
  EXPECT_EQ(channel.LiveObjects(), 2000);
  EXPECT_EQ(channel.Enter(Operation::EnrollFromImage, {}).scripted, (ScriptedValue{4, {}}));
}

TEST(LiveRegistry, RetainsLiveObjectsOldestFirstAndSkipsDyingOnes) {
  struct Object {
    int references;
  };
  Object a{1}, b{0}, c{2};
  LiveRegistry<Object> registry;
  registry.Add(&a);
  registry.Add(&b);
  registry.Add(&c);
  auto tryRetain = [](Object* o) {
    if (o->references == 0) return false;
    ++o->references;
    return true;
  };
  EXPECT_EQ(registry.Retained(tryRetain), (std::vector<Object*>{&a, &c}));
  EXPECT_EQ(a.references, 2);
  EXPECT_EQ(b.references, 0);
  registry.Remove(&a);
  EXPECT_EQ(registry.Retained(tryRetain), (std::vector<Object*>{&c}));
  EXPECT_EQ(registry.size(), 2u);
}

TEST(Base64Image, DecodesWhatTheEncoderWritesAndRefusesGarbage) {
  for (std::size_t n : {0u, 1u, 2u, 3u, 57u, 58u, 1000u}) {
    std::vector<unsigned char> bytes(n);
    for (std::size_t i = 0; i < n; ++i) bytes[i] = static_cast<unsigned char>(i * 131 + 7);
    std::string text;
    ASSERT_EQ(fingerprint::EncodeBase64(bytes.data(), static_cast<std::int32_t>(n), text),
              fingerprint::Base64Status::ok);
    const auto decoded = DecodeBase64(text);
    ASSERT_TRUE(decoded) << n;
    EXPECT_EQ(std::vector<unsigned char>(decoded->begin(), decoded->end()), bytes) << n << " bytes, CR LF lines";
  }
  EXPECT_EQ(DecodeBase64("AAEC"), (std::vector<std::uint8_t>{0, 1, 2}));
  EXPECT_EQ(DecodeBase64("/w"), (std::vector<std::uint8_t>{255})) << "padding may be left out";
  EXPECT_EQ(DecodeBase64(" /w = = \n"), (std::vector<std::uint8_t>{255}));
  for (const char* bad : {"A", "AAEC=", "AB=C", "A*BC", "AA===", "AAA=A", "===="}) {
    EXPECT_FALSE(DecodeBase64(bad)) << bad;
  }
}

}  // namespace
