// The test server through IDispatch from JScript: creation by both ProgIDs, a method with
// argument conversion from the type library, and a text property.
var failures = 0;
function check(what, got, want) {
  if (got !== want) { WScript.Echo("FAIL " + what + ": got [" + got + "] want [" + want + "]"); failures++; }
}

var byVersion = new ActiveXObject("Layer.LayerTest.1");
var plain = new ActiveXObject("Layer.LayerTest");

check("Add", plain.Add(2, 3), 5);
check("Add, double to long", plain.Add(2.75, 3), 6);
check("Add, text to long", plain.Add("40", 2), 42);
check("Add, negative", byVersion.Add(-7, 2), -5);
var refused = false;
try { plain.Add("not a number", 1); } catch (e) { refused = true; }
check("Add refuses text that is no number", refused, true);

check("Text of a new object", plain.Text, "");
plain.Text = "h\u00e9llo w\u00f6rld";
check("Text round trip", plain.Text, "h\u00e9llo w\u00f6rld");
plain.Text = 12;
check("Text from a number", plain.Text, "12");
check("objects are separate", byVersion.Text, "");
check("Fire without sinks", plain.Fire(1), 0);

WScript.Echo(failures ? "layer jscript: FAILED" : "layer jscript: ok");
WScript.Quit(failures ? 1 : 0);
