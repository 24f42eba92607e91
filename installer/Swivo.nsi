; The Windows installer of Swivo: a per-user set-up of ORNAX.exe, its hook
; library and its language libraries, started at sign-in, upgraded in place
; over a running copy and removed without a trace but the user's settings.
;   makensis -DVERSION=1.0.2.14 -DWINDOW_CLASS=ORNAX -DPRODUCT=Swivo -DPUBLISHER=... -DDIST=..\dist
;            -DICON=... -DOUTFILE=... [-DSIGN=scripts/sign.sh] Swivo.nsi
; (CMake passes the project's version, the program's window class, the
; product and its publisher, and with a certificate the signing script.)
Unicode true
!include MUI2.nsh
!include FileFunc.nsh
!include LogicLib.nsh

; The installer, and the uninstaller that it writes, are signed as they are made.
!ifdef SIGN
  !finalize '"${SIGN}" "%1"' = 0
  !uninstfinalize '"${SIGN}" "%1"' = 0
!endif

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\${PRODUCT}"
!define RUN_KEY "Software\Microsoft\Windows\CurrentVersion\Run"
!define SCHEME_KEY "AppEvents\Schemes\Apps\.Default"
!define EXIT_WAIT_STEPS 100 ; of 100 ms: ten seconds for a running copy to end

Name "${PRODUCT}"
OutFile "${OUTFILE}"
RequestExecutionLevel user
InstallDir "$LOCALAPPDATA\Programs\${PRODUCT}"
; A reinstall or an upgrade goes where the installed copy is.
InstallDirRegKey HKCU "${UNINSTALL_KEY}" "InstallLocation"
SetCompressor /SOLID lzma
Icon "${ICON}"
UninstallIcon "${ICON}"

VIProductVersion "${VERSION}"
VIAddVersionKey /LANG=0 "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=0 "FileDescription" "${PRODUCT} Setup"
VIAddVersionKey /LANG=0 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=0 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=0 "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=0 "LegalCopyright" "Copyright (C) 2026 ${PUBLISHER}"

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_ABORTWARNING
!define MUI_FINISHPAGE_RUN "$INSTDIR\ORNAX.exe"
!define MUI_FINISHPAGE_RUN_TEXT "$(StartNow)"
; The second choice of the finish page: start at sign-in, on by default.
!define MUI_FINISHPAGE_SHOWREADME ""
!define MUI_FINISHPAGE_SHOWREADME_TEXT "$(StartAtSignIn)"
!define MUI_FINISHPAGE_SHOWREADME_FUNCTION WriteRunValue

!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES

; The system's UI language chooses; English for any other.
!insertmacro MUI_LANGUAGE "English"
!insertmacro MUI_LANGUAGE "SimpChinese"
!insertmacro MUI_LANGUAGE "TradChinese"
!insertmacro MUI_LANGUAGE "German"
!insertmacro MUI_LANGUAGE "Spanish"
!insertmacro MUI_LANGUAGE "French"
!insertmacro MUI_LANGUAGE "Italian"
!insertmacro MUI_LANGUAGE "Japanese"
!insertmacro MUI_LANGUAGE "Korean"
!insertmacro MUI_LANGUAGE "Dutch"
!include "strings.nsh"

; Asks a running ORNAX.exe to end, as a second start with "/x" does, and waits
; for its window to go and then for its files to be free (the process ends a
; little after its window). The error flag is set when it did not end in time.
!macro EndRunningCopy un
Function ${un}FilesInUse
  StrCpy $3 0
  ${If} ${FileExists} "$INSTDIR\ORNAX.exe"
    ClearErrors
    FileOpen $2 "$INSTDIR\ORNAX.exe" a
    ${If} ${Errors}
      StrCpy $3 1
    ${Else}
      FileClose $2
    ${EndIf}
  ${EndIf}
FunctionEnd

