' Creates the server by ProgID through Windows Script Host and calls it by name (IDispatch), as a
' host program written in a scripting language does. Prints one line per check and a summary;
' the exit code is the number of failed checks.
Option Explicit
Dim failed, server, result
failed = 0

Sub Check(name, actual, expected)
  If actual = expected Then
    WScript.Echo "ok " & name & " = " & actual
  Else
    WScript.Echo "FAILED " & name & ": got " & actual & ", expected " & expected
    failed = failed + 1
  End If
End Sub

Set server = CreateObject("ZOVServer.CZOVServer.1")
Check "Cancel on an idle server", server.Cancel(), -4
Check "Cancel again", server.Cancel(), -4
Check "FindProgram of an unknown name", server.FindProgram("", "NOSUCH", 0), ""
Set server = Nothing

Set server = CreateObject("ZOVServer.CZOVServer")
Check "Cancel through the version-independent ProgID", server.Cancel, -4
Set server = Nothing

WScript.Echo "summary: " & failed & " failed"
WScript.Quit failed
