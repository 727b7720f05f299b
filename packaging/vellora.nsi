; Per-user installer of Vellora, made by scripts/release.sh:
;   makensis -INPUTCHARSET UTF8 -DVERSION=x.y.z -DSTAGE=<dir> -DICON=<ico> -DOUTFILE=<exe>
;     [-DSIGN=<signing script>] vellora.nsi
; STAGE holds vellora.exe, README.txt and LICENSE.txt.
;
; No administrator rights: everything goes into the user's own folders and
; registry hive. Silent use:
;   vellora-x.y.z-setup.exe /S [/D=<folder>]      install (the folder must come last)
;   uninstall.exe /S _?=<folder>                  uninstall, keeping the settings
;   uninstall.exe /S /REMOVESETTINGS _?=<folder>  uninstall and remove the settings
; Both first close every running Vellora of the session (it saves its place and
; ends); the installer then starts the new one again. A copy that does not end
; within about 10 s makes them change nothing and end with exit code 32
; (EXIT_IN_USE below). With _?= the uninstaller works in place, so its exit
; code is the true one; without it NSIS hands over to a copy of itself in TEMP
; and ends at once with 0.

Unicode true
; The program is x64 only, and so is its installer: it needs no 32-bit layer.
Target amd64-unicode

!macro REQUIRE name
  !ifndef ${name}
    !error "Pass ${name} with -D${name}=..."
  !endif
!macroend
!insertmacro REQUIRE VERSION
!insertmacro REQUIRE STAGE
!insertmacro REQUIRE ICON
!insertmacro REQUIRE OUTFILE

; With -DSIGN=<script>, the script signs the uninstaller before it is packed
; into the installer, and then the installer itself.
!ifdef SIGN
  !uninstfinalize '"${SIGN}" "%1"' = 0
  !finalize '"${SIGN}" "%1"' = 0
!endif

!define PRODUCT "Vellora"
!define MAKER "Korvane"
!define EXE "vellora.exe"
; The program's own key: settings and the window's last placement.
!define SETTINGS_KEY "Software\Korvane\Vellora32"
!define MAKER_KEY "Software\Korvane"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Vellora"
; The mirror window's class, by which every running Vellora is found (its
; caption "Vellora" is also an Explorer window's on the install folder).
!define MIRROR_CLASS "Korvane.Vellora.Mirror"
; The exit code when a running Vellora kept the files from being replaced or
; removed: Windows' ERROR_SHARING_VIOLATION. NSIS ends with 0, 1 or 2 of its
; own; the winget manifest declares this one as packageInUse
; (packaging/manifests.py reads it from here).
!define EXIT_IN_USE 32
; How long a running Vellora gets to save and end, in quarter seconds.
!define CLOSE_ROUNDS 40

!include "MUI2.nsh"
!include "FileFunc.nsh"
!include "LogicLib.nsh"
!include "Sections.nsh"

Name "${PRODUCT}"
OutFile "${OUTFILE}"
RequestExecutionLevel user
InstallDir "$LOCALAPPDATA\Programs\${PRODUCT}"
; An update goes where the last install went.
InstallDirRegKey HKCU "${UNINSTALL_KEY}" "InstallLocation"
SetCompressor /SOLID lzma
; Files keep no time of their own: the installer is the same bytes whenever it
; is made from the same commit, and installed files get the time of install.
SetDateSave off
ManifestDPIAware true
ManifestSupportedOS all
BrandingText "${PRODUCT} ${VERSION}"
ShowInstDetails nevershow
ShowUninstDetails nevershow

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_ABORTWARNING
!define MUI_FINISHPAGE_RUN
!define MUI_FINISHPAGE_RUN_FUNCTION StartUnlessRestarted
!define MUI_FINISHPAGE_NOREBOOTSUPPORT

!insertmacro MUI_PAGE_LICENSE "${STAGE}\LICENSE.txt"
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH

!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_COMPONENTS
!insertmacro MUI_UNPAGE_INSTFILES

; The program speaks both; Windows' language picks one, as it does for the program.
!insertmacro MUI_LANGUAGE "English"
!insertmacro MUI_LANGUAGE "Japanese"

