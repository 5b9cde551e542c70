; lagvanesetup.exe: installs LAGVANE.exe and NetworkControl.dll, writes the installed version and
; the first-run marker, and registers an uninstaller. Built by CMake, which passes:
;   VERSION   the dotted four-part version (the project version)
;   ARCH      x86 (the shipped installer of the i686 program) or amd64 (of the x86_64 twin)
;   PROGRAM   folder holding the built LAGVANE.exe and NetworkControl.dll
;   ICON      the program's icon
;   OUTFILE   the installer to write

Unicode true
!if "${ARCH}" == "amd64"
  Target amd64-unicode
!else
  Target x86-unicode
!endif
; Two builds of the same files give the same bytes: no file times in the archive.
SetDateSave off
SetCompressor /SOLID lzma
ManifestDPIAware true
RequestExecutionLevel admin

!include "MUI2.nsh"
!include "LogicLib.nsh"
!include "WinMessages.nsh"
!include "FileFunc.nsh"
!include "WordFunc.nsh"
!include "x64.nsh"

!define PRODUCT "LAGVANE"
!define PUBLISHER "LAGVANE"
!define PRODUCT_KEY "SOFTWARE\LAGVANE"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\LAGVANE"
!define RUN_KEY "Software\Microsoft\Windows\CurrentVersion\Run"
; Active Setup runs the StubPath of this entry once for each user at their next log-on, and again
; whenever Version grows: it is how every user of the machine gets the per-user values.
!define ACTIVE_SETUP_KEY "Software\Microsoft\Active Setup\Installed Components\LAGVANE"
; Active Setup records under the same path in HKCU which version it has run for that user. The
; entry lives in the machine's own view, also for the 32-bit installer on 64-bit Windows: there the
; system's own Active Setup runs it and keeps its record in HKCU's Software itself, which both
; kinds of program share, so no Wow6432Node key under HKCU is ever needed.
; The per-user values as a registry file that reg.exe imports for each user.
!define USER_VALUES_FILE "LAGVANE-user.reg"
; Active Setup versions are written with commas.
!searchreplace ACTIVE_SETUP_VERSION "${VERSION}" "." ","
; The main window of a running LAGVANE: its class and caption.
!define MAIN_CLASS "TfrmMain"
!define MAIN_CAPTION "LAGVANE"
; How long a running LAGVANE may take to run its close query and end, and how long the installed
; files may stay locked after it has ended.
!define CLOSE_WAIT_MS 30000
!define UNLOCK_WAIT_MS 15000

Name "${PRODUCT}"
OutFile "${OUTFILE}"
!if "${ARCH}" == "amd64"
  ; A 64-bit program belongs in the 64-bit Program Files folder.
  InstallDir "$PROGRAMFILES64\${PRODUCT}"
!else
  InstallDir "$PROGRAMFILES\${PRODUCT}"
!endif
; An update goes where the first installation went.
InstallDirRegKey HKLM "${UNINSTALL_KEY}" "InstallLocation"
ShowInstDetails show
ShowUninstDetails show

VIProductVersion "${VERSION}"
VIFileVersion "${VERSION}"
VIAddVersionKey /LANG=1042 "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=1042 "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=1042 "FileDescription" "${PRODUCT} 설치 프로그램"
VIAddVersionKey /LANG=1042 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1042 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=1042 "OriginalFilename" "lagvanesetup.exe"
VIAddVersionKey /LANG=1042 "LegalCopyright" "${PUBLISHER}"

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_FINISHPAGE_RUN "$INSTDIR\LAGVANE.exe"

!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "Korean"

LangString CloseFailed 1042 "실행 중인 LAGVANE이 종료되지 않았습니다.$\r$\nLAGVANE을 종료한 뒤 다시 시도하십시오."
LangString FilesLocked 1042 "LAGVANE 파일을 바꿀 수 없습니다. 파일을 사용 중인 프로그램을 종료하십시오."
LangString NewerInstalled 1042 "더 새로운 버전의 LAGVANE이 이미 설치되어 있습니다.$\r$\n$\r$\n설치된 버전: $0$\r$\n이 설치 프로그램의 버전: ${VERSION}"

