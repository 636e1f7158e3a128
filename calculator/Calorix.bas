Attribute VB_Name = "Calorix"
' Worksheet functions over Calorix.Calculator (CalorixCalc.dll beside Calorix.dll, registered by
' the installer or by "calorix-host.exe register"). Import this file into a workbook (VBA editor:
' File > Import File), then, with names in A2:A13 and mole fractions in B2:B13:
'
'   =CALORIX("HHV2016", A2:A13, B2:B13, 15, 5000, "ref=25/0")      overall value
'   =CALORIX_PHASE("HHV", A2:A13, B2:B13, 10, 3000, "vapour", "flash=1")
'   =CALORIX_PHASE("HHV", A2:A13, B2:B13, 10, 3000, , "flash=1")   the five phase values in a row
'   =CALORIX_FLASH(A2:A13, B2:B13, 10, 3000)                        phases and compositions (a table)
'   =CALORIX_MESSAGE("HHV2016", A2:A13, B2:B13, 15, 5000, "ref=25/0")
'
' Components are names or CAS numbers as in calorix-host's fluid files (a range, a row, or a
' text "methane, ethane"); temperature in degC, pressure in kPa absolute; options as text:
' ref=COMB/MET, ref-temp=15|0, flash=0|1, methane-origin=fossil|non-fossil,
' gerg-model=gerg2008|gerg2008-h2, normalise=0|1, molar-flow=kmol/h. A function that gives no
' value returns #VALUE!; CALORIX_MESSAGE with the same arguments returns why
' ("components[0]: unknown component 'methan' ..."), or "" when there is a value. A phase
' that is absent is #N/A.
Option Explicit

Private calculator As Object

Private Function Calc() As Object
    If calculator Is Nothing Then Set calculator = CreateObject("Calorix.Calculator")
    Set Calc = calculator
End Function

' A range's values; anything else as it is.
Private Function Plain(ByVal value As Variant) As Variant
    If IsObject(value) Then Plain = value.Value Else Plain = value
End Function

Private Function PhaseIndex(ByVal phase As Variant) As Long
    Select Case LCase(CStr(phase))
        Case "overall", "0": PhaseIndex = 0
        Case "vapour", "vapor", "1": PhaseIndex = 1
        Case "hc_liquid", "2": PhaseIndex = 2
        Case "aqueous", "3": PhaseIndex = 3
        Case "phase3", "4": PhaseIndex = 4
        Case Else: PhaseIndex = -1
    End Select
End Function

Public Function CALORIX(ByVal correlation As String, ByVal components As Variant, ByVal fractions As Variant, _
                        ByVal temperature_C As Variant, ByVal pressure_kPa As Variant, _
                        Optional ByVal options As String = "") As Variant
    On Error GoTo Failed
    CALORIX = Calc().Value(correlation, Plain(components), Plain(fractions), Plain(temperature_C), _
                           Plain(pressure_kPa), options)
    Exit Function
Failed:
    CALORIX = CVErr(xlErrValue)
End Function

Public Function CALORIX_PHASE(ByVal correlation As String, ByVal components As Variant, ByVal fractions As Variant, _
                              ByVal temperature_C As Variant, ByVal pressure_kPa As Variant, _
                              Optional ByVal phase As Variant, Optional ByVal options As String = "") As Variant
    Dim values As Variant, i As Long, k As Long
    On Error GoTo Failed
    values = Calc().PhaseValues(correlation, Plain(components), Plain(fractions), Plain(temperature_C), _
                                Plain(pressure_kPa), options)
    For i = 0 To 4
        If IsEmpty(values(i)) Then values(i) = CVErr(xlErrNA)
    Next
    If IsMissing(phase) Then
        CALORIX_PHASE = values
    Else
        k = PhaseIndex(phase)
        If k < 0 Then CALORIX_PHASE = CVErr(xlErrValue) Else CALORIX_PHASE = values(k)
    End If
    Exit Function
Failed:
    CALORIX_PHASE = CVErr(xlErrValue)
End Function

Public Function CALORIX_FLASH(ByVal components As Variant, ByVal fractions As Variant, ByVal temperature_C As Variant, _
                              ByVal pressure_kPa As Variant, Optional ByVal options As String = "") As Variant
    On Error GoTo Failed
    CALORIX_FLASH = Calc().Flash(Plain(components), Plain(fractions), Plain(temperature_C), Plain(pressure_kPa), options)
    Exit Function
Failed:
    CALORIX_FLASH = CVErr(xlErrValue)
End Function

' Why CALORIX with the same arguments gives #VALUE!; "" when it gives a value.
Public Function CALORIX_MESSAGE(ByVal correlation As String, ByVal components As Variant, ByVal fractions As Variant, _
                                ByVal temperature_C As Variant, ByVal pressure_kPa As Variant, _
                                Optional ByVal options As String = "") As String
    Dim ignored As Variant
    On Error GoTo Failed
    ignored = Calc().Value(correlation, Plain(components), Plain(fractions), Plain(temperature_C), _
                           Plain(pressure_kPa), options)
    CALORIX_MESSAGE = ""
    Exit Function
Failed:
    CALORIX_MESSAGE = Err.Description
End Function
