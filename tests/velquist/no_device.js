// The card-swipe control created by both ProgIDs, driven with no sound input device.
var failures = 0;
function check(what, got, want) {
  if (got !== want) {
    WScript.Echo("FAIL " + what + ": got [" + got + "] want [" + want + "]");
    failures++;
  }
}
// Wine's WScript.Sleep ends the script; a busy wait stands in for it.
function wait(ms) {
  var end = new Date().getTime() + ms;
  while (new Date().getTime() < end) {}
}

var control = new ActiveXObject("Velquist.Velquist");
var versioned = new ActiveXObject("Velquist.Velquist.1");
check("GetTrack2 before any recording", control.GetTrack2, "");
check("GetTrack2 of the versioned control", versioned.GetTrack2, "");

var recTimes = [0, -5, 32768, 65536, 65537];
for (var i = 0; i < recTimes.length; i++) {
  check("StartRecording(" + recTimes[i] + ")", control.StartRecording(recTimes[i]), undefined);
  wait(300);  // the worker tries the device and gives up
  check("GetTrack2 after StartRecording(" + recTimes[i] + ")", control.GetTrack2, "");
}
WScript.Echo(failures ? "velquist no-device: FAILED" : "velquist no-device: ok");
WScript.Quit(failures ? 1 : 0);