; Ends a running LAGVANE the way a user's quit does: a close request to its main window runs the
; close query, which removes the active mode's tweaks; then waits for the process to end. It is
; never killed, since that would leave the tweaks in the registry. $R0 is 1 when no LAGVANE runs
; any more, 0 when one still runs after the wait.
!macro CLOSE_RUNNING_LAGVANE UN
Function ${UN}CloseRunningLagvane
  StrCpy $R0 1
  ${Do}
    FindWindow $R1 "${MAIN_CLASS}" "${MAIN_CAPTION}"
    ${If} $R1 == 0
      ${Break}
    ${EndIf}
    DetailPrint "실행 중인 LAGVANE을 종료합니다..."
    System::Call 'user32::GetWindowThreadProcessId(p R1, *i .R2)'
    ; SYNCHRONIZE: enough to wait for the end, not to cause it.
    System::Call 'kernel32::OpenProcess(i 0x00100000, i 0, i R2) p .R2'
    System::Call 'user32::PostMessageW(p R1, i ${WM_CLOSE}, p 0, p 0)'
    ${If} $R2 != 0
      System::Call 'kernel32::WaitForSingleObject(p R2, i ${CLOSE_WAIT_MS}) i .R3'
      System::Call 'kernel32::CloseHandle(p R2)'
    ${Else}
      ; No handle to wait on: watch the window instead.
      StrCpy $R2 0
      ${Do}
        Sleep 200
        IntOp $R2 $R2 + 200
        System::Call 'user32::IsWindow(p R1) i .R3'
        ${If} $R2 >= ${CLOSE_WAIT_MS}
          ${Break}
        ${EndIf}
      ${LoopUntil} $R3 == 0
    ${EndIf}
    ${If} $R3 != 0
      StrCpy $R0 0
      ${Break}
    ${EndIf}
  ${Loop}
FunctionEnd

; Waits until the file named by $R0 can be written, or is absent: a program that has just ended
; (the one that started this installer, for one) may hold its image a moment longer. $R0 is then
; 1 when it can, 0 when it is still held.
Function ${UN}WaitUntilWritable
  StrCpy $R2 0
  ${Do}
    ${IfNot} ${FileExists} $R0
      StrCpy $R0 1
      ${Break}
    ${EndIf}
    ClearErrors
    FileOpen $R1 $R0 a
    ${IfNot} ${Errors}
      FileClose $R1
      StrCpy $R0 1
      ${Break}
    ${EndIf}
    Sleep 200
    IntOp $R2 $R2 + 200
    ${If} $R2 >= ${UNLOCK_WAIT_MS}
      StrCpy $R0 0
      ${Break}
    ${EndIf}
  ${Loop}
FunctionEnd
!macroend
!insertmacro CLOSE_RUNNING_LAGVANE ""
!insertmacro CLOSE_RUNNING_LAGVANE "un."

; Ends a running LAGVANE, letting the user retry when it does not end; a silent run gives up.
!macro END_LAGVANE_OR_ABORT UN
  ${Do}
    Call ${UN}CloseRunningLagvane
    ${If} $R0 == 1
      ${Break}
    ${EndIf}
    MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION "$(CloseFailed)" /SD IDCANCEL IDRETRY +2
    Abort "$(CloseFailed)"
  ${Loop}
!macroend

!macro WAIT_UNTIL_WRITABLE_OR_ABORT UN FILE
  StrCpy $R0 "${FILE}"
  Call ${UN}WaitUntilWritable
  ${If} $R0 != 1
    MessageBox MB_OK|MB_ICONSTOP "$(FilesLocked)" /SD IDOK
    Abort "$(FilesLocked)"
  ${EndIf}
!macroend

; Records in the current user's profile that Active Setup need not run this version's entry for
; them: the installer has just written their values itself, and a second run would mark the next
; start as a first run again.
!macro MARK_USER_DONE
  WriteRegStr HKCU "${ACTIVE_SETUP_KEY}" "Version" "${ACTIVE_SETUP_VERSION}"
!macroend

; The Active Setup entry is written and removed in the machine's own registry view: the 64-bit one
; on 64-bit Windows, where the 32-bit installer otherwise sees the 32-bit view.
!macro ACTIVE_SETUP_VIEW
  !if "${ARCH}" != "amd64"
    ${If} ${RunningX64}
      SetRegView 64
    ${EndIf}
  !endif
!macroend
!macro INSTALLER_VIEW
  !if "${ARCH}" != "amd64"
    SetRegView default
  !endif
!macroend

Function .onInit
  !if "${ARCH}" == "amd64"
    SetRegView 64
  !endif
  ; A newer installed version is never replaced by this one: nothing is changed, a silent run ends
  ; with a failure code. The same version (a repair) and an older one are replaced.
  ReadRegStr $0 HKLM "${UNINSTALL_KEY}" "DisplayVersion"
  ${If} $0 != ""
    ${VersionCompare} "$0" "${VERSION}" $1
    ${If} $1 == 1
      MessageBox MB_OK|MB_ICONSTOP "$(NewerInstalled)" /SD IDOK
      SetErrorLevel 2
      Quit
    ${EndIf}
  ${EndIf}
FunctionEnd

