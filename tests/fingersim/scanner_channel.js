// The control channel driven from JScript, as tests and the demo drive it: Reset, Results,
// Fail with a code written as 0x80004005, CallLog and LiveObjects, against an SDK object the
// script makes itself.
var failures = 0;
function check(what, actual, expected) {
  if (actual !== expected) {
    WScript.Echo("FAIL " + what + ": got [" + actual + "], expected [" + expected + "]");
    failures++;
  }
}
function throws(what, f) {
  try {
    f();
  } catch (e) {
    return e.number;
  }
  WScript.Echo("FAIL " + what + ": no error");
  failures++;
  return 0;
}

var E_FAIL = -2147467259;        // 0x80004005 as an error number
var E_INVALIDARG = -2147024809;  // 0x80070057

var scanner = new ActiveXObject("FingerSdkSim.Scanner");
var versioned = new ActiveXObject("FingerSdkSim.Scanner.1");
scanner.Reset();
check("nothing alive after Reset", scanner.LiveObjects, 0);

var sdk = new ActiveXObject("FingerSdkSim.FingerSdk");
check("one SDK object", versioned.LiveObjects, 1);

// A working scanner by default; scripted statuses with the last one repeating.
check("first start-up step", sdk.StartupStage1(), 0);
scanner.Results("StartupStage1", "-3,0");
check("scripted status", sdk.StartupStage1(), -3);
check("next scripted status", sdk.StartupStage1(), 0);
check("last one repeats", sdk.StartupStage1(), 0);

// A one-shot failure given as JScript writes it.
scanner.Fail("StartupStage2", 0x80004005);
check("the failure reaches the caller", throws("StartupStage2", function () { sdk.StartupStage2(); }), E_FAIL);
check("once only", sdk.StartupStage2(), 0);
scanner.Fail("BeginEnrollment", -2147024809);
check("a negative code as it is", throws("BeginEnrollment", function () { sdk.BeginEnrollment(0); }), E_INVALIDARG);

sdk.BeginCaptureOn("SIM-9");
check("the call log", scanner.CallLog,
      "StartupStage1()\nStartupStage1()\nStartupStage1()\nStartupStage1()\n" +
      "StartupStage2()\nStartupStage2()\nBeginEnrollment(0)\nBeginCaptureOn(SIM-9)");

// Refused settings.
check("unknown operation", throws("Fail", function () { scanner.Fail("Nothing", 0x80004005); }), E_INVALIDARG);
check("no failure code", throws("Fail", function () { scanner.Fail("StartupStage1", 0); }), E_INVALIDARG);
check("malformed values", throws("Results", function () { scanner.Results("StartupStage1", "1,x"); }), E_INVALIDARG);
check("event number", throws("Event", function () { scanner.Event(5, "x"); }), E_INVALIDARG);

// Channel events and touches with no sink connected reach nobody and change nothing.
scanner.Event(1, "DEV");
scanner.Touch(2);
scanner.TouchImage(2, 2, "AAECAw==");
check("still one object alive", scanner.LiveObjects, 1);

// Reset: a working scanner again, an empty log.
scanner.Results("StartupStage1", "-1");
scanner.Fail("StartupStage1", 0x80004005);
scanner.Reset();
check("log emptied", scanner.CallLog, "");
check("script and failure gone", sdk.StartupStage1(), 0);

sdk = null;
CollectGarbage();
check("the SDK object released", scanner.LiveObjects, 0);

if (failures == 0) WScript.Echo("scanner jscript: ok");
WScript.Quit(failures == 0 ? 0 : 1);
