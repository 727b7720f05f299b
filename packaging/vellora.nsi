; Per-user installer of Vellora, made by scripts/release.sh:
;   makensis -INPUTCHARSET UTF8 -DVERSION=x.y.z -DSTAGE=<dir> -DICON=<ico> -DOUTFILE=<exe>
;     [-DSIGN=<signing script>] vellora.nsi
; STAGE holds vellora.exe, README.txt and LICENSE.txt.
;
; No administrator rights: everything goes into the user's own folders and
; registry hive. Silent use:
;   vellora-x.y.z-setup.exe /S [/D=<folder>]      install (the folder must come last)
;   uninstall.exe /S                              uninstall, keeping the settings
;   uninstall.exe /S /REMOVESETTINGS              uninstall and remove the settings
; While Vellora runs from the install folder both change nothing and fail: the
; installer ends with a non-zero exit code, and so does the uninstaller when
; run as uninstall.exe /S _?=<install folder> (otherwise it hands over to a copy
; of itself and ends at once with 0).

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
!define MUI_FINISHPAGE_RUN "$INSTDIR\${EXE}"
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
LangString Running ${LANG_ENGLISH} "Vellora is running. Close it (right-click it and choose Exit), then choose Retry."
LangString Running ${LANG_JAPANESE} "Vellora が実行中です。右クリックして [終了] を選んで Vellora を終了してから、[再試行] を選んでください。"

VIProductVersion "${VERSION}.0"
VIFileVersion "${VERSION}.0"
VIAddVersionKey /LANG=${LANG_ENGLISH} "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=${LANG_ENGLISH} "CompanyName" "${MAKER}"
VIAddVersionKey /LANG=${LANG_ENGLISH} "FileDescription" "${PRODUCT} ${VERSION} Setup"
VIAddVersionKey /LANG=${LANG_ENGLISH} "FileVersion" "${VERSION}.0"
VIAddVersionKey /LANG=${LANG_ENGLISH} "ProductVersion" "${VERSION}.0"
VIAddVersionKey /LANG=${LANG_ENGLISH} "LegalCopyright" "Copyright (C) 2026 ${MAKER}"

; Stops (the whole install or uninstall fails) while vellora.exe in the install
; folder is running: a running exe cannot be opened for writing. Interactive
; users may close it and retry; silent runs fail at once.
!macro ENSURE_NOT_RUNNING un
  Function ${un}EnsureNotRunning
    retry:
    IfFileExists "$INSTDIR\${EXE}" 0 done
    ClearErrors
    FileOpen $0 "$INSTDIR\${EXE}" a
    IfErrors busy
    FileClose $0
    Goto done
    busy:
    MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION "$(Running)" /SD IDCANCEL IDRETRY retry
    SetErrorLevel 3
    Abort
    done:
  FunctionEnd
!macroend
!insertmacro ENSURE_NOT_RUNNING ""
!insertmacro ENSURE_NOT_RUNNING "un."

Section "-Program"
  Call EnsureNotRunning
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
  WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "EstimatedSize" "$0"
SectionEnd

Section "!un.$(UnProgram)" UnSecProgram
  SectionIn RO
  Call un.EnsureNotRunning
  ; Only what the installer put there: the folder goes only if it is empty
  ; then, so nothing the user kept in it is lost.
  Delete "$INSTDIR\${EXE}"
  Delete "$INSTDIR\README.txt"
  Delete "$INSTDIR\LICENSE.txt"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
  SetShellVarContext current
  Delete "$SMPROGRAMS\${PRODUCT}.lnk"
  DeleteRegKey HKCU "${UNINSTALL_KEY}"
SectionEnd

; Off unless chosen on the components page or given /REMOVESETTINGS.
Section /o "un.$(UnSettings)" UnSecSettings
  DeleteRegKey HKCU "${SETTINGS_KEY}"
  DeleteRegKey /ifempty HKCU "${MAKER_KEY}"
SectionEnd

Function un.onInit
  ${GetParameters} $0
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
