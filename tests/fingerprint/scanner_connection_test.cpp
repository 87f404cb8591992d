// The control's link to the SDK control, seen from a C++ client: creation with its one retry
// and start-up message, the capture flag driven by Start, Stop and the SDK's device events, and
// Destroy; each checked against the scanner's record of the calls it received.
#include <windows.h>
#include <ole2.h>
#include <olectl.h>

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "control_client.h"
#include "stand_in_sdk.h"

namespace fingerprint_test {
namespace {

constexpr wchar_t kStartupFailure[] = L"Failed to Initialized FingerPrint ActiveX";

class ScannerConnection : public testing::Test {
 protected:
  void SetUp() override {
    stand_in_sdk::Revoke();
    ASSERT_TRUE(scanner);
    scanner.Reset();
  }

  // A new control, created while a watcher answers any message box; the boxes it saw.
  HRESULT Create(ComPtr<IMyControl>& control, std::vector<SeenBox>& boxes) {
    MessageBoxWatcher watcher;
    const HRESULT hr = CreateControl(control);
    boxes = watcher.Stop();
    return hr;
  }
  // A control that started without a message, with the scanner's log emptied.
  ComPtr<IMyControl> Started() {
    ComPtr<IMyControl> control;
    std::vector<SeenBox> boxes;
    EXPECT_EQ(Create(control, boxes), S_OK);
    EXPECT_TRUE(boxes.empty());
    scanner.Reset();
    return control;
  }

