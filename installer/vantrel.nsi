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
; Silent use (exit code 0 when done; 2 when the program folder is refused, nothing
; written then, or when the install failed):
;   Vantrel-setup.exe /S               install, or upgrade keeping the start-at-logon
;                                      choice as it was (off on a first install)
;   Vantrel-setup.exe /S /STARTUP=1    and start Vantrel at logon for every user
;                                      (/STARTUP=0: for no one)
;   Vantrel-setup.exe /S /D=C:\Tools\Vantrel   another program folder (last, no quotes)
;   Uninstall.exe /S                   remove; each user's Documents\Vantrel stays
; A program folder under the 64-bit Program Files is used as it is. Any other must be
; new, empty, or an earlier install's holding only Vantrel's files, and inside folders
; only administrators can move: it is given the rights Program Files has, so that no
; user can replace the program another user runs.
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
; The rights of Program Files, inherited by all in the folder: owner Administrators;
; the system and administrators may do everything, users read and run.
!define PROGRAM_RIGHTS "O:BAD:PAI(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x1200a9;;;BU)"
!define SE_FILE_OBJECT 1
; OWNER_, DACL_ and PROTECTED_DACL_SECURITY_INFORMATION: the DACL inherits nothing.
!define OWNER_AND_DACL 5
!define OWNER_AND_PROTECTED_DACL 0x80000005
!define FILE_ATTRIBUTE_REPARSE_POINT 0x400
!define ACCESS_DENIED_ACE_TYPE 1
!define INHERIT_ONLY_ACE 8
; Rights on a folder that let one move it, delete what is in it, or give such rights:
; DELETE, WRITE_DAC, WRITE_OWNER, FILE_DELETE_CHILD, GENERIC_ALL.
!define MOVING_RIGHTS 0x100D0040
!define TRUSTED_INSTALLER "S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464"

Name "Vantrel"
BrandingText "Vantrel"
OutFile "${VANTREL_SETUP}"
InstallDir "$PROGRAMFILES64\Vantrel"
InstallDirRegKey HKLM "${UNINST_KEY}" "InstallLocation"

; 1 when $INSTDIR is outside the 64-bit Program Files: its rights are the installer's to give.
Var Outside

!define MUI_ICON "${VANTREL_SOURCE}\win32\res\active.ico"
!define MUI_UNICON "${VANTREL_SOURCE}\win32\res\idle.ico"
!define MUI_ABORTWARNING
!define MUI_COMPONENTSPAGE_NODESC
!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_COMPONENTS
!define MUI_PAGE_CUSTOMFUNCTION_LEAVE DirectoryLeave
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

; $R0 in its full form, with long names where the path exists.
Function Canonical
  System::Call 'kernel32::GetFullPathNameW(w R0, i ${NSIS_MAX_STRLEN}, w .r0, p 0) i .r1'
  ${If} $1 > 0
  ${AndIf} $1 < ${NSIS_MAX_STRLEN}
    StrCpy $R0 $0
  ${EndIf}
  System::Call 'kernel32::GetLongPathNameW(w R0, w .r0, i ${NSIS_MAX_STRLEN}) i .r1'
  ${If} $1 > 0
  ${AndIf} $1 < ${NSIS_MAX_STRLEN}
    StrCpy $R0 $0
  ${EndIf}
FunctionEnd

; $R6 1 when the SID at $R5 is the system, the administrators or the Windows installer
; service, or stands for a folder's owner or creator (which must be one of those): 0
; when anyone else.
Function TrustedSid
  StrCpy $R6 0
  System::Call 'advapi32::ConvertSidToStringSidW(p R5, *p .r9) i .r8'
  ${If} $8 = 0
    Return
  ${EndIf}
  System::Call 'kernel32::lstrcpynW(w .r8, p r9, i ${NSIS_MAX_STRLEN})'
  System::Call 'kernel32::LocalFree(p r9)'
  ${Select} $8
  ${Case5} "S-1-5-18" "S-1-5-32-544" "${TRUSTED_INSTALLER}" "S-1-3-0" "S-1-3-4"
    StrCpy $R6 1
  ${EndSelect}
