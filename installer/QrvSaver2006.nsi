; Installer of QrvSaver2006, one per program: makensis -DARCH=x86|x64
; -DSRCDIR=<folder with QrvSaver2006.scr and QR06V2XLM> -DVERSION=a.b.c.d
; -DOUTFILE=<installer path>. scripts/build.sh passes them.
;
; By default it installs for the current user, without administrator rights,
; into the user's local program folder. /ALLUSERS (or the choice on the first
; page) installs into the system folder for every user, behind the
; administrator prompt. /S installs silently; /D=<folder> picks the folder of
; a per-user install.

Unicode true
!ifndef ARCH
  !error "ARCH must be x86 or x64"
!endif
!ifndef SRCDIR
  !error "SRCDIR must name the folder to install"
!endif
!ifndef VERSION
  !define VERSION "1.0.0.0"
!endif
!ifndef OUTFILE
  !define OUTFILE "QrvSaver2006-setup-${ARCH}.exe"
!endif

!define PRODUCT "QrvSaver2006"
!define PUBLISHER "QrvSaver2006 developers"
!define UNINST_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\QrvSaver2006"
!define DESKTOP_KEY "Control Panel\Desktop"
!define SHORTCUT "QrvSaver2006 Settings.lnk"
!define ERROR_ELEVATION_REQUIRED 740

!include "MUI2.nsh"
!include "LogicLib.nsh"
!include "FileFunc.nsh"
!include "nsDialogs.nsh"
!include "x64.nsh"
!include "WinMessages.nsh"

!if "${ARCH}" == "x64"
  Target amd64-unicode
!endif

Name "${PRODUCT}"
OutFile "${OUTFILE}"
RequestExecutionLevel user
SetCompressor /SOLID lzma
InstallDir "$LOCALAPPDATA\Programs\${PRODUCT}"
ShowInstDetails nevershow
ShowUninstDetails nevershow

VIProductVersion "${VERSION}"
VIAddVersionKey /LANG=1033 "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=1033 "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=1033 "FileDescription" "${PRODUCT} setup (${ARCH})"
VIAddVersionKey /LANG=1033 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "LegalCopyright" "${PUBLISHER}"

!define MUI_ICON "..\src\win\res\app.ico"
!define MUI_UNICON "..\src\win\res\app.ico"
!define MUI_ABORTWARNING

Var AllUsers      ; 1: every user, system folder; 0: this user only
Var RadioMe
Var RadioAll
Var UninstDir     ; where the uninstaller lives

!define MUI_WELCOMEPAGE_TEXT "This installs the ${PRODUCT} screensaver (${ARCH}, version ${VERSION}) and makes it your screensaver.$\r$\n$\r$\nThe screensaver you use now is remembered, and uninstalling ${PRODUCT} puts it back."
!insertmacro MUI_PAGE_WELCOME
Page custom ModePage ModePageLeave
!define MUI_PAGE_CUSTOMFUNCTION_PRE DirectoryPre
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!define MUI_FINISHPAGE_RUN "$INSTDIR\QrvSaver2006.scr"
!define MUI_FINISHPAGE_RUN_PARAMETERS "/c"
!define MUI_FINISHPAGE_RUN_TEXT "Open the screensaver's settings"
!insertmacro MUI_PAGE_FINISH

!define MUI_UNCONFIRMPAGE_TEXT_TOP "${PRODUCT} will be removed from your computer, together with its data folder. The visualisations that you downloaded are kept in that folder, so they are removed too. Your settings stay, and the screensaver you used before ${PRODUCT} is selected again."
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES

!insertmacro MUI_LANGUAGE "English"

; ---- helpers ---------------------------------------------------------------

!macro SelectRegView
  !if "${ARCH}" == "x64"
    SetRegView 64
  !endif
!macroend

Function IsAdmin  ; pushes 1 when this process runs with administrator rights
  UserInfo::GetAccountType
  Pop $0
  ${If} $0 == "Admin"
    Push 1
  ${Else}
    Push 0
  ${EndIf}
FunctionEnd

Function .onInit
  !insertmacro SelectRegView
  !if "${ARCH}" == "x64"
    ${IfNot} ${RunningX64}
      MessageBox MB_ICONSTOP|MB_OK "This is the 64-bit ${PRODUCT}; this Windows is 32-bit. Use QrvSaver2006-setup-x86.exe." /SD IDOK
      Abort
    ${EndIf}
  !endif
  StrCpy $AllUsers 0
  ${GetParameters} $R0
  ClearErrors
  ${GetOptions} $R0 "/ALLUSERS" $R1
  ${IfNot} ${Errors}
    StrCpy $AllUsers 1
  ${EndIf}
  ; An earlier per-user install is upgraded in its own folder.
  ${If} $AllUsers == 0
    ReadRegStr $R2 HKCU "${UNINST_KEY}" "InstallLocation"
    ${If} $R2 != ""
      StrCpy $INSTDIR $R2
    ${EndIf}
  ${EndIf}
  ${If} $AllUsers == 1
    Call IsAdmin
    Pop $R3
    ${If} $R3 != 1
      ${If} ${Silent}
        ; A script that asks for every user must start the installer elevated.
        SetErrorLevel ${ERROR_ELEVATION_REQUIRED}
        Abort
      ${EndIf}
      ExecShell "runas" "$EXEPATH" "/ALLUSERS"
      Quit
    ${EndIf}
  ${EndIf}