Section "LAGVANE" SecMain
  SectionIn RO
  !insertmacro END_LAGVANE_OR_ABORT ""
  !insertmacro WAIT_UNTIL_WRITABLE_OR_ABORT "" "$INSTDIR\LAGVANE.exe"
  !insertmacro WAIT_UNTIL_WRITABLE_OR_ABORT "" "$INSTDIR\NetworkControl.dll"

  SetOutPath "$INSTDIR"
  SetOverwrite on
  File "${PROGRAM}/LAGVANE.exe"
  File "${PROGRAM}/NetworkControl.dll"
  WriteUninstaller "$INSTDIR\uninstall.exe"

  ; What each user's profile gets: the same two values this installer writes below. The file is
  ; plain ASCII, which reg.exe reads from Windows XP on.
  FileOpen $0 "$INSTDIR\${USER_VALUES_FILE}" w
  FileWrite $0 'REGEDIT4$\r$\n$\r$\n[HKEY_CURRENT_USER\${PRODUCT_KEY}]$\r$\n'
  FileWrite $0 '"LAGVANE.exe"="${VERSION}"$\r$\n"NeedOptimization"=""$\r$\n'
  FileClose $0

  ; Shortcuts for every user, as the program's folder is the machine's.
  SetShellVarContext all
  CreateShortcut "$SMPROGRAMS\LAGVANE.lnk" "$INSTDIR\LAGVANE.exe" "" "$INSTDIR\LAGVANE.exe" 0
  SetShellVarContext current

  ; The installed version, which the self-update compares with the server's, and the marker that
  ; makes the next start a first run. The autostart value is the user's and stays as it is.
  WriteRegStr HKCU "${PRODUCT_KEY}" "LAGVANE.exe" "${VERSION}"
  WriteRegStr HKCU "${PRODUCT_KEY}" "NeedOptimization" ""
  !insertmacro MARK_USER_DONE

  ; Every other user gets them at their next log-on, from a system tool that runs as the user
  ; without asking for rights, so that nothing of the program runs at log-on.
  !insertmacro ACTIVE_SETUP_VIEW
  WriteRegStr HKLM "${ACTIVE_SETUP_KEY}" "" "${PRODUCT}"
  WriteRegStr HKLM "${ACTIVE_SETUP_KEY}" "ComponentID" "${PRODUCT}"
  WriteRegStr HKLM "${ACTIVE_SETUP_KEY}" "Version" "${ACTIVE_SETUP_VERSION}"
  WriteRegStr HKLM "${ACTIVE_SETUP_KEY}" "StubPath" '"$SYSDIR\reg.exe" import "$INSTDIR\${USER_VALUES_FILE}"'
  WriteRegDWORD HKLM "${ACTIVE_SETUP_KEY}" "IsInstalled" 1
  !insertmacro INSTALLER_VIEW

  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\LAGVANE.exe,0"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
  ; In KiB, as Programs and Features shows it.
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" $0
SectionEnd

Function un.onInit
  !if "${ARCH}" == "amd64"
    SetRegView 64
  !endif
FunctionEnd

Section "Uninstall"
  !insertmacro END_LAGVANE_OR_ABORT "un."

  ; The program's own removal: the system components its first run installed.
  ${If} ${FileExists} "$INSTDIR\LAGVANE.exe"
    DetailPrint "LAGVANE 구성 요소를 제거합니다..."
    ExecWait '"$INSTDIR\LAGVANE.exe" --UNINSTALL'
  ${EndIf}

  ; Autostart goes only when it starts this installation's program.
  ClearErrors
  ReadRegStr $0 HKCU "${RUN_KEY}" "LAGVANE"
  ${IfNot} ${Errors}
    ${If} $0 == "$INSTDIR\LAGVANE.exe"
    ${OrIf} $0 == '"$INSTDIR\LAGVANE.exe"'
      DeleteRegValue HKCU "${RUN_KEY}" "LAGVANE"
    ${EndIf}
  ${EndIf}

  ; The program may take a moment to let go of its image after --UNINSTALL.
  StrCpy $R0 "$INSTDIR\LAGVANE.exe"
  Call un.WaitUntilWritable
  Delete "$INSTDIR\LAGVANE.exe"
  Delete "$INSTDIR\NetworkControl.dll"
  Delete "$INSTDIR\${USER_VALUES_FILE}"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"

  SetShellVarContext all
  Delete "$SMPROGRAMS\LAGVANE.lnk"
  SetShellVarContext current

  ; No user is given the values any more; the other users' values stay in their profiles, which an
  ; uninstaller running as one user cannot reach.
  !insertmacro ACTIVE_SETUP_VIEW
  DeleteRegKey HKLM "${ACTIVE_SETUP_KEY}"
  !insertmacro INSTALLER_VIEW
  DeleteRegKey HKCU "${ACTIVE_SETUP_KEY}"
  DeleteRegKey HKCU "${PRODUCT_KEY}"
  ; Last, so that the entry stays listed while anything of ours is left.
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
