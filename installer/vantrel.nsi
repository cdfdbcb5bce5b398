; The Vantrel installer: the program, its help and the example layouts for the
; machine; the working folder and the shortcuts for the user who installs.
;
; Built by the mingw preset (target `installer`, part of ALL) as
; build/mingw/Vantrel-setup.exe when makensis is found. By hand, with absolute paths:
;   makensis -INPUTCHARSET UTF8 -DVANTREL_SOURCE=<repo> -DVANTREL_BIN=<repo>/build/mingw \
;            -DVANTREL_SETUP=<out>/Vantrel-setup.exe installer/vantrel.nsi
;
; Silent use:
;   Vantrel-setup.exe /S               install, or upgrade keeping the start-at-logon
;                                      choice as it was (off on a first install)
;   Vantrel-setup.exe /S /STARTUP=1    and start Vantrel at logon (/STARTUP=0: do not)
;   Vantrel-setup.exe /S /D=C:\Tools\Vantrel   another program folder (last, no quotes)
;   Uninstall.exe /S                   remove; Documents\Vantrel stays, it is the user's
; A running Vantrel is asked to close first (it saves its settings as it does at logoff).

Unicode true
; Vantrel.exe is a 64-bit program: a 64-bit installer puts it in the 64-bit Program
; Files and its uninstall entry in the 64-bit registry without redirection.
Target amd64-unicode
ManifestDPIAware true
SetCompressor /SOLID lzma
RequestExecutionLevel admin

!include MUI2.nsh
!include FileFunc.nsh
!include LogicLib.nsh
!include Sections.nsh

!ifndef VANTREL_SOURCE | VANTREL_BIN | VANTREL_SETUP
  !error "define VANTREL_SOURCE, VANTREL_BIN and VANTREL_SETUP (see the head of this file)"
!endif

!define UNINST_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Vantrel"
; Where the program keeps Vantrel.sys and its layouts: its working directory.
!define WORK_DIR "$DOCUMENTS\Vantrel"
!define SYNCHRONIZE 0x00100000

Name "Vantrel"
BrandingText "Vantrel"
OutFile "${VANTREL_SETUP}"
InstallDir "$PROGRAMFILES\Vantrel"
InstallDirRegKey HKLM "${UNINST_KEY}" "InstallLocation"

!define MUI_ICON "${VANTREL_SOURCE}\win32\res\active.ico"
!define MUI_UNICON "${VANTREL_SOURCE}\win32\res\idle.ico"
!define MUI_ABORTWARNING
!define MUI_COMPONENTSPAGE_NODESC
!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "Japanese"

; A running Vantrel holds its program file and the device. Asked to close, as at
; logoff, it saves its settings and lets the port go; the installer waits for the
; process itself to end, not only its window.
!macro CLOSE_VANTREL un
Function ${un}CloseVantrel
  FindWindow $0 "VantrelMainWindow"
  ${If} $0 <> 0
    System::Call 'user32::GetWindowThreadProcessId(p r0, *i .r1)'
    System::Call 'kernel32::OpenProcess(i ${SYNCHRONIZE}, i 0, i r1) p .r2'
    SendMessage $0 ${WM_CLOSE} 0 0 /TIMEOUT=5000
    System::Call 'kernel32::WaitForSingleObject(p r2, i 10000) i .r3'
    System::Call 'kernel32::CloseHandle(p r2)'
    ${If} $3 <> 0
      MessageBox MB_ICONSTOP "Vantrel を終了できませんでした。Vantrel を終了してから、もう一度実行してください。" /SD IDOK
      Abort
    ${EndIf}
  ${EndIf}
FunctionEnd
!macroend
!insertmacro CLOSE_VANTREL ""
!insertmacro CLOSE_VANTREL "un."

; Program Files and HKLM do not depend on the shell context: they are the
; machine's. The shortcuts and the working folder are the installing user's
; (context "current"): the program reads and writes its settings and layouts in
; its working directory, which must be that user's own and writable; Start-menu
; shortcuts for all users would start everyone in this user's Documents. Other
; users make a shortcut of their own with a working folder of theirs. An elevation
; by another account's password makes that account the "current" one.
!macro SHELL_CONTEXT
  SetShellVarContext current