LangString UnProgram ${LANG_ENGLISH} "Vellora"
LangString UnProgram ${LANG_JAPANESE} "Vellora"
LangString UnProgramDesc ${LANG_ENGLISH} "The program, its Start-menu shortcut and its entry in the list of installed apps."
LangString UnProgramDesc ${LANG_JAPANESE} "プログラム本体、スタート メニューのショートカット、インストールされているアプリの一覧の項目です。"
LangString UnSettings ${LANG_ENGLISH} "My settings"
LangString UnSettings ${LANG_JAPANESE} "設定"
LangString UnSettingsDesc ${LANG_ENGLISH} "Your settings and the mirror's last place on the screen. Leave this unchecked to keep them for a later install."
LangString UnSettingsDesc ${LANG_JAPANESE} "設定と、ミラーの最後の位置です。あとで再びインストールするときのために残すには、チェックを外したままにしてください。"
LangString Running ${LANG_ENGLISH} "Vellora is running and did not close when asked. Close it (right-click it and choose Exit), then choose Retry."
LangString Running ${LANG_JAPANESE} "Vellora が実行中で、終了の求めに応じませんでした。右クリックして [終了] を選んで Vellora を終了してから、[再試行] を選んでください。"

VIProductVersion "${VERSION}.0"
VIFileVersion "${VERSION}.0"
VIAddVersionKey /LANG=${LANG_ENGLISH} "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=${LANG_ENGLISH} "CompanyName" "${MAKER}"
VIAddVersionKey /LANG=${LANG_ENGLISH} "FileDescription" "${PRODUCT} ${VERSION} Setup"
VIAddVersionKey /LANG=${LANG_ENGLISH} "FileVersion" "${VERSION}.0"
VIAddVersionKey /LANG=${LANG_ENGLISH} "ProductVersion" "${VERSION}.0"
VIAddVersionKey /LANG=${LANG_ENGLISH} "LegalCopyright" "Copyright (C) 2026 ${MAKER}"

; Whether a Vellora was running (and was closed): the installer starts the
; new one again.
Var WasRunning

; Closes every running Vellora of the session as its Exit does (the window is
; asked to close; the program saves its place and settings and ends), and
; waits until none is left and vellora.exe in the install folder is no longer
; open as a running program. One that does not end in time stops the whole
; install or uninstall with EXIT_IN_USE: interactive users may close it
; themselves and retry; silent runs fail.
!macro CLOSE_RUNNING un
  Function ${un}CloseRunning
    StrCpy $WasRunning 0
    retry:
    StrCpy $1 0
    ${Do}
      ; Asked again once a second: a copy started meanwhile is asked too.
      ; Posted, not sent: a hung program cannot hang the installer.
      IntOp $2 $1 % 4
      ${If} $2 = 0
        FindWindow $0 "${MIRROR_CLASS}" "" 0 0
        ${DoWhile} $0 <> 0
          StrCpy $WasRunning 1
          System::Call "user32::PostMessageW(p r0, i ${WM_CLOSE}, p 0, p 0)"
          FindWindow $0 "${MIRROR_CLASS}" "" 0 $0
        ${Loop}
        ; Releases up to 1.0.3 named the class "Vellora:" and an address: a
        ; window titled "Vellora" whose class begins so is such a mirror.
        FindWindow $0 "" "${PRODUCT}" 0 0
        ${DoWhile} $0 <> 0
          System::Call "user32::GetClassNameW(p r0, w .r4, i 64)"
          StrCpy $4 $4 8
          ${If} $4 == "Vellora:"
            StrCpy $WasRunning 1
            System::Call "user32::PostMessageW(p r0, i ${WM_CLOSE}, p 0, p 0)"
          ${EndIf}
          FindWindow $0 "" "${PRODUCT}" 0 $0
        ${Loop}
      ${EndIf}
      FindWindow $0 "${MIRROR_CLASS}"
      ${If} $0 = 0
        ${IfNot} ${FileExists} "$INSTDIR\${EXE}"
          Return
        ${EndIf}
        ; A running exe cannot be opened for writing.
        ClearErrors
        FileOpen $3 "$INSTDIR\${EXE}" a
        ${IfNot} ${Errors}
          FileClose $3
          Return
        ${EndIf}
      ${EndIf}
      IntOp $1 $1 + 1
      ${If} $1 >= ${CLOSE_ROUNDS}
        ${ExitDo}
      ${EndIf}
      Sleep 250
    ${Loop}
    MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION "$(Running)" /SD IDCANCEL IDRETRY retry
    SetErrorLevel ${EXIT_IN_USE}
    Abort
  FunctionEnd
!macroend
!insertmacro CLOSE_RUNNING ""
!insertmacro CLOSE_RUNNING "un."

; The finish page's "Run Vellora", unless the one that ran is back already.
Function StartUnlessRestarted
  ${If} $WasRunning = 0
    Exec '"$INSTDIR\${EXE}"'
  ${EndIf}