  Scanner scanner = Scanner::Simulated();
};

TEST_F(ScannerConnection, CreationStartsTheSdkWithOneRetry) {
  const HRESULT kNotConnectable = CONNECT_E_CANNOTCONNECT;
  struct Case {
    const char* name;
    std::function<void(Scanner&)> script;  // null: no SDK can be created
    HRESULT expected;
    int messages;
    std::wstring log;
  } cases[] = {
      {"a working scanner", [](Scanner&) {}, S_OK, 0, L"StartupStage1()\nStartupStage2()"},
      {"first stage fails once, the retry works",
       [](Scanner& s) { s.Results(L"StartupStage1", L"-3,0"); }, S_OK, 0,
       L"StartupStage1()\nShutdownStage2()\nShutdownStage1()\nStartupStage1()\nStartupStage2()"},
      {"first stage fails twice: its second status is the result",
       [](Scanner& s) { s.Results(L"StartupStage1", L"-3,-4"); }, static_cast<HRESULT>(-4), 1,
       L"StartupStage1()\nShutdownStage2()\nShutdownStage1()\nStartupStage1()"},
      {"a failing first shut-down step does not stop the retry",
       [](Scanner& s) {
         s.Results(L"StartupStage1", L"-3,0");
         s.Fail(L"ShutdownStage1", E_ACCESSDENIED);
       },
       S_OK, 0,
       L"StartupStage1()\nShutdownStage2()\nShutdownStage1()\nStartupStage1()\nStartupStage2()"},
      {"the second shut-down step fails in the retry",
       [](Scanner& s) {
         s.Results(L"StartupStage1", L"-3");
         s.Fail(L"ShutdownStage2", E_UNEXPECTED);
       },
       E_UNEXPECTED, 0, L"StartupStage1()\nShutdownStage2()"},
      {"the first stage fails as a call", [](Scanner& s) { s.Fail(L"StartupStage1", E_ABORT); },
       E_ABORT, 0, L"StartupStage1()"},
      {"second stage negative: its status is the result",
       [](Scanner& s) { s.Results(L"StartupStage2", L"-7"); }, static_cast<HRESULT>(-7), 1,
       L"StartupStage1()\nStartupStage2()"},
      {"second stage fails as a call", [](Scanner& s) { s.Fail(L"StartupStage2", E_FAIL); },
       E_FAIL, 0, L"StartupStage1()\nStartupStage2()"},
      {"second stage positive counts as success",
       [](Scanner& s) { s.Results(L"StartupStage2", L"5"); }, S_OK, 0,
       L"StartupStage1()\nStartupStage2()"},
      {"the event connection is refused", [=](Scanner& s) { s.Fail(L"Advise", kNotConnectable); },
       kNotConnectable, 1, L""},
      {"no SDK to create", nullptr, REGDB_E_CLASSNOTREG, 0, L""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    scanner.Reset();
    if (c.script) {
      c.script(scanner);
    } else {
      // The SDK's class answers as an unregistered class does, for this process only.
      ASSERT_EQ(stand_in_sdk::Register(REGDB_E_CLASSNOTREG), S_OK);
    }
    ComPtr<IMyControl> control;
    std::vector<SeenBox> boxes;
    EXPECT_EQ(Create(control, boxes), c.expected);
    stand_in_sdk::Revoke();
    EXPECT_EQ(static_cast<bool>(control), SUCCEEDED(c.expected));
    EXPECT_EQ(scanner.Log(), c.log);
    ASSERT_EQ(boxes.size(), static_cast<size_t>(c.messages));
    for (const SeenBox& box : boxes) {
      EXPECT_EQ(box.caption, L"Error");
      EXPECT_EQ(box.text, kStartupFailure);
      EXPECT_EQ(box.owner, nullptr) << "a control being created has no window yet";
    }
    if (control) {
      EXPECT_EQ(control->Destroy(), S_OK);
    }
  }
}


// One step of a case: a host call or a scanner action, and the result it must have.
struct Step {
  std::function<HRESULT(IMyControl*, Scanner&)> act;
  HRESULT expected;
};
Step Start(HRESULT expected = S_OK) { return {[](IMyControl* c, Scanner&) { return c->Start(); }, expected}; }
Step Stop(HRESULT expected = S_OK) { return {[](IMyControl* c, Scanner&) { return c->Stop(); }, expected}; }
Step Destroy(HRESULT expected = S_OK) {
  return {[](IMyControl* c, Scanner&) { return c->Destroy(); }, expected};
}
Step Event(LONG dispid, const wchar_t* device) {
  return {[=](IMyControl*, Scanner& s) {
            s.Event(dispid, device);
            return S_OK;
          },
          S_OK};
}
// Lets the thread's pending messages through, as a host's message loop does.
Step Pump() {
  return {[](IMyControl*, Scanner&) {
            MSG message;
            while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
            return S_OK;
          },
          S_OK};
}
Step Fail(const wchar_t* operation, HRESULT hr) {
  return {[=](IMyControl*, Scanner& s) {
            s.Fail(operation, hr);
            return S_OK;
          },
          S_OK};
}

TEST_F(ScannerConnection, CaptureFollowsHostCallsAndDeviceEvents) {
  struct Case {
    const char* name;
    std::vector<Step> steps;
    std::wstring log;
  } cases[] = {
      {"Start on a fresh control, then again", {Start(), Start()}, L"BeginCaptureOn(null)"},
      {"the scanner names its device once the thread takes messages", {Pump(), Start(), Stop()},
       L"BeginCaptureOn(SIM-SCANNER-01)\nEndCaptureOn(SIM-SCANNER-01)"},
      {"Stop on a fresh control", {Stop()}, L""},
      {"event 2 while not capturing changes nothing, not even the device",
       {Event(2, L"B"), Start()}, L"BeginCaptureOn(null)"},
      {"event 1 names the device; Stop and Start use it",
       {Event(1, L"A"), Stop(), Start(), Start()},
       L"BeginCaptureOn(A)\nEndCaptureOn(A)\nBeginCaptureOn(A)"},
      {"two events 1: each begins capture, the second device wins",
       {Event(1, L"A"), Event(1, L"B"), Stop()},
       L"BeginCaptureOn(A)\nBeginCaptureOn(B)\nEndCaptureOn(B)"},
      {"event 2 while capturing ends capture on its device and names it",
       {Start(), Event(2, L"B"), Event(2, L"C"), Start()},
       L"BeginCaptureOn(null)\nEndCaptureOn(B)\nBeginCaptureOn(B)"},
      {"an event with an empty text names no device",
       {Event(1, L"A"), Event(1, L""), Stop()},
       L"BeginCaptureOn(A)\nBeginCaptureOn(null)\nEndCaptureOn(null)"},
      {"a failed BeginCaptureOn leaves the flag clear",
       {Fail(L"BeginCaptureOn", E_FAIL), Start(E_FAIL), Start(), Start()},
       L"BeginCaptureOn(null)\nBeginCaptureOn(null)"},
      {"a failed EndCaptureOn leaves the flag set",
       {Start(), Fail(L"EndCaptureOn", E_FAIL), Stop(E_FAIL), Stop(), Stop()},
       L"BeginCaptureOn(null)\nEndCaptureOn(null)\nEndCaptureOn(null)"},
      {"event 1 sets the flag even when BeginCaptureOn fails",
       {Fail(L"BeginCaptureOn", E_FAIL), Event(1, L"A"), Start(), Stop()},
       L"BeginCaptureOn(A)\nEndCaptureOn(A)"},
      {"event 2 keeps the flag when EndCaptureOn fails",
       {Event(1, L"A"), Fail(L"EndCaptureOn", E_FAIL), Event(2, L"B"), Stop()},
       L"BeginCaptureOn(A)\nEndCaptureOn(B)\nEndCaptureOn(B)"},
      {"Destroy keeps the flag: Start does nothing, Stop and a second Destroy need the SDK",
       {Event(1, L"A"), Destroy(), Start(), Stop(E_POINTER), Destroy(E_POINTER)},
       L"BeginCaptureOn(A)\nShutdownStage1()\nShutdownStage2()"},
      {"after Destroy while not capturing, Stop does nothing and Start needs the SDK",
       {Destroy(), Stop(), Start(E_POINTER)}, L"ShutdownStage1()\nShutdownStage2()"},
      {"a failing first shut-down step: disconnected, the SDK kept",
       {Fail(L"ShutdownStage1", E_ACCESSDENIED), Destroy(E_ACCESSDENIED), Event(1, L"A"),
        Destroy()},
       L"ShutdownStage1()\nShutdownStage1()\nShutdownStage2()"},
      {"a failing second shut-down step: the SDK still answers",
       {Fail(L"ShutdownStage2", E_ACCESSDENIED), Destroy(E_ACCESSDENIED), Start(), Destroy()},
       L"ShutdownStage1()\nShutdownStage2()\nBeginCaptureOn(null)\nShutdownStage1()\n"
       L"ShutdownStage2()"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ComPtr<IMyControl> control = Started();
    ASSERT_TRUE(control);
    for (size_t i = 0; i < c.steps.size(); ++i)
      EXPECT_EQ(c.steps[i].act(control.get(), scanner), c.steps[i].expected) << "step " << i;
    EXPECT_EQ(scanner.Log(), c.log);
    control = nullptr;
    EXPECT_EQ(scanner.LiveObjects(), 0) << "the SDK control goes with the control";
  }
}

TEST_F(ScannerConnection, DestroyEndsTheLinkAndKeepsWhatTheHostSet) {
  ComPtr<IMyControl> control = Started();
  ASSERT_TRUE(control);
  Bstr image(L"image text"), code(L"code text");
  ASSERT_EQ(control->put_ImageCode(image.get()), S_OK);
  ASSERT_EQ(control->put_ExtractCode(code.get()), S_OK);
  ASSERT_EQ(control->put_IsEnroll(7), S_OK);
  ASSERT_EQ(control->ExtractTemplate(), S_OK);  // a template of no image: 10000 zero bytes

  ASSERT_EQ(control->Destroy(), S_OK);
  EXPECT_EQ(scanner.LiveObjects(), 0) << "the SDK control is released at once";
  EXPECT_EQ(control->StartEnroll(), E_POINTER);
  EXPECT_EQ(control->ExtractTemplate(), S_OK) << "no image held: no SDK needed";
  EXPECT_EQ(control->Enroll(), S_OK);
  EXPECT_EQ(control->Identify(), S_OK);
  EXPECT_EQ(scanner.Log(), L"ShutdownStage1()\nShutdownStage2()");

  Bstr read;
  EXPECT_EQ(control->get_ImageCode(read.put()), S_OK);
  EXPECT_EQ(read.str(), L"image text");
  LONG enrolled = 0;
  EXPECT_EQ(control->get_IsEnroll(&enrolled), S_OK);
  EXPECT_EQ(enrolled, 7);
  EXPECT_EQ(control->get_ExtractCode(read.put()), S_OK);
  EXPECT_NE(read.str(), L"code text") << "Identify published the template made after Destroy";
  EXPECT_EQ(read.str().substr(0, 8), L"AAAAAAAA");
}

}  // namespace
}  // namespace fingerprint_test
