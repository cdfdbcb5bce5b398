; The Vantrel installer, per machine: the program, its help and the example layouts in
; one program folder; the Start-menu shortcut, and on request the one at logon, in the
; folders of all users; the uninstall entry in the machine's registry. Every user who
; signs in has a working Vantrel, also when an administrator or a deployment tool
; running as SYSTEM installed it. The shortcuts start Vantrel in its program folder,
; which tells it to work in the user's own Documents\Vantrel: it makes that folder at
; its first start and copies the examples into it. The installer writes nothing of a
; user's; it only removes the installing user's shortcuts of the per-user installer
; of before, keeping their start-at-logon choice.
;
; Built by the mingw preset (target `installer`, part of ALL) as
; build/mingw/Vantrel-setup.exe when makensis is found. By hand, with absolute paths,
; after a configure of the mingw preset (it writes the list of examples):
;   makensis -INPUTCHARSET UTF8 -DVANTREL_SOURCE=<repo> -DVANTREL_BIN=<repo>/build/mingw \
;            -DVANTREL_EXAMPLES=<repo>/build/mingw/installer-examples.nsh \
;            -DVANTREL_SETUP=<out>/Vantrel-setup.exe installer/vantrel.nsi
;
; Silent use (exit code 0 when done, 2 when the install failed):
;   Vantrel-setup.exe /S               install, or upgrade keeping the start-at-logon
;                                      choice as it was (off on a first install)
;   Vantrel-setup.exe /S /STARTUP=1    and start Vantrel at logon for every user
;                                      (/STARTUP=0: for no one)
;   Vantrel-setup.exe /S /D=C:\Tools\Vantrel   another program folder (last, no quotes)
;   Uninstall.exe /S                   remove; each user's Documents\Vantrel stays
; A Vantrel running in the installer's session is asked to close first (it saves its
; settings as it does at logoff). Copies running in other sessions, which no window
; message reaches, go on until they end: their program file is renamed beside it and
; deleted at the next restart.

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

!ifndef VANTREL_SOURCE | VANTREL_BIN | VANTREL_EXAMPLES | VANTREL_SETUP
  !error "define VANTREL_SOURCE, VANTREL_BIN, VANTREL_EXAMPLES and VANTREL_SETUP (see the head of this file)"
!endif
; !macro VANTREL_EXAMPLES DO: ${DO} "NAME" for each example layout.
!include "${VANTREL_EXAMPLES}"

!define UNINST_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Vantrel"
!define SYNCHRONIZE 0x00100000

Name "Vantrel"
BrandingText "Vantrel"
OutFile "${VANTREL_SETUP}"
InstallDir "$PROGRAMFILES64\Vantrel"
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
; process itself to end, not only its window. FindWindow sees this session only.
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

; Deletes the file $R0. A program that runs in another session cannot be deleted but
; can be renamed: it goes aside as $R0.old1 (or the first free number) and is deleted
; at the next restart; nothing waits for that. The error flag is set when the file is
; still there under its name.
!macro REMOVE_FILE un
Function ${un}RemoveFile
  ClearErrors
  Delete $R0
  ${IfNot} ${Errors}
    Return
  ${EndIf}
  StrCpy $R1 0
  ${Do}
    IntOp $R1 $R1 + 1
    Delete "$R0.old$R1"
  ${LoopWhile} ${FileExists} "$R0.old$R1"
  ClearErrors
  Rename $R0 "$R0.old$R1"
  ${IfNot} ${Errors}
    Delete /REBOOTOK "$R0.old$R1"
    SetRebootFlag false
    ClearErrors
  ${EndIf}
FunctionEnd
!macroend
!insertmacro REMOVE_FILE ""
!insertmacro REMOVE_FILE "un."

; Stops with a message when the file $R0 stays.
!macro REMOVE_FILE_OR_STOP PATH
  StrCpy $R0 "${PATH}"
  Call RemoveFile
  ${If} ${Errors}
    MessageBox MB_ICONSTOP "${PATH} を置き換えられませんでした。使用しているプログラムを終了してから、もう一度実行してください。" /SD IDOK
    Abort
  ${EndIf}
!macroend
!macro DELETE_EXAMPLE NAME
  Delete "$INSTDIR\examples\${NAME}"
!macroend
!macro FILE_EXAMPLE NAME
  File "${VANTREL_SOURCE}\examples\${NAME}"