FunctionEnd

; Deletes uninstall.exe, waiting up to 10 s for the uninstaller that runs it to
; end, then the folder if nothing else is left in it.
Function un.RemoveUninstaller
  StrCpy $1 0
  ${Do}
    Delete "$INSTDIR\uninstall.exe"
    ${IfNot} ${FileExists} "$INSTDIR\uninstall.exe"
    ${OrIf} $1 >= 100
      ${ExitDo}
    ${EndIf}
    Sleep 100
    IntOp $1 $1 + 1
  ${Loop}
  RMDir "$INSTDIR"
FunctionEnd

Section "-Program"
  Call CloseRunning
  SetOutPath "$INSTDIR"
  File "${STAGE}\${EXE}"
  File "${STAGE}\README.txt"
  File "${STAGE}\LICENSE.txt"
  WriteUninstaller "$INSTDIR\uninstall.exe"

  SetShellVarContext current
  CreateShortcut "$SMPROGRAMS\${PRODUCT}.lnk" "$INSTDIR\${EXE}" "" "$INSTDIR\${EXE}" 0

  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "${MAKER}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" '"$INSTDIR\${EXE}",0'
  WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  ; In place (_?=), so that whoever runs it (winget) waits for the uninstall
  ; itself and gets its true exit code. Rewritten over older installs, which
  ; registered the form that hands over and ends at once with 0.
  WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S _?=$INSTDIR'
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "EstimatedSize" "$0"

  ; The mirror that was closed comes back; it restores its own place.
  ${If} $WasRunning = 1
    Exec '"$INSTDIR\${EXE}"'
  ${EndIf}
SectionEnd

Section "!un.$(UnProgram)" UnSecProgram
  SectionIn RO
  Call un.CloseRunning
  ; Only what the installer put there: the folder goes only if it is empty
  ; then, so nothing the user kept in it is lost.
  Delete "$INSTDIR\${EXE}"
  ${If} ${FileExists} "$INSTDIR\${EXE}"
    ; Still held open by something: nothing is removed, the entry stays for
    ; another try, and the caller learns why.
    SetErrorLevel ${EXIT_IN_USE}
    Abort
  ${EndIf}
  Delete "$INSTDIR\README.txt"
  Delete "$INSTDIR\LICENSE.txt"
  SetShellVarContext current
  Delete "$SMPROGRAMS\${PRODUCT}.lnk"
  DeleteRegKey HKCU "${UNINSTALL_KEY}"
  ${If} "$EXEPATH" == "$INSTDIR\uninstall.exe"
    ; Run in place, this process holds its own file: a copy of it in TEMP
    ; removes that and the folder once this one has ended. It is started
    ; outside the folder, which it could not remove otherwise.
    GetTempFileName $0
    CopyFiles /SILENT "$EXEPATH" "$0"
    SetOutPath "$TEMP"
    Exec '"$0" /S /REMOVEUNINSTALLER _?=$INSTDIR'
  ${Else}
    Call un.RemoveUninstaller
  ${EndIf}
SectionEnd

; Off unless chosen on the components page or given /REMOVESETTINGS.
Section /o "un.$(UnSettings)" UnSecSettings
  DeleteRegKey HKCU "${SETTINGS_KEY}"
  DeleteRegKey /ifempty HKCU "${MAKER_KEY}"
SectionEnd

Function un.onInit
  ${GetParameters} $0
  ; The copy that the in-place uninstall leaves to finish its work.
  ClearErrors
  ${GetOptions} $0 "/REMOVEUNINSTALLER" $1
  ${IfNot} ${Errors}
    Call un.RemoveUninstaller
    ; This copy itself goes at the next restart where Windows lets it, as
    ; NSIS's own copy of an uninstaller does.
    Delete /REBOOTOK "$EXEPATH"
    Quit
  ${EndIf}
  ClearErrors
  ${GetOptions} $0 "/REMOVESETTINGS" $1
  ${IfNot} ${Errors}
    !insertmacro SelectSection ${UnSecSettings}
  ${EndIf}
FunctionEnd

!insertmacro MUI_UNFUNCTION_DESCRIPTION_BEGIN
  !insertmacro MUI_DESCRIPTION_TEXT ${UnSecProgram} "$(UnProgramDesc)"
  !insertmacro MUI_DESCRIPTION_TEXT ${UnSecSettings} "$(UnSettingsDesc)"
!insertmacro MUI_UNFUNCTION_DESCRIPTION_END