FunctionEnd

Function ModePage
  ${If} $AllUsers == 1
    Abort  ; already chosen on the command line
  ${EndIf}
  !insertmacro MUI_HEADER_TEXT "Who uses the screensaver" "Install ${PRODUCT} for you alone or for everyone on this computer."
  nsDialogs::Create 1018
  Pop $0
  ${NSD_CreateRadioButton} 0 10u 100% 12u "Just for me (recommended; no administrator rights needed)"
  Pop $RadioMe
  ${NSD_CreateRadioButton} 0 30u 100% 12u "For everyone on this computer (asks for administrator rights)"
  Pop $RadioAll
  ${NSD_CreateLabel} 0 50u 100% 40u "For everyone, the screensaver goes into the Windows system folder, where the display settings of every user list it. Visualisations can then be downloaded only by an administrator."
  Pop $0
  ${NSD_Check} $RadioMe
  nsDialogs::Show
FunctionEnd

Function ModePageLeave
  ${NSD_GetState} $RadioAll $0
  ${If} $0 == ${BST_CHECKED}
    Call IsAdmin
    Pop $1
    ${If} $1 != 1
      ; Start again elevated; this copy ends.
      ExecShell "runas" "$EXEPATH" "/ALLUSERS"
      Quit
    ${EndIf}
    StrCpy $AllUsers 1
  ${EndIf}
FunctionEnd

Function DirectoryPre
  ${If} $AllUsers == 1
    Abort  ; the system folder is fixed
  ${EndIf}
FunctionEnd

; ---- install ---------------------------------------------------------------