FunctionEnd

; $R1 "" when only administrators can move the existing folder $R0, delete what is in it
; or change its rights; "link" when it is a link; "open" otherwise. A folder that
; someone else can move can be swapped for one of theirs, with their program inside.
Function CheckAbove
  StrCpy $R1 "link"
  System::Call 'kernel32::GetFileAttributesW(w R0) i .r0'
  ${If} $0 = -1
    StrCpy $R1 "open"
    Return
  ${ElseIf} $0 & ${FILE_ATTRIBUTE_REPARSE_POINT}
    Return
  ${EndIf}
  StrCpy $R1 "open"
  System::Call 'advapi32::GetNamedSecurityInfoW(w R0, i ${SE_FILE_OBJECT}, i ${OWNER_AND_DACL}, *p .r1, p 0, *p .r2, p 0, *p .r3) i .r0'
  ${If} $0 <> 0
    Return
  ${EndIf}
  StrCpy $R5 $1
  Call TrustedSid
  ; No DACL at all lets everyone do everything.
  ${If} $R6 = 1
  ${AndIf} $2 P<> 0
    System::Call '*$2(&i1, &i1, &i2, &i2 .r4, &i2)'
    StrCpy $5 0
    ${Do}
      ${If} $5 >= $4
        StrCpy $R1 ""
        ${Break}
      ${EndIf}
      System::Call 'advapi32::GetAce(p r2, i r5, *p .r6) i .r0'
      ${If} $0 = 0
        ${Break}
      ${EndIf}
      IntOp $5 $5 + 1
      System::Call '*$6(&i1 .r7, &i1 .r8, &i2, i .r0)'
      ${If} $7 = ${ACCESS_DENIED_ACE_TYPE}
      ${OrIf} $8 & ${INHERIT_ONLY_ACE}
        ${Continue}
      ${EndIf}
      ; An entry not of the plain kind (conditional, object) is not read: not trusted.
      ${If} $7 <> 0
        ${Break}
      ${EndIf}
      ${If} $0 & ${MOVING_RIGHTS}
        ; The SID follows the entry's header and mask.
        System::Int64Op $6 + 8
        Pop $R5
        Call TrustedSid
        ${If} $R6 = 0
          ${Break}
        ${EndIf}
      ${EndIf}
    ${Loop}
  ${EndIf}
  System::Call 'kernel32::LocalFree(p r3)'
FunctionEnd

!macro OUR_FILE NAME
  StrLen $3 "${NAME}.old"
  StrCpy $3 $1 $3
  ${If} $1 == "${NAME}"
  ${OrIf} $3 == "${NAME}.old"
    StrCpy $2 1
  ${EndIf}
!macroend
!macro OUR_NAME NAME
  ${If} $1 == "${NAME}"
    StrCpy $2 1
  ${EndIf}
!macroend

; $R2 the first entry of the folder $R0 that is not Vantrel's ("" when none): with $R3
; 0 every entry, 1 any but the program folder's own, 2 any but the example layouts.
Function OnlyOurs
  StrCpy $R2 ""
  FindFirst $0 $1 "$R0\*"
  ${DoUntil} $1 == ""
    ${If} $1 != "."
    ${AndIf} $1 != ".."
      StrCpy $2 0
      ${If} $R3 = 1
        !insertmacro OUR_FILE "Vantrel.exe"
        !insertmacro OUR_FILE "Vantrel.chm"
        !insertmacro OUR_FILE "Uninstall.exe"
        !insertmacro OUR_NAME "examples"
      ${ElseIf} $R3 = 2
        !insertmacro VANTREL_EXAMPLES OUR_NAME
      ${EndIf}
      ${If} $2 = 0
        StrCpy $R2 $1
        ${Break}
      ${EndIf}
    ${EndIf}
    FindNext $0 $1
  ${Loop}
  FindClose $0
