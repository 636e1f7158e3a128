' Calorix.Calculator from VBScript: every method, with arrays (1-D, a column and a row as 2-D
' arrays, text lists), the same value from each, and the errors' descriptions.
' Wine's cscript ends with status 0 even after a script error, so the last line says it all.
Option Explicit
Dim c, failures, names, fractions, v, w, pv, f, t, i, col(9, 0), row(0, 9), msg, found
failures = 0
Sub Check(ok, what)
    If Not ok Then
        WScript.Echo "FAIL: " & what
        failures = failures + 1
    End If
End Sub

Set c = CreateObject("Calorix.Calculator")
Check Len(c.Version) > 0, "Version"
names = Array("methane", "ethane", "propane", "isobutane", "n-butane", "isopentane", "n-pentane", "n-hexane", "nitrogen", "124-38-9")
fractions = Array(0.895, 0.05, 0.02, 0.004, 0.005, 0.002, 0.0015, 0.0015, 0.01, 0.011)
v = c.Value("HHV2016", names, fractions, 15, 5000, "ref=25/0")
WScript.Echo "Value HHV2016 " & v
Check v > 38 And v < 46, "HHV2016 " & v
w = c.Value("HHV2016", "methane, ethane, propane, isobutane, n-butane, isopentane, n-pentane, n-hexane, nitrogen, 124-38-9", "0.895; 0.05; 0.02; 0.004; 0.005; 0.002; 0.0015; 0.0015; 0.01; 0.011", "15", "5000", "ref=25/0")
Check v = w, "text lists give " & w
For i = 0 To 9
    col(i, 0) = names(i)
    row(0, i) = fractions(i)
Next
Check c.Value("HHV2016", col, row, 15, 5000, "ref=25/0") = v, "a column and a row"

pv = c.PhaseValues("HHV2016", names, fractions, 15, 5000, "ref=25/0")
Check UBound(pv) = 4, "five phase values"
Check pv(0) = v And pv(1) = v, "overall and vapour"
Check IsEmpty(pv(2)) And IsEmpty(pv(3)) And IsEmpty(pv(4)), "absent phases Empty"

f = c.Flash(Array("methane", "propane", "n-hexane", "n-octane", "water"), Array(0.8, 0.08, 0.05, 0.04, 0.03), 10, 3000)
Check UBound(f, 1) = 5 And UBound(f, 2) = 6, "flash table 6 x 7"
Check f(0, 0) = "phase" And f(2, 0) = "vapour" And f(0, 2) = "methane", "flash headers"
Check Abs(f(2, 1) + f(3, 1) + f(4, 1) - 1) < 1e-9, "phase fractions sum to 1"
Check IsEmpty(f(5, 1)), "no phase 3"
pv = c.PhaseValues("HHV", Array("methane", "propane", "n-hexane", "n-octane", "water"), Array(0.8, 0.08, 0.05, 0.04, 0.03), 10, 3000, "flash=1")
Check pv(2) > pv(1), "the liquid of heavy ends burns richer"

t = c.Components()
Check t(0, 0) = "name" And UBound(t, 1) > 20 And UBound(t, 2) = 3, "components table"
t = c.Correlations()
found = False
For i = 1 To UBound(t, 1)
    If t(i, 0) = "HHV2016" Then found = (t(i, 1) = "Calorix.HHV2016.1" And t(i, 3) = "MJ/m3" And t(i, 4) = 2016)
Next
Check found, "HHV2016 among the correlations"

On Error Resume Next
Function ErrorOf(expected)
    ErrorOf = Err.Description
    If InStr(1, Err.Description, expected, vbBinaryCompare) <> 1 Or Err.Source <> "Calorix.Calculator" Then
        WScript.Echo "FAIL: expected '" & expected & "', got " & Err.Source & ": " & Err.Description
        failures = failures + 1
    End If
    Err.Clear
End Function
names(0) = "methan"
v = c.Value("HHV2016", names, fractions, 15, 5000)
ErrorOf "components[0]: unknown component 'methan' (did you mean 'methane'?)"
names(0) = "methane"
fractions(0) = 0.795
v = c.Value("HHV2016", names, fractions, 15, 5000)
ErrorOf "mole_fractions: fractions sum to 0.9, not 1; use normalise=1 to scale them"
fractions(0) = 0.895
v = c.Value("HHV2016", names, fractions, 15, 1E9)
ErrorOf "pressure_kPa: 1e+09 is 1e+09 kPa, above 1e+06 kPa"
v = c.Value("HHV", names, fractions, 15, 5000, "ref=25/0")
ErrorOf "options: ref 25/0 applies to the ISO 6976:2016 classes only"
On Error GoTo 0

If failures = 0 Then WScript.Echo "calculator script ok"
WScript.Quit failures