Section "Install"
  ${If} $AllUsers == 1
    SetShellVarContext all
    !if "${ARCH}" == "x64"
      ; The real system folder, not the one that 32-bit programs see.
      ${DisableX64FSRedirection}
      StrCpy $INSTDIR "$WINDIR\System32"
      StrCpy $UninstDir "$PROGRAMFILES64\${PRODUCT}"
    !else
      ; On 64-bit Windows the 32-bit system folder, named as 64-bit programs
      ; (the display settings) find it.
      ${If} ${RunningX64}
        StrCpy $INSTDIR "$WINDIR\SysWOW64"
      ${Else}
        StrCpy $INSTDIR "$SYSDIR"
      ${EndIf}
      StrCpy $UninstDir "$PROGRAMFILES32\${PRODUCT}"
    !endif
  ${Else}
    SetShellVarContext current
    StrCpy $UninstDir "$INSTDIR"
  ${EndIf}

  ; The screensaver that is selected now, remembered once: an upgrade finds
  ; the remembered one and keeps it.
  ReadRegStr $0 HKCU "${UNINST_KEY}" "PreviousRemembered"
  ${If} $0 == ""
    ReadRegStr $0 HKLM "${UNINST_KEY}" "PreviousRemembered"
  ${EndIf}
  ${If} $0 != "1"
    ClearErrors
    ReadRegStr $1 HKCU "${DESKTOP_KEY}" "SCRNSAVE.EXE"
    ${If} ${Errors}
      StrCpy $2 "0"  ; no screensaver was selected
    ${Else}
      StrCpy $2 "1"
    ${EndIf}
    ClearErrors
    ReadRegStr $3 HKCU "${DESKTOP_KEY}" "ScreenSaveActive"
    ${If} ${Errors}
      StrCpy $4 "0"
    ${Else}
      StrCpy $4 "1"
    ${EndIf}
    WriteRegStr SHCTX "${UNINST_KEY}" "PreviousScreenSaveActiveSet" "$4"
    WriteRegStr SHCTX "${UNINST_KEY}" "PreviousScreenSaverSet" "$2"
    WriteRegStr SHCTX "${UNINST_KEY}" "PreviousScreenSaver" "$1"
    WriteRegStr SHCTX "${UNINST_KEY}" "PreviousScreenSaveActive" "$3"
    WriteRegStr SHCTX "${UNINST_KEY}" "PreviousRemembered" "1"
  ${EndIf}

  ; The program and its data folder. Files that the user added to the data
  ; folder (downloaded visualisations) are left as they are.
  SetOutPath "$INSTDIR"
  File "${SRCDIR}\QrvSaver2006.scr"
  SetOutPath "$INSTDIR\QR06V2XLM"
  File /r "${SRCDIR}\QR06V2XLM\*.*"

  SetOutPath "$UninstDir"
  WriteUninstaller "$UninstDir\Uninstall.exe"
  ${If} $AllUsers == 1
  !if "${ARCH}" == "x64"
    ${EnableX64FSRedirection}
  !endif
  ${EndIf}

  ; Select the screensaver.
  WriteRegStr HKCU "${DESKTOP_KEY}" "SCRNSAVE.EXE" "$INSTDIR\QrvSaver2006.scr"
  WriteRegStr HKCU "${DESKTOP_KEY}" "ScreenSaveActive" "1"
  SendMessage ${HWND_BROADCAST} ${WM_SETTINGCHANGE} 0 "STR:Desktop" /TIMEOUT=500

  CreateShortcut "$SMPROGRAMS\${SHORTCUT}" "$INSTDIR\QrvSaver2006.scr" "/c" "$INSTDIR\QrvSaver2006.scr" 0 \
    SW_SHOWNORMAL "" "Choose the visualisation, the background and the music of ${PRODUCT}"

  ; The entry in the list of installed programs.
  WriteRegStr SHCTX "${UNINST_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr SHCTX "${UNINST_KEY}" "DisplayIcon" "$INSTDIR\QrvSaver2006.scr,0"
  WriteRegStr SHCTX "${UNINST_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr SHCTX "${UNINST_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr SHCTX "${UNINST_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr SHCTX "${UNINST_KEY}" "UninstallString" '"$UninstDir\Uninstall.exe"'
  WriteRegStr SHCTX "${UNINST_KEY}" "QuietUninstallString" '"$UninstDir\Uninstall.exe" /S'
  WriteRegStr SHCTX "${UNINST_KEY}" "InstallMode" "$AllUsers"
  WriteRegDWORD SHCTX "${UNINST_KEY}" "NoModify" 1
  WriteRegDWORD SHCTX "${UNINST_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR\QR06V2XLM" "/S=0K" $0 $1 $2
  IntOp $0 $0 + 600
  WriteRegDWORD SHCTX "${UNINST_KEY}" "EstimatedSize" $0
SectionEnd

; ---- uninstall -------------------------------------------------------------

Var UnRoot  ; "HKCU" or "HKLM": where this install's entry is

Function un.onInit
  !insertmacro SelectRegView
  ; The entry whose uninstaller is this one tells the install's kind.
  StrCpy $UnRoot "HKCU"
  ReadRegStr $0 HKLM "${UNINST_KEY}" "UninstallString"
  ${If} $0 == '"$INSTDIR\Uninstall.exe"'
    StrCpy $UnRoot "HKLM"
    SetShellVarContext all  ; SHCTX is HKLM from here on
    Call un.IsAdmin
    Pop $1
    ${If} $1 != 1
      MessageBox MB_ICONSTOP|MB_OK "${PRODUCT} was installed for every user: removing it needs administrator rights." /SD IDOK
      SetErrorLevel ${ERROR_ELEVATION_REQUIRED}
      Quit
    ${EndIf}
  ${EndIf}
FunctionEnd

Function un.IsAdmin
  UserInfo::GetAccountType
  Pop $0
  ${If} $0 == "Admin"
    Push 1
  ${Else}
    Push 0
  ${EndIf}
FunctionEnd

Section "Uninstall"
  ReadRegStr $R0 SHCTX "${UNINST_KEY}" "InstallLocation"
  ${If} $R0 == ""
    StrCpy $R0 "$INSTDIR"
  ${EndIf}
  ${If} $UnRoot == "HKLM"
    !if "${ARCH}" == "x64"
      ${DisableX64FSRedirection}
    !endif
  ${EndIf}

  ; Put the earlier screensaver back, unless the user has chosen another
  ; one since: then that choice stands.
  ReadRegStr $0 HKCU "${DESKTOP_KEY}" "SCRNSAVE.EXE"
  ${If} $0 == "$R0\QrvSaver2006.scr"
    ReadRegStr $1 SHCTX "${UNINST_KEY}" "PreviousScreenSaverSet"
    ReadRegStr $2 SHCTX "${UNINST_KEY}" "PreviousScreenSaver"
    ReadRegStr $3 SHCTX "${UNINST_KEY}" "PreviousScreenSaveActive"
    ReadRegStr $4 SHCTX "${UNINST_KEY}" "PreviousScreenSaveActiveSet"
    ${If} $1 == "1"
      WriteRegStr HKCU "${DESKTOP_KEY}" "SCRNSAVE.EXE" "$2"
    ${Else}
      DeleteRegValue HKCU "${DESKTOP_KEY}" "SCRNSAVE.EXE"
    ${EndIf}
    ${If} $4 == "1"
      WriteRegStr HKCU "${DESKTOP_KEY}" "ScreenSaveActive" "$3"
    ${ElseIf} $4 == "0"
      DeleteRegValue HKCU "${DESKTOP_KEY}" "ScreenSaveActive"
    ${EndIf}
    SendMessage ${HWND_BROADCAST} ${WM_SETTINGCHANGE} 0 "STR:Desktop" /TIMEOUT=500
  ${EndIf}

  Delete "$SMPROGRAMS\${SHORTCUT}"
  Delete "$R0\QrvSaver2006.scr"
  ; The data folder with the shipped movies and songs and the downloaded visualisations.
  RMDir /r "$R0\QR06V2XLM"
  Delete "$INSTDIR\Uninstall.exe"
  RMDir "$INSTDIR"
  ${If} $UnRoot != "HKLM"
    RMDir "$R0"  ; never the system folder
  ${EndIf}
  DeleteRegKey SHCTX "${UNINST_KEY}"
SectionEnd
