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
; ends); the installer then starts the new one again, unless it runs elevated
; (an administrator's full token), as Vellora never should. A copy that does
; not end within about 10 s, or that cannot even be asked (one running with
; higher rights than the installer), makes them change nothing and end with
; exit code 32 (EXIT_IN_USE below). A file that cannot be written fails the
; install with NSIS's 2. With _?= the uninstaller works in place, so its exit
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
; The in-place uninstaller's copy in TEMP, which removes the install folder
; once the uninstaller has ended. Nothing can remove a running program's own
; file, and Windows keeps delete-at-restart for administrators: the name is
; fixed, and the next install or uninstall removes the copy left last time.
!define TEMP_COPY "Vellora-uninstall.exe"
; Windows' access rights, as the System plug-in's calls take them.
!define SYNCHRONIZE 0x00100000
!define TOKEN_QUERY 0x0008

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
; A file that cannot be written fails the install instead of being skipped in
; silence, which would leave the old program in place behind exit code 0.
AllowSkipFiles off
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
!define MUI_PAGE_CUSTOMFUNCTION_SHOW FinishShow
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
LangString RunningAbove ${LANG_ENGLISH} "Vellora is running with higher rights than this setup (it was started as administrator), so it cannot be asked to close. Close it (right-click it and choose Exit), then choose Retry."
LangString RunningAbove ${LANG_JAPANESE} "Vellora がこのセットアップより高い権限 (管理者) で実行されているため、終了を求めることができません。右クリックして [終了] を選んで Vellora を終了してから、[再試行] を選んでください。"
LangString NotStarted ${LANG_ENGLISH} "Vellora was not started again: this setup runs as administrator, and Vellora should not. Start it from the Start menu."
LangString NotStarted ${LANG_JAPANESE} "このセットアップは管理者として実行されているため、Vellora を再び起動しませんでした (Vellora は管理者として実行するものではありません)。スタート メニューから起動してください。"
LangString NotStartedRun ${LANG_ENGLISH} "Not started: this setup runs as administrator"
LangString NotStartedRun ${LANG_JAPANESE} "管理者として実行中のため起動しません"

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
; 1 when this process holds an administrator's full token (run as
; administrator, or by an elevated winget): what it starts would be elevated.
Var Elevated
; Handles of the processes asked to close, in memory from System::Alloc
; (at most 64, as WaitForMultipleObjects takes), and their count.
Var Asked
Var AskedCount

; Closes every running Vellora of the session as its Exit does (the window is
; asked to close; the program saves its place and settings and ends), and
; waits until none is left and vellora.exe in the install folder is no longer
; open as a running program. One that does not end in time stops the whole
; install or uninstall with EXIT_IN_USE: interactive users may close it
; themselves and retry; silent runs fail.
!macro CLOSE_RUNNING un
  ; Posts WM_CLOSE to the window $0 and keeps a handle of its process, to wait
  ; for its end. $5 is 1 when the window is there but cannot be posted to: one
  ; of higher integrity than this process (UIPI), which nothing here can close.
  Function ${un}AskToClose
    StrCpy $WasRunning 1
    System::Call "user32::PostMessageW(p r0, i ${WM_CLOSE}, p 0, p 0) i .r5"
    ${If} $5 = 0
      ; Failed: a window that has just gone is fine, one still there is not.
      System::Call "user32::IsWindow(p r0) i .r5"
      ${If} $5 <> 0
        StrCpy $5 1
      ${EndIf}
      Return
    ${EndIf}
    StrCpy $5 0
    ${If} $AskedCount >= 64
      Return
    ${EndIf}
    System::Call "user32::GetWindowThreadProcessId(p r0, *i .r6)"
    System::Call "kernel32::OpenProcess(i ${SYNCHRONIZE}, i 0, i r6) p .r7"
    ${If} $7 P<> 0
      IntOp $6 $AskedCount * 8
      IntPtrOp $6 $Asked + $6
      System::Call "*$6(p r7)"
      IntOp $AskedCount $AskedCount + 1
    ${EndIf}
  FunctionEnd

  Function ${un}CloseRunning
    StrCpy $WasRunning 0
    retry:
    System::Alloc 512
    Pop $Asked
    StrCpy $AskedCount 0
    StrCpy $1 0
    ${Do}
      ; Asked again once a second: a copy started meanwhile is asked too.
      ; Posted, not sent: a hung program cannot hang the installer.
      IntOp $2 $1 % 4
      ${If} $2 = 0
        FindWindow $0 "${MIRROR_CLASS}" "" 0 0
        ${DoWhile} $0 <> 0
          Call ${un}AskToClose
          ${If} $5 = 1
            Goto above
          ${EndIf}
          FindWindow $0 "${MIRROR_CLASS}" "" 0 $0
        ${Loop}
        ; Releases up to 1.0.3 named the class "Vellora:" and an address: a
        ; window titled "Vellora" whose class begins so is such a mirror.
        FindWindow $0 "" "${PRODUCT}" 0 0
        ${DoWhile} $0 <> 0
          System::Call "user32::GetClassNameW(p r0, w .r4, i 64)"
          StrCpy $4 $4 8
          ${If} $4 == "Vellora:"
            Call ${un}AskToClose
            ${If} $5 = 1
              Goto above
            ${EndIf}
          ${EndIf}
          FindWindow $0 "" "${PRODUCT}" 0 $0
        ${Loop}
      ${EndIf}
      ; Done when no window is left, every process asked has ended (a
      ; portable copy elsewhere saves its settings as it ends), and no
      ; other program runs the installed exe: a running exe cannot be opened
      ; for writing.
      FindWindow $0 "${MIRROR_CLASS}"
      StrCpy $3 0
      ${If} $AskedCount > 0
        System::Call "kernel32::WaitForMultipleObjects(i $AskedCount, p $Asked, i 1, i 0) i .r3"
      ${EndIf}
      ${If} $0 = 0
      ${AndIf} $3 = 0
        ClearErrors
        ${If} ${FileExists} "$INSTDIR\${EXE}"
          FileOpen $3 "$INSTDIR\${EXE}" a
          ${IfNot} ${Errors}
            FileClose $3
          ${EndIf}
        ${EndIf}
        ${IfNot} ${Errors}
          Call ${un}ForgetAsked
          Return
        ${EndIf}
      ${EndIf}
      IntOp $1 $1 + 1
      ${If} $1 >= ${CLOSE_ROUNDS}
        ${ExitDo}
      ${EndIf}
      Sleep 250
    ${Loop}
    Call ${un}ForgetAsked
    MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION "$(Running)" /SD IDCANCEL IDRETRY retry
    SetErrorLevel ${EXIT_IN_USE}
    Abort
    above:
    Call ${un}ForgetAsked
    MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION "$(RunningAbove)" /SD IDCANCEL IDRETRY retry
    SetErrorLevel ${EXIT_IN_USE}
    Abort
  FunctionEnd

  Function ${un}ForgetAsked
    ${DoWhile} $AskedCount > 0
      IntOp $AskedCount $AskedCount - 1
      IntOp $6 $AskedCount * 8
      IntPtrOp $6 $Asked + $6
      System::Call "*$6(p .r7)"
      System::Call "kernel32::CloseHandle(p r7)"
    ${Loop}
    ${If} $Asked P<> 0
      System::Free $Asked
      StrCpy $Asked 0
    ${EndIf}
  FunctionEnd