!macroend

Section "Vantrel" SecMain
  SectionIn RO
  Call CloseVantrel
  ; An earlier install's files go before the new ones come: a file written anew has the
  ; folder's rights, not those someone gave it.
  Delete "$INSTDIR\Vantrel.exe.old*"
  Delete "$INSTDIR\Vantrel.chm.old*"
  Delete "$INSTDIR\Uninstall.exe.old*"
  !insertmacro REMOVE_FILE_OR_STOP "$INSTDIR\Vantrel.exe"
  !insertmacro REMOVE_FILE_OR_STOP "$INSTDIR\Vantrel.chm"
  !insertmacro REMOVE_FILE_OR_STOP "$INSTDIR\Uninstall.exe"
  !insertmacro VANTREL_EXAMPLES DELETE_EXAMPLE

  SetOutPath "$INSTDIR"
  File "${VANTREL_BIN}\Vantrel.exe"
  File "${VANTREL_BIN}\Vantrel.chm"
  SetOutPath "$INSTDIR\examples"
  !insertmacro VANTREL_EXAMPLES FILE_EXAMPLE

  ; The installing user's own shortcuts from the per-user installer of before.
  SetShellVarContext current
  Delete "$SMPROGRAMS\Vantrel.lnk"
  Delete "$SMSTARTUP\Vantrel.lnk"
  SetShellVarContext all
  ; A shortcut's working folder is $OUTDIR when it is made: the program folder.
  SetOutPath "$INSTDIR"
  CreateShortcut "$SMPROGRAMS\Vantrel.lnk" "$INSTDIR\Vantrel.exe"

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
  SetOutPath "$INSTDIR"
  CreateShortcut "$SMSTARTUP\Vantrel.lnk" "$INSTDIR\Vantrel.exe"
SectionEnd

; Unchecked on an upgrade: no one wants it at logon any more.
Section "-StartupOff"
  ${IfNot} ${SectionIsSelected} ${SecStartup}
    Delete "$SMSTARTUP\Vantrel.lnk"
  ${EndIf}
SectionEnd

Function .onInit
  ; An upgrade keeps the earlier choice, also one made with the per-user installer of
  ; before (in the installing user's Startup folder); the command line decides over it.
  SetShellVarContext current
  ${If} ${FileExists} "$SMSTARTUP\Vantrel.lnk"
    !insertmacro SelectSection ${SecStartup}
  ${EndIf}
  SetShellVarContext all
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

; Renamed program files of earlier upgrades go too, where no copy runs them any more.
!macro UN_REMOVE_FILE PATH
  StrCpy $R0 "${PATH}"
  Call un.RemoveFile
  ${If} ${Errors}
    Delete /REBOOTOK $R0
  ${EndIf}
  Delete "$R0.old*"
!macroend

Section "Uninstall"
  Call un.CloseVantrel
  ; Nothing is left pointing at the files while they go; the folder goes last.
  Delete "$SMSTARTUP\Vantrel.lnk"
  Delete "$SMPROGRAMS\Vantrel.lnk"
  SetShellVarContext current
  Delete "$SMSTARTUP\Vantrel.lnk"
  Delete "$SMPROGRAMS\Vantrel.lnk"
  SetShellVarContext all
  DeleteRegKey HKLM "${UNINST_KEY}"
  ; A notice Vantrel kept for its next start (only ever the current user's).
  DeleteRegKey HKCU "Software\Vantrel"
  ; Only what the installer put there: a folder that holds more stays with it.
  !insertmacro UN_REMOVE_FILE "$INSTDIR\Vantrel.exe"
  Delete "$INSTDIR\Vantrel.chm"
  !insertmacro VANTREL_EXAMPLES DELETE_EXAMPLE
  RMDir "$INSTDIR\examples"
  !insertmacro UN_REMOVE_FILE "$INSTDIR\Uninstall.exe"
  RMDir "$INSTDIR"
  ; Renamed program files go at the next restart, the folder after them.
  ${If} ${FileExists} "$INSTDIR\*.old*"
    RMDir /REBOOTOK "$INSTDIR"
  ${EndIf}
  ; Each user's Documents\Vantrel holds their settings and layouts: it stays.
SectionEnd

Function un.onInit
  SetShellVarContext all
FunctionEnd
