// Finger images through the registered control from JScript, the simulated scanner delivering
// them: ImageCode, the image files, IsEnroll and ExtractCode after each enrollment status, the
// stored image used by Enroll and ExtractTemplate, and what Destroy lets go. (Wine's script host
// cannot take events; the C++ clients check them.)
var failures = 0;
function check(what, got, want) {
  if (got !== want) {
    WScript.Echo("FAIL " + what + ": got [" + got + "] want [" + want + "]");
    failures++;
  }
}
var fso = new ActiveXObject("Scripting.FileSystemObject");
var scanner = new ActiveXObject("FingerSdkSim.Scanner");
scanner.Reset();
var control = new ActiveXObject("QuorvaneBiometric.MyControl");

// Eight bytes 0..7 as a 4 x 2 image.
scanner.Reset();
scanner.Results("EnrollFromImage", "4");
scanner.TouchImage(4, 2, "AAECAwQFBgc=");
check("ImageCode", control.ImageCode, "AAECAwQFBgc=");
check("IsEnroll after status 4", control.IsEnroll, 1);
check("a template published", control.ExtractCode.length > 0, true);
check("the BMP", fso.FileExists("C:\\FingerImage\\FingerImage.bmp"), true);
check("the JPEG", fso.FileExists("C:\\FingerImage\\FingerImage.jpg"), true);
check("the BMP's size", fso.GetFile("C:\\FingerImage\\FingerImage.bmp").Size, 14 + 40 + 1024 + 4 * 2);
check("live: the SDK control and one picture", scanner.LiveObjects, 2);
check("calls", scanner.CallLog,
      "RawImageToPicture(8,4,2,0)\nEnrollFromImage(8,4,2,500,10000,10000,8,0,0)\n" +
      "ExtractTemplateFromImage(8,4,2,500,10000,10000,0)");

// Statuses and extraction results; the length of the Base64 text tells the bytes published.
var rows = [
  ["status 0", "0", "", 0, "unchanged"],
  ["status -1", "-1", "", 0, "unchanged"],
  ["no template: 10000 zero bytes", "1", "0", 1, 13686],
  ["a template of 404 bytes", "2", "1:404", 1, 554]
];
for (var i = 0; i < rows.length; i++) {
  control.ExtractCode = "old";
  scanner.Reset();
  scanner.Results("EnrollFromImage", rows[i][1]);
  if (rows[i][2]) scanner.Results("ExtractTemplateFromImage", rows[i][2]);
  scanner.Touch(1);
  check(rows[i][0] + ": IsEnroll", control.IsEnroll, rows[i][3]);
  check(rows[i][0] + ": ExtractCode",
        rows[i][4] === "unchanged" ? control.ExtractCode : control.ExtractCode.length,
        rows[i][4] === "unchanged" ? "old" : rows[i][4]);
}

// Enroll on the stored image: 4 is no success there.
scanner.Reset();
scanner.Results("EnrollFromImage", "4");
control.Enroll();
check("Enroll with status 4", control.IsEnroll, 0);
scanner.Results("EnrollFromImage", "3");
control.Enroll();
check("Enroll with status 3", control.IsEnroll, 1);

// Two templates, then Identify publishes the second.
scanner.Results("ExtractTemplateFromImage", "1:10,1:20");
control.ExtractCode = "old";
control.ExtractTemplate();
control.ExtractTemplate();
check("ExtractTemplate publishes nothing", control.ExtractCode, "old");
control.Identify();
check("Identify: 20 bytes", control.ExtractCode.length, 28);

control.Destroy();
scanner.Reset();
control.Enroll();
control.ExtractTemplate();
check("no SDK calls after Destroy", scanner.CallLog, "");
check("nothing left alive", scanner.LiveObjects, 0);

WScript.Echo(failures ? "fingerprint image jscript: FAILED" : "fingerprint image jscript: ok");
WScript.Quit(failures ? 1 : 0);