Function ${un}EndRunningCopy
  ClearErrors
  FindWindow $0 "${WINDOW_CLASS}" "${WINDOW_CLASS}"
  ${If} $0 == 0
    Return
  ${EndIf}
  ${If} ${FileExists} "$INSTDIR\ORNAX.exe"
    Exec '"$INSTDIR\ORNAX.exe" /x'
  ${Else}
    InitPluginsDir
    File "/oname=$PLUGINSDIR\ORNAX.exe" "${DIST}\ORNAX.exe"
    File "/oname=$PLUGINSDIR\TessaroHook.dll" "${DIST}\TessaroHook.dll"
    Exec '"$PLUGINSDIR\ORNAX.exe" /x'
  ${EndIf}
  StrCpy $1 0
  ${Do}
    Sleep 100
    IntOp $1 $1 + 1
    FindWindow $0 "${WINDOW_CLASS}" "${WINDOW_CLASS}"
    ${If} $0 == 0
      Call ${un}FilesInUse
      ${IfThen} $3 == 0 ${|} ${Break} ${|}
    ${EndIf}
  ${LoopUntil} $1 >= ${EXIT_WAIT_STEPS}
  ClearErrors
  ${If} $0 != 0
  ${OrIf} $3 != 0
    SetErrors
  ${EndIf}
FunctionEnd
!macroend
!insertmacro EndRunningCopy ""
!insertmacro EndRunningCopy "un."

Function WriteRunValue
  WriteRegStr HKCU "${RUN_KEY}" "${PRODUCT}" '"$INSTDIR\ORNAX.exe"'
FunctionEnd

Section "${PRODUCT}"
  ; Nothing is replaced while the old copy runs.
  Call EndRunningCopy
  ${If} ${Errors}
    SetErrorLevel 3
    MessageBox MB_ICONSTOP "$(StillRunning)" /SD IDOK
    Abort
  ${EndIf}
  SetOutPath "$INSTDIR"
  File "${DIST}\ORNAX.exe"
  File "${DIST}\TessaroHook.dll"
  File "${DIST}\RES_*.DLL"
  WriteUninstaller "$INSTDIR\uninstall.exe"
  CreateShortCut "$SMPROGRAMS\${PRODUCT}.lnk" "$INSTDIR\ORNAX.exe"

  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\ORNAX.exe,0"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  IntFmt $0 "0x%08X" $0
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "EstimatedSize" "$0"
SectionEnd

; A silent set-up takes the finish page's default: start at sign-in, and
; start nothing now.
Function .onInstSuccess
  ${If} ${Silent}
    Call WriteRunValue
  ${EndIf}
FunctionEnd

; An event that the program silenced (".Current" empty, its sound kept in
; "Old") gets that sound back, with its type.
!macro RestoreSound event
  System::Call 'advapi32::RegOpenKeyExW(p 0x80000001, w "${SCHEME_KEY}\${event}\.Current", i 0, i 0xF003F, *p .r1) i .r0'
  ${If} $0 == 0
    System::Call 'advapi32::RegQueryValueExW(p r1, p 0, p 0, *i .r2, p 0, *i 0 r3) i .r0'
    ${If} $0 == 0
    ${AndIf} $3 == 0
      System::Alloc 4096
      Pop $4
      System::Call 'advapi32::RegQueryValueExW(p r1, w "Old", p 0, *i .r2, p r4, *i 4096 r3) i .r0'
      System::Call '*$4(&i2 .r5)'
      ${If} $0 == 0
      ${AndIf} $3 >= 2
      ${AndIf} $5 != 0
        System::Call 'advapi32::RegSetValueExW(p r1, p 0, i 0, i r2, p r4, i r3)'
      ${EndIf}
      System::Free $4
    ${EndIf}
    System::Call 'advapi32::RegCloseKey(p r1)'
  ${EndIf}
!macroend

Section "Uninstall"
  Call un.EndRunningCopy
  ${If} ${Errors}
    SetErrorLevel 3
    MessageBox MB_ICONSTOP "$(StillRunning)" /SD IDOK
    Abort
  ${EndIf}
  !insertmacro RestoreSound "DeviceConnect"
  !insertmacro RestoreSound "DeviceDisconnect"
  ; The program's own settings stay, for a later set-up.
  Delete "$SMPROGRAMS\${PRODUCT}.lnk"
  DeleteRegValue HKCU "${RUN_KEY}" "${PRODUCT}"
  DeleteRegKey HKCU "${UNINSTALL_KEY}"
  ; The folder goes last: once it is gone, everything is done.
  Delete "$INSTDIR\ORNAX.exe"
  Delete "$INSTDIR\TessaroHook.dll"
  Delete "$INSTDIR\RES_*.DLL"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
SectionEnd
