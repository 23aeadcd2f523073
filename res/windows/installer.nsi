; The Windows installer of KOR VM31 Gaming Mouse Setting (NSIS 3, a 64-bit installer like the
; program). Built by res/windows/make_installer.cmake, which stages the Windows build's `install`
; tree and defines:
;   VERSION       the project version (major.minor.patch)
;   PRODUCT_NAME  the version resource's ProductName
;   PUBLISHER     the version resource's CompanyName
;   COPYRIGHT     the version resource's LegalCopyright (the licence's copyright line)
;   PACKAGE_NAME  the name of the Add/Remove Programs key (the Debian package's name)
;   ICON          the program icon (.ico)
;   FILES         the generated list of the staged files: macros InstallFiles, UninstallFiles
;   OUTFILE       the installer to write
;
; What it installs, for every user of the machine: the staged tree in $INSTDIR (default
; Program Files\KOR VM31), the Start-menu shortcut "Gaming Mouse Setting" (KOR_VM31.exe --show),
; the autostart entry (the machine's Run key: KOR_VM31.exe without an option, the hidden start in
; the tray) and the uninstaller, registered in Add/Remove Programs. The uninstaller removes all
; of that and leaves each user's data folder %APPDATA%\kor-vm31 alone.
;
; A running KOR_VM31.exe of this session is asked to end (as through its tray menu's Exit)
; before any file is written or removed; a program file still in use after that (another
; session's KOR_VM31.exe, a vm31ctl.exe) stops the installer or uninstaller before it changes
; anything, with exit code 2 when silent.

Unicode true
Target amd64-unicode
ManifestDPIAware true
RequestExecutionLevel admin
SetCompressor /SOLID lzma

!include "MUI2.nsh"
!include "LogicLib.nsh"
!include "${FILES}"

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\${PACKAGE_NAME}"
!define RUN_KEY "Software\Microsoft\Windows\CurrentVersion\Run"
; The Run key's value and the Start-menu shortcut.
!define RUN_VALUE "KOR_VM31"
!define SHORTCUT "$SMPROGRAMS\Gaming Mouse Setting.lnk"
; The running program: its single-instance mutex and its message-only instance window, which
; takes the request WM_APP + 16 with wParam 2 as its tray menu's Exit (src/win32/tarnwick_app.cpp).
!define INSTANCE_MUTEX "VEL_KORVM31Mutex"
!define INSTANCE_WINDOW_CLASS "KOR_VM31_Instance"
!define INSTANCE_REQUEST 0x8010
!define INSTANCE_REQUEST_EXIT 2
; Exit code when the installer or uninstaller stops because a program file is in use.
!define EXIT_FILES_IN_USE 2

Name "${PRODUCT_NAME}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\KOR VM31"
; An installed copy is updated where it is.
InstallDirRegKey HKLM "${UNINSTALL_KEY}" "InstallLocation"
BrandingText "${PRODUCT_NAME} ${VERSION}"

VIProductVersion "${VERSION}.0"
VIFileVersion "${VERSION}.0"
VIAddVersionKey /LANG=1033 "ProductName" "${PRODUCT_NAME}"
VIAddVersionKey /LANG=1033 "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=1033 "LegalCopyright" "${COPYRIGHT}"
VIAddVersionKey /LANG=1033 "FileDescription" "${PRODUCT_NAME} Setup"
VIAddVersionKey /LANG=1033 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "ProductVersion" "${VERSION}"

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_ABORTWARNING
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

; Asks a running KOR_VM31.exe of this session to end and waits up to 10 s for the end of its
; process (the program lets go of its mutex a moment before its process ends and lets go of its
; file), or, without its window, for its mutex to go. One of another user's session has its
; mutex and window in that session, out of reach here; the check of the files in use below
; finds it.
!macro CloseRunningProgram un
Function ${un}CloseRunningProgram
  System::Call 'kernel32::OpenMutexW(i 0x00100000, i 0, w "${INSTANCE_MUTEX}") p .r0'
  ${If} $0 P= 0
    Return
  ${EndIf}
  System::Call 'kernel32::CloseHandle(p r0)'
  DetailPrint "Ending the running ${PRODUCT_NAME}"
  ; HWND_MESSAGE is (HWND)-3; 0x00100000 is SYNCHRONIZE.
  System::Call 'user32::FindWindowExW(p -3, p 0, w "${INSTANCE_WINDOW_CLASS}", p 0) p .r1'
  ${If} $1 P<> 0
    System::Call 'user32::GetWindowThreadProcessId(p r1, *i 0 r3) i'
    System::Call 'kernel32::OpenProcess(i 0x00100000, i 0, i r3) p .r4'
    System::Call 'user32::PostMessageW(p r1, i ${INSTANCE_REQUEST}, p ${INSTANCE_REQUEST_EXIT}, p 0)'
    ${If} $4 P<> 0
      System::Call 'kernel32::WaitForSingleObject(p r4, i 10000) i'
      System::Call 'kernel32::CloseHandle(p r4)'
      Return
    ${EndIf}
  ${EndIf}
  StrCpy $2 0
  ${Do}
    Sleep 200
    System::Call 'kernel32::OpenMutexW(i 0x00100000, i 0, w "${INSTANCE_MUTEX}") p .r0'
    ${If} $0 P= 0
      Return
    ${EndIf}
    System::Call 'kernel32::CloseHandle(p r0)'
    IntOp $2 $2 + 1
  ${LoopWhile} $2 < 50
FunctionEnd
!macroend
!insertmacro CloseRunningProgram ""
!insertmacro CloseRunningProgram "un."

; Until the installed programs can be written (none of them runs), asking the user to end them;
; when silent, or when the user cancels, stops with EXIT_FILES_IN_USE before anything changed.
!macro StopWhileProgramsRun un
Function ${un}StopWhileProgramsRun
  ${Do}
    StrCpy $3 ""
    ${ForEach} $4 0 1 + 1
      ${If} $4 = 0
        StrCpy $5 "KOR_VM31.exe"
      ${Else}
        StrCpy $5 "vm31ctl.exe"
      ${EndIf}
      ${If} ${FileExists} "$INSTDIR\$5"
        ClearErrors
        FileOpen $6 "$INSTDIR\$5" a
        ${If} ${Errors}
          StrCpy $3 "$3$\r$\n$INSTDIR\$5"
        ${Else}
          FileClose $6
        ${EndIf}
      ${EndIf}
    ${Next}
    ${If} $3 == ""
      Return
    ${EndIf}
    DetailPrint "In use:$3"
    MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION \
      "These programs are running:$3$\r$\n$\r$\nEnd them (Gaming Mouse Setting: Exit in its tray \
menu), then choose Retry." /SD IDCANCEL IDRETRY retry
    Goto stop
    retry:
  ${Loop}
  stop:
  DetailPrint "Stopped: nothing was changed."
  SetErrorLevel ${EXIT_FILES_IN_USE}
  Quit
FunctionEnd
!macroend
!insertmacro StopWhileProgramsRun ""
!insertmacro StopWhileProgramsRun "un."

Function .onInit
  SetShellVarContext all
FunctionEnd

Function un.onInit
  SetShellVarContext all
FunctionEnd

Section "Install"
  Call CloseRunningProgram
  Call StopWhileProgramsRun

  ClearErrors
  !insertmacro InstallFiles
  WriteUninstaller "$INSTDIR\uninstall.exe"
  ${If} ${Errors}
    MessageBox MB_OK|MB_ICONSTOP "Not every file could be written into $INSTDIR. Run the \
installer again; the installation is incomplete." /SD IDOK
    SetErrorLevel 1
    Quit
  ${EndIf}

  CreateShortcut "${SHORTCUT}" "$INSTDIR\KOR_VM31.exe" "--show" "$INSTDIR\KOR_VM31.exe" 0 \
    SW_SHOWNORMAL "" "${PRODUCT_NAME}"
  WriteRegStr HKLM "${RUN_KEY}" "${RUN_VALUE}" '"$INSTDIR\KOR_VM31.exe"'

  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT_NAME}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\KOR_VM31.exe,0"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" ${INSTALLED_KIB}
SectionEnd

Section "Uninstall"
  Call un.CloseRunningProgram
  Call un.StopWhileProgramsRun

  DeleteRegValue HKLM "${RUN_KEY}" "${RUN_VALUE}"
  Delete "${SHORTCUT}"
  !insertmacro UninstallFiles
  Delete "$INSTDIR\uninstall.exe"
  ; The folder goes unless someone put files of their own into it.
  RMDir "$INSTDIR"
  ; The uninstalling user's runtime folder of the program, when nothing runs in it (the data
  ; folder %APPDATA%\kor-vm31 stays).
  SetShellVarContext current
  RMDir "$LOCALAPPDATA\kor-vm31\run"
  RMDir "$LOCALAPPDATA\kor-vm31"
  SetShellVarContext all
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
