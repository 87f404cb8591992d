' The test server through IDispatch from VBScript: creation by both ProgIDs, a method and a
' text property.
Dim failures : failures = 0
Sub Check(what, got, want)
  If got <> want Then
    WScript.Echo "FAIL " & what & ": got [" & got & "] want [" & want & "]"
    failures = failures + 1
  End If
End Sub

Dim a, b
Set a = CreateObject("Layer.LayerTest")
Set b = CreateObject("Layer.LayerTest.1")
Check "Add", a.Add(20, 22), 42
Check "Add, text to long", b.Add("5", 1), 6
a.Text = "from VBScript"
Check "Text round trip", a.Text, "from VBScript"
Check "Text of the other object", b.Text, ""

If failures = 0 Then
  WScript.Echo "layer vbscript: ok"
  WScript.Quit 0
Else
  WScript.Echo "layer vbscript: FAILED"
  WScript.Quit 1
End If
