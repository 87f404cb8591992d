// A host's script for the fingerprint control, with the simulated scanner in the scanner's
// place: the control is created as a page would create it, an enrollment is started, and one
// finger touches the scanner a few times. After each touch the script prints what the host
// sees: IsEnroll, ImageCode and ExtractCode (length and first characters), and the SDK calls the
// touch caused.
// usage: cscript touch_finger.js [TOUCHES]
var touches = WScript.Arguments.length > 0 ? parseInt(WScript.Arguments(0), 10) : 5;
var scanner = new ActiveXObject("FingerSdkSim.Scanner");
var control = new ActiveXObject("QuorvaneBiometric.MyControl");

function head(text) {
  if (!text) return "(empty)";
  var first = text.substr(0, 40).replace(/\r\n/g, " ");
  return text.length + " characters: " + first + "...";
}

scanner.Reset();
control.StartEnroll();
WScript.Echo("control created; enrollment started (IsEnroll " + control.IsEnroll + ")");
var logged = scanner.CallLog ? scanner.CallLog.split("\n").length : 0;
for (var i = 1; i <= touches; i++) {
  scanner.Touch(1);
  WScript.Echo("");
  WScript.Echo("touch " + i + " of finger 1:");
  WScript.Echo("  IsEnroll    " + control.IsEnroll);
  WScript.Echo("  ImageCode   " + head(control.ImageCode));
  WScript.Echo("  ExtractCode " + head(control.ExtractCode));
  // The calls this touch caused: the log's new lines (a reset would start the finger over).
  var calls = scanner.CallLog.split("\n");
  for (var c = logged; c < calls.length; c++) WScript.Echo("  SDK call    " + calls[c]);
  logged = calls.length;
}
control.Destroy();
WScript.Echo("");
WScript.Echo("image files: C:\\FingerImage\\FingerImage.bmp and C:\\FingerImage\\FingerImage.jpg");