FunctionEnd

; $R9 why $INSTDIR cannot take the program, "" when it can. $INSTDIR gets its full form
; and $Outside is set.
Function CheckInstDir
  StrCpy $R9 ""
  StrCpy $R0 $INSTDIR
  Call Canonical
  StrCpy $INSTDIR $R0
  StrLen $0 "$PROGRAMFILES64\"
  StrCpy $1 $INSTDIR $0
  ${If} $1 == "$PROGRAMFILES64\"
    StrCpy $Outside 0
    Return
  ${EndIf}
  StrCpy $Outside 1
  ; The folders above, up to the drive's root (which no user can rename).
  ${GetParent} $INSTDIR $R0
  ${Do}
    ${GetParent} $R0 $R4
    ${If} $R4 == ""
      ${Break}
    ${EndIf}
    ${If} ${FileExists} "$R0\*"
      Call CheckAbove
      ${If} $R1 == "link"
        StrCpy $R9 "$R0 は別の場所へのリンクです。リンクの中には Vantrel をインストールできません。"
        Return
      ${ElseIf} $R1 != ""
        StrCpy $R9 "$R0 は管理者以外のユーザーも移動や変更ができるフォルダーです。その中には Vantrel をインストールできません。Program Files の下か、管理者だけが変更できるフォルダーの中を指定してください。"
        Return
      ${EndIf}
    ${EndIf}
    StrCpy $R0 $R4
  ${Loop}
  Call CheckContents
FunctionEnd

; $R9 why $INSTDIR, if it exists, cannot take the program: it must be empty, or where
; Vantrel was installed, holding only its files.
Function CheckContents
  StrCpy $R9 ""
  ${IfNot} ${FileExists} "$INSTDIR\*"
    Return
  ${EndIf}
  ReadRegStr $R0 HKLM "${UNINST_KEY}" "InstallLocation"
  Call Canonical
  StrCpy $R3 0
  ${If} $R0 == $INSTDIR
    StrCpy $R3 1
  ${EndIf}
  ${ForEach} $R4 0 1 + 1
    StrCpy $R0 $INSTDIR
    ${If} $R4 = 1
      StrCpy $R0 "$INSTDIR\examples"
      StrCpy $R3 2
    ${EndIf}
    ${If} ${FileExists} "$R0\*"
      System::Call 'kernel32::GetFileAttributesW(w R0) i .r0'
      ${If} $0 & ${FILE_ATTRIBUTE_REPARSE_POINT}
        StrCpy $R9 "$R0 は別の場所へのリンクです。リンクの中には Vantrel をインストールできません。"
        Return
      ${EndIf}
      Call OnlyOurs
      ${If} $R2 != ""
        StrCpy $R9 "$R0 には Vantrel のものではない「$R2」があります。Program Files の下のフォルダーか、新しいフォルダーか空のフォルダーを指定してください。"
        Return
      ${EndIf}
    ${EndIf}
  ${Next}
FunctionEnd

Function DirectoryLeave
  Call CheckInstDir
  ${If} $R9 != ""
    MessageBox MB_ICONSTOP $R9
    Abort
  ${EndIf}
FunctionEnd

!macro STOP_IF_REFUSED
  ${If} $R9 != ""
    MessageBox MB_ICONSTOP $R9 /SD IDOK
    Abort
  ${EndIf}
!macroend

