// The registered fingerprint control from JScript, with the simulated scanner playing the SDK:
// creation by both ProgIDs, the properties, LibraryInstance, capture by host calls and device
// events, the start-up retry and Destroy, each checked against the scanner's record of calls.
var failures = 0;
function check(what, got, want) {
  if (got !== want) {
    WScript.Echo("FAIL " + what + ": got [" + got + "] want [" + want + "]");
    failures++;
  }
}
var E_POINTER = 0x80004003 | 0;
function errorOf(f) {
  try { f(); } catch (e) { return e.number | 0; }
  return 0;
}

var scanner = new ActiveXObject("FingerSdkSim.Scanner");
scanner.Reset();

// Creation, both ProgIDs: the two start-up stages, nothing else.
var plain = new ActiveXObject("QuorvaneBiometric.MyControl");
check("start-up calls", scanner.CallLog, "StartupStage1()\nStartupStage2()");
var versioned = new ActiveXObject("QuorvaneBiometric.MyControl.1");

check("ImageCode of a new control", plain.ImageCode, "");
check("ExtractCode of a new control", plain.ExtractCode, "");
plain.ImageCode = "image \u00e9 text";
check("ImageCode", plain.ImageCode, "image \u00e9 text");
plain.ExtractCode = "code";
check("ExtractCode", plain.ExtractCode, "code");
check("another control has its own", versioned.ImageCode, "");
check("IsEnroll of a new control", plain.IsEnroll, 0);
plain.IsEnroll = 7;
check("IsEnroll", plain.IsEnroll, 7);
plain.KillLibrary();
check("KillLibrary changes nothing", plain.IsEnroll, 7);
var instance = plain.LibraryInstance;
check("LibraryInstance is set", instance !== 0 && typeof instance === "number", true);
check("LibraryInstance again", plain.LibraryInstance, instance);
check("LibraryInstance of the module, for every control", versioned.LibraryInstance, instance);

scanner.Reset();
check("Destroy", plain.Destroy(), undefined);
check("the shut-down order", scanner.CallLog, "ShutdownStage1()\nShutdownStage2()");
check("Destroy twice", errorOf(function () { plain.Destroy(); }), E_POINTER);
check("after Destroy the properties stay", plain.ImageCode, "image \u00e9 text");
versioned.Destroy();

// The capture flag: each row on a control of its own, the log of the calls it made.
var rows = [
  ["Start twice", function (c) { c.Start(); c.Start(); }, "BeginCaptureOn(null)"],
  ["Stop on a fresh control", function (c) { c.Stop(); }, ""],
  ["event 2 while not capturing", function (c) { scanner.Event(2, "B"); c.Start(); },
   "BeginCaptureOn(null)"],
  ["event 1, Stop, Start", function (c) { scanner.Event(1, "A"); c.Stop(); c.Start(); },
   "BeginCaptureOn(A)\nEndCaptureOn(A)\nBeginCaptureOn(A)"],
  ["two events 1", function (c) { scanner.Event(1, "A"); scanner.Event(1, "B"); c.Stop(); },
   "BeginCaptureOn(A)\nBeginCaptureOn(B)\nEndCaptureOn(B)"],
  ["event 2 while capturing", function (c) { c.Start(); scanner.Event(2, "B"); c.Start(); },
   "BeginCaptureOn(null)\nEndCaptureOn(B)\nBeginCaptureOn(B)"],
  ["Destroy while capturing", function (c) {
     scanner.Event(1, "A");
     c.Destroy();
     c.Start();
     check("Stop after Destroy", errorOf(function () { c.Stop(); }), E_POINTER);
   }, "BeginCaptureOn(A)\nShutdownStage1()\nShutdownStage2()"],
  ["Destroy while not capturing", function (c) {
     c.Destroy();
     c.Stop();
     check("Start after Destroy", errorOf(function () { c.Start(); }), E_POINTER);
   }, "ShutdownStage1()\nShutdownStage2()"]
];
for (var i = 0; i < rows.length; i++) {
  var control = new ActiveXObject("QuorvaneBiometric.MyControl");
  scanner.Reset();
  rows[i][1](control);
  check(rows[i][0], scanner.CallLog, rows[i][2]);
  try { control.Destroy(); } catch (e) {}  // the rows that destroyed it already
}

// A first stage that fails once: one retry, then the creation succeeds without a message.
scanner.Reset();
scanner.Results("StartupStage1", "-3,0");
var retried = new ActiveXObject("QuorvaneBiometric.MyControl");
check("the retry", scanner.CallLog,
      "StartupStage1()\nShutdownStage2()\nShutdownStage1()\nStartupStage1()\nStartupStage2()");
retried.Destroy();
scanner.Reset();

WScript.Echo(failures ? "fingerprint control jscript: FAILED" : "fingerprint control jscript: ok");
WScript.Quit(failures ? 1 : 0);