!macroend

Section "Vantrel" SecMain
  SectionIn RO
  Call CloseVantrel
  SetOutPath "$INSTDIR"
  File "${VANTREL_BIN}\Vantrel.exe"
  File "${VANTREL_BIN}\Vantrel.chm"
  SetOutPath "$INSTDIR\examples"
  File "${VANTREL_SOURCE}\examples\*.fkl"

  ; A layout the user already has is theirs, changed or not: never overwritten.
  SetOutPath "${WORK_DIR}"
  SetOverwrite off
  File "${VANTREL_SOURCE}\examples\*.fkl"
  SetOverwrite on
  ; A shortcut's working folder is $OUTDIR at the time it is made.
  CreateShortcut "$SMPROGRAMS\Vantrel.lnk" "$INSTDIR\Vantrel.exe"

  SetOutPath "$INSTDIR"
  WriteUninstaller "$INSTDIR\Uninstall.exe"
  WriteRegStr HKLM "${UNINST_KEY}" "DisplayName" "Vantrel"
  WriteRegStr HKLM "${UNINST_KEY}" "DisplayIcon" '"$INSTDIR\Vantrel.exe"'
  WriteRegStr HKLM "${UNINST_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINST_KEY}" "UninstallString" '"$INSTDIR\Uninstall.exe"'
  WriteRegStr HKLM "${UNINST_KEY}" "QuietUninstallString" '"$INSTDIR\Uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINST_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINST_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  WriteRegDWORD HKLM "${UNINST_KEY}" "EstimatedSize" $0
SectionEnd

Section /o "Windows の起動時に開始" SecStartup
  SetOutPath "${WORK_DIR}"
  CreateShortcut "$SMSTARTUP\Vantrel.lnk" "$INSTDIR\Vantrel.exe"
SectionEnd

; Unchecked on an upgrade: the user no longer wants it at logon.
Section "-StartupOff"
  ${IfNot} ${SectionIsSelected} ${SecStartup}
    Delete "$SMSTARTUP\Vantrel.lnk"
  ${EndIf}
SectionEnd

Function .onInit
  !insertmacro SHELL_CONTEXT
  ; An upgrade keeps the earlier choice; the command line decides over it.
  ${If} ${FileExists} "$SMSTARTUP\Vantrel.lnk"
    !insertmacro SelectSection ${SecStartup}
  ${EndIf}
  ${GetParameters} $0
  ClearErrors
  ${GetOptions} $0 "/STARTUP=" $1
  ${IfNot} ${Errors}
    ${If} $1 == "1"
      !insertmacro SelectSection ${SecStartup}
    ${ElseIf} $1 == "0"
      !insertmacro UnselectSection ${SecStartup}
    ${Else}
      MessageBox MB_ICONSTOP "/STARTUP= には 1 か 0 を指定してください。" /SD IDOK
      SetErrorLevel 2
      Quit
    ${EndIf}
  ${EndIf}
FunctionEnd

Section "Uninstall"
  Call un.CloseVantrel
  ; Nothing is left pointing at the files while they go; the folder goes last.
  Delete "$SMSTARTUP\Vantrel.lnk"
  Delete "$SMPROGRAMS\Vantrel.lnk"
  DeleteRegKey HKLM "${UNINST_KEY}"
  ; A notice Vantrel kept for its next start (only ever the current user's).
  DeleteRegKey HKCU "Software\Vantrel"
  Delete "$INSTDIR\Vantrel.exe"
  Delete "$INSTDIR\Vantrel.chm"
  RMDir /r "$INSTDIR\examples"
  Delete "$INSTDIR\Uninstall.exe"
  RMDir "$INSTDIR"
  ; Documents\Vantrel holds the user's settings and layouts: it stays.
SectionEnd

Function un.onInit
  !insertmacro SHELL_CONTEXT
FunctionEnd