; Outside Program Files: the folders missing up to $INSTDIR are made with the rights of
; Program Files, and $INSTDIR and its examples get them in place of any they had, before
; a file goes in. $R0 the folder that failed.
Function ProtectInstDir
  System::Call 'advapi32::ConvertStringSecurityDescriptorToSecurityDescriptorW(w "${PROGRAM_RIGHTS}", i 1, *p .r5, p 0) i .r0'
  ${If} $0 = 0
    StrCpy $R0 $INSTDIR
    Goto failed
  ${EndIf}
  ; SECURITY_ATTRIBUTES { DWORD nLength; (padding) LPVOID lpSecurityDescriptor; BOOL bInheritHandle; (padding) }
  System::Call '*(i 24, i 0, p r5, i 0, i 0) p .r6'
  StrCpy $R0 $INSTDIR
  StrCpy $2 0
  ${DoUntil} ${FileExists} "$R0\*"
    Push $R0
    IntOp $2 $2 + 1
    ${GetParent} $R0 $R0
  ${LoopUntil} $R0 == ""
  ; Made with their rights, no moment without them.
  ${DoWhile} $2 > 0
    Pop $R0
    IntOp $2 $2 - 1
    System::Call 'kernel32::CreateDirectoryW(w R0, p r6) i .r0'
    ${If} $0 = 0
      System::Free $6
      Goto failed
    ${EndIf}
  ${Loop}
  System::Free $6
  System::Call 'advapi32::GetSecurityDescriptorOwner(p r5, *p .r7, *i .r0) i .r1'
  System::Call 'advapi32::GetSecurityDescriptorDacl(p r5, *i .r0, *p .r8, *i .r0) i .r1'
  ${ForEach} $3 0 1 + 1
    StrCpy $R0 $INSTDIR
    ${If} $3 = 1
      StrCpy $R0 "$INSTDIR\examples"
    ${EndIf}
    ${If} ${FileExists} "$R0\*"
      System::Call 'advapi32::SetNamedSecurityInfoW(w R0, i ${SE_FILE_OBJECT}, i ${OWNER_AND_PROTECTED_DACL}, p r7, p 0, p r8, p 0) i .r0'
      ${If} $0 <> 0
        Goto failed
      ${EndIf}
    ${EndIf}
  ${Next}
  System::Call 'kernel32::LocalFree(p r5)'
  Return
failed:
  MessageBox MB_ICONSTOP "$R0 のアクセス権を設定できませんでした。" /SD IDOK
  Abort
FunctionEnd

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
  Call CheckInstDir
  !insertmacro STOP_IF_REFUSED
  Call CloseVantrel
  ${If} $Outside = 1
    Call ProtectInstDir
    ; What came in before the rights changed. (The folders above were made with the
    ; rights or found to have such.)
    Call CheckContents
    !insertmacro STOP_IF_REFUSED
  ${EndIf}
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

; A file in use goes at the next restart; those renamed by earlier upgrades go too,
; where no copy runs them any more.
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
  ; Any the uninstalling user still has from the per-user installer of before.
  SetShellVarContext current
  Delete "$SMSTARTUP\Vantrel.lnk"
  Delete "$SMPROGRAMS\Vantrel.lnk"
  SetShellVarContext all
  DeleteRegKey HKLM "${UNINST_KEY}"
  ; A notice Vantrel kept for its next start (only ever the current user's).
  DeleteRegKey HKCU "Software\Vantrel"
  ; Only what the installer put there: a folder that holds more stays with it.
  !insertmacro UN_REMOVE_FILE "$INSTDIR\Vantrel.exe"
  !insertmacro UN_REMOVE_FILE "$INSTDIR\Vantrel.chm"
  !insertmacro VANTREL_EXAMPLES DELETE_EXAMPLE
  RMDir "$INSTDIR\examples"
  !insertmacro UN_REMOVE_FILE "$INSTDIR\Uninstall.exe"
  RMDir "$INSTDIR"
  ; Files still in use go at the next restart, and the folder after them if empty then.
  ${If} ${FileExists} "$INSTDIR\*"
    RMDir /REBOOTOK "$INSTDIR"
  ${EndIf}
  ; Each user's Documents\Vantrel holds their settings and layouts: it stays.
SectionEnd

Function un.onInit
  SetShellVarContext all
FunctionEnd
