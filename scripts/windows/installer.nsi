; Corvalin's Windows installer.  Built on Linux by build_windows.sh:
;   makensis -DVERSION=x.y.z -DEXE=/path/Corvalin.exe -DICON=/path/main.ico
;            -DOUTFILE=/path/setup.exe installer.nsi
;
; Installs for the current user only, without administrator rights, into
; %LOCALAPPDATA%\Programs\Corvalin, with a Start menu shortcut and an entry
; in Apps & features; registers the event source Corvalin where it may
; (run as administrator).
;
; Command line of the installer:
;   /S              silent: no dialogs
;   /STARTATLOGIN   also start Corvalin at login (the "Start at login"
;                   component, which is off unless ticked or asked for)
;   /D=FOLDER       another install folder; last on the line, no quotes
; Command line of Uninstall.exe:
;   /S              silent
;
; Corvalin keeps its settings beside its exe (Corvalin.cfg,
; perspective.layout, a record file the user chose): the uninstaller removes
; only the files it installed and leaves the folder when anything else is in it.

!ifndef VERSION
  !error "pass -DVERSION=x.y.z"
!endif
!ifndef EXE
  !error "pass -DEXE=path of Corvalin.exe"
!endif
!ifndef OUTFILE
  !error "pass -DOUTFILE=path of the setup program"
!endif
!ifndef ICON
  !error "pass -DICON=path of the program icon (main.ico, made by the build)"
!endif

; Wine on the build machines runs 64-bit programs only, and so does Corvalin.
Target amd64-unicode
SetCompressor /SOLID lzma

!include MUI2.nsh
!include LogicLib.nsh
!include FileFunc.nsh
!include Sections.nsh

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Corvalin"
; The program's own File > Start at Login uses this key and value name.
!define RUN_KEY "Software\Microsoft\Windows\CurrentVersion\Run"
!define RUN_VALUE "Corvalin"
; Corvalin's source in the Application log; its EventMessageFile gives Event
; Viewer the texts of its events (the exe's message table).
!define EVENT_SOURCE_KEY "SYSTEM\CurrentControlSet\Services\EventLog\Application\Corvalin"

Name "Corvalin"
OutFile "${OUTFILE}"
RequestExecutionLevel user
InstallDir "$LOCALAPPDATA\Programs\Corvalin"
InstallDirRegKey HKCU "${UNINSTALL_KEY}" "InstallLocation"
BrandingText "Corvalin ${VERSION}"

VIProductVersion "${VERSION}.0"
VIAddVersionKey "ProductName" "Corvalin"
VIAddVersionKey "CompanyName" "Pellowen"
VIAddVersionKey "FileDescription" "Corvalin ${VERSION} Setup"
VIAddVersionKey "FileVersion" "${VERSION}"
VIAddVersionKey "ProductVersion" "${VERSION}"
VIAddVersionKey "LegalCopyright" "Pellowen"

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_COMPONENTSPAGE_NODESC
!define MUI_FINISHPAGE_RUN "$INSTDIR\Corvalin.exe"
!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

; A running Corvalin holds its exe open, so copying over it or deleting it
; would fail half-way.  It holds a mutex named "Corvalin_<user name>" (its
; single-instance lock) for as long as it runs: the user is asked to quit it,
; and a silent run ends with exit code 2 instead.
!macro CHECK_NOT_RUNNING un
Function ${un}CheckNotRunning
  Push $0
  Push $1
  System::Call 'advapi32::GetUserNameW(w .r1, *i ${NSIS_MAX_STRLEN}) i .r0'
  retry:
    System::Call 'kernel32::OpenMutexW(i 0x00100000, i 0, w "Corvalin_$1") p .r0'
    StrCmp $0 0 done
    System::Call 'kernel32::CloseHandle(p r0)'
    MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION \
      "Corvalin is running.$\r$\n$\r$\nQuit it (File > Exit, or Exit in the menu of its tray icon), then click Retry." \
      /SD IDCANCEL IDRETRY retry
    SetErrorLevel 2
    Quit
  done:
  Pop $1
  Pop $0
FunctionEnd
!macroend
!insertmacro CHECK_NOT_RUNNING ""
!insertmacro CHECK_NOT_RUNNING "un."

Section "Corvalin" SecMain
  SectionIn RO
  SetShellVarContext current
  SetOutPath "$INSTDIR"
  File "/oname=Corvalin.exe" "${EXE}"
  WriteUninstaller "$INSTDIR\Uninstall.exe"
  CreateShortcut "$SMPROGRAMS\Corvalin.lnk" "$INSTDIR\Corvalin.exe" "" "$INSTDIR\Corvalin.exe" 0

  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "Corvalin"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "Pellowen"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\Corvalin.exe,0"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\Uninstall.exe"'
  WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\Uninstall.exe" /S'
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
  ; Only the two programs: the settings beside them are the user's.
  ${GetSize} "$INSTDIR" "/M=*.exe /S=0K /G=0" $0 $1 $2
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "EstimatedSize" $0

  ; Only an administrator may write there.  Without it Corvalin's events go
  ; to the Application log all the same, only without their texts.
  ClearErrors
  WriteRegExpandStr HKLM "${EVENT_SOURCE_KEY}" "EventMessageFile" "$INSTDIR\Corvalin.exe"
  WriteRegDWORD HKLM "${EVENT_SOURCE_KEY}" "TypesSupported" 7
  ${If} ${Errors}
    DetailPrint "The event source Corvalin was not registered (that needs administrator rights): Event Viewer will show its events without their texts."
  ${EndIf}
SectionEnd

Section /o "Start at login" SecRun
  ; The quoted path, as the program writes it itself, so that its
  ; File > Start at Login shows the check mark.
  WriteRegStr HKCU "${RUN_KEY}" "${RUN_VALUE}" '"$INSTDIR\Corvalin.exe"'
SectionEnd

Function .onInit
  Call CheckNotRunning
  ${GetParameters} $0
  ClearErrors
  ${GetOptions} $0 "/STARTATLOGIN" $1
  ${IfNot} ${Errors}
    !insertmacro SelectSection ${SecRun}
  ${EndIf}
FunctionEnd

Function un.onInit
  Call un.CheckNotRunning
FunctionEnd

Section "Uninstall"
  SetShellVarContext current
  Delete "$INSTDIR\Corvalin.exe"
  Delete "$SMPROGRAMS\Corvalin.lnk"
  ; Another copy's start at login is none of this one's business.
  ReadRegStr $0 HKCU "${RUN_KEY}" "${RUN_VALUE}"
  ${If} $0 == '"$INSTDIR\Corvalin.exe"'
    DeleteRegValue HKCU "${RUN_KEY}" "${RUN_VALUE}"
  ${EndIf}
  DeleteRegKey HKCU "${UNINSTALL_KEY}"
  ; Another copy's event source is none of this one's business either.
  ReadRegStr $0 HKLM "${EVENT_SOURCE_KEY}" "EventMessageFile"
  ${If} $0 == "$INSTDIR\Corvalin.exe"
    DeleteRegKey HKLM "${EVENT_SOURCE_KEY}"
  ${EndIf}
  Delete "$INSTDIR\Uninstall.exe"
  ; Not /r: the settings files stay, and with them the folder.
  RMDir "$INSTDIR"
SectionEnd