!macroend
!insertmacro CLOSE_RUNNING ""
!insertmacro CLOSE_RUNNING "un."

; Exec gives the program this process's token: started by an elevated setup,
; Vellora would run elevated, where no ordinary setup could close it again.
; Starting it through Explorer as the desktop's user instead needs Explorer
; running as the shell, and may start another account's program than the one
; this install was for (an administrator's password typed by a standard
; user); so it is not started then, and the user is told.
Function StartVellora
  ${If} $Elevated = 1
    DetailPrint "$(NotStarted)"
  ${Else}
    Exec '"$INSTDIR\${EXE}"'
  ${EndIf}
FunctionEnd

; The finish page's "Run Vellora", unless the one that ran is back already.
Function StartUnlessRestarted
  ${If} $WasRunning = 0
    Call StartVellora
  ${EndIf}
FunctionEnd

; Elevated, the finish page offers no start, and says why.
Function FinishShow
  ${If} $Elevated = 1
    SendMessage $mui.FinishPage.Run ${BM_SETCHECK} ${BST_UNCHECKED} 0
    SendMessage $mui.FinishPage.Run ${WM_SETTEXT} 0 "STR:$(NotStartedRun)"
    EnableWindow $mui.FinishPage.Run 0
    ; The box had the focus: Enter goes to Finish again.
    GetDlgItem $0 $HWNDPARENT 1
    SendMessage $HWNDPARENT ${WM_NEXTDLGCTL} $0 1
  ${EndIf}
FunctionEnd

Function .onInit
  ; TokenElevationType (18) is TokenElevationTypeFull (2) only for the
  ; elevated half of an administrator's split token: without UAC, or for a
  ; standard user, it is the same token the desktop gives its programs.
  StrCpy $Elevated 0
  System::Call "kernel32::GetCurrentProcess() p .r0"
  System::Call "advapi32::OpenProcessToken(p r0, i ${TOKEN_QUERY}, *p .r1) i .r2"
  ${If} $2 <> 0
    System::Call "advapi32::GetTokenInformation(p r1, i 18, *i .r3, i 4, *i .r4) i .r2"
    ${If} $2 <> 0
    ${AndIf} $3 = 2
      StrCpy $Elevated 1
    ${EndIf}
    System::Call "kernel32::CloseHandle(p r1)"
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
  Delete "$TEMP\${TEMP_COPY}"
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
  ; In place (_?=), so that whoever runs it (winget) waits for the uninstall
  ; itself and gets its true exit code, and so that NSIS's own copy is not left
  ; in TEMP: the uninstaller's own copy with its fixed name is removed next
  ; time. Rewritten over older installs, which registered the form that hands
  ; over and ends at once with 0.
  WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe" _?=$INSTDIR'
  WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S _?=$INSTDIR'
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "EstimatedSize" "$0"

  ; The mirror that was closed comes back; it restores its own place.
  ${If} $WasRunning = 1
    Call StartVellora
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
    Delete "$TEMP\${TEMP_COPY}"
    CopyFiles /SILENT "$EXEPATH" "$TEMP\${TEMP_COPY}"
    SetOutPath "$TEMP"
    Exec '"$TEMP\${TEMP_COPY}" /S /REMOVEUNINSTALLER _?=$INSTDIR'
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
    ; This copy itself stays until the next install or uninstall.
    Call un.RemoveUninstaller
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
