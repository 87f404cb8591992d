// Creates the echo server by ProgID and calls a method and a property through IDispatch.
var echo = new ActiveXObject("Controls.Echo");
var failures = 0;
function check(what, got, want) {
  if (got !== want) { WScript.Echo("FAIL " + what + ": got [" + got + "] want [" + want + "]"); failures++; }
}
check("Twice", echo.Twice("ab"), "abab");
check("Count after one call", echo.Count, 1);
echo.Count = 41;
check("Count put", echo.Count, 41);
check("Twice empty", echo.Twice(""), "");
WScript.Echo(failures ? "echo: FAILED" : "echo: ok");
WScript.Quit(failures ? 1 : 0);
