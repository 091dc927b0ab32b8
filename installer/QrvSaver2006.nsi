; Installer of QrvSaver2006, one per program: makensis -DARCH=x86|x64
; -DSRCDIR=<folder with QrvSaver2006.scr and QR06V2XLM> -DVERSION=a.b.c.d
; -DOUTFILE=<installer path>. scripts/build.sh passes them.
;
; By default it installs for the current user, without administrator rights,
; into the user's local program folder. /ALLUSERS (or the choice on the first
; page) installs into the system folder for every user, behind the
; administrator prompt. /S installs silently; /D=<folder> picks the folder of
; a per-user install, in which a folder QrvSaver2006 of its own is made.
;
; It writes only into folders it made itself (the system folder of an
; install for every user aside, where it makes its data folder), and its
; uninstaller removes only folders that the install made: which ones is
; kept in the uninstall entry.

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
Var FinishText    ; what the last page says

!define MUI_WELCOMEPAGE_TEXT "This installs the ${PRODUCT} screensaver (${ARCH}, version ${VERSION}) and makes it your screensaver.$\r$\n$\r$\nThe screensaver you use now is remembered, and uninstalling ${PRODUCT} puts it back."
!insertmacro MUI_PAGE_WELCOME
Page custom ModePage ModePageLeave
!define MUI_PAGE_CUSTOMFUNCTION_PRE DirectoryPre
!define MUI_PAGE_CUSTOMFUNCTION_LEAVE DirectoryLeave
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!define MUI_FINISHPAGE_TEXT "$FinishText"
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

; The folder of a per-user install is always one of its own: a folder chosen
; with /D= or on the page gets \QrvSaver2006 appended (unless it already ends
; so), and so the uninstaller never empties a folder full of the user's files.
Function AppendProductFolder
  StrCpy $0 "$INSTDIR"
  ${Do}
    StrCpy $1 "$0" 1 -1
    ${If} $1 != "\"
    ${AndIf} $1 != "/"
      ${Break}
    ${EndIf}
    StrCpy $0 "$0" -1
  ${Loop}
  ${GetFileName} "$0" $1
  ${If} $1 == "${PRODUCT}"
    StrCpy $INSTDIR "$0"
  ${Else}
    StrCpy $INSTDIR "$0\${PRODUCT}"
  ${EndIf}
FunctionEnd

; Pushes 1 when $INSTDIR may take a per-user install: a folder that does not
; exist yet, or the folder of this user's earlier install (an upgrade).
Function FolderIsOurs
  ReadRegStr $0 HKCU "${UNINST_KEY}" "InstallLocation"
  ${If} $0 != ""
  ${AndIf} $0 == "$INSTDIR"
    Push 1
  ${ElseIf} ${FileExists} "$INSTDIR"
  ${OrIf} ${FileExists} "$INSTDIR\*.*"
    Push 0
  ${Else}
    Push 1
  ${EndIf}
FunctionEnd

!define FOREIGN_FOLDER_TEXT "The folder $INSTDIR already exists and was not made by this installer. ${PRODUCT} installs only into a new folder of its own: choose another one."

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
  ; An earlier per-user install is upgraded in its own folder; a new one
  ; goes into a folder of its own.
  ${If} $AllUsers == 0
    ReadRegStr $R2 HKCU "${UNINST_KEY}" "InstallLocation"
    ${If} $R2 != ""
      StrCpy $INSTDIR $R2
    ${Else}
      Call AppendProductFolder
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
  ${NSD_CreateLabel} 0 50u 100% 50u "For everyone, the screensaver goes into the Windows system folder, where the display settings of every user list it. It becomes the screensaver of your account only: every other user picks it in their own display settings. Visualisations can then be downloaded only by an administrator."
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

Function DirectoryLeave
  Call AppendProductFolder
  Call FolderIsOurs
  Pop $0
  ${If} $0 != 1
    MessageBox MB_ICONEXCLAMATION|MB_OK "${FOREIGN_FOLDER_TEXT}"
    Abort  ; stay on the page
  ${EndIf}
FunctionEnd

; Pushes 1 when the string on the stack holds a blank, else 0.
Function HasBlank
  Exch $0
  Push $1
  Push $2
  StrCpy $2 0
  ${Do}
    StrCpy $1 "$0" 1 $2
    ${If} $1 == ""
      StrCpy $0 0
      ${Break}
    ${ElseIf} $1 == " "
      StrCpy $0 1
      ${Break}
    ${EndIf}
    IntOp $2 $2 + 1
  ${Loop}
  Pop $2
  Pop $1
  Exch $0
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
    ; The folder page keeps what was typed in it: the folder of its own is
    ; appended here (an upgrade stays where it is).
    ReadRegStr $0 HKCU "${UNINST_KEY}" "InstallLocation"
    ${If} $0 == ""
    ${OrIf} $0 != "$INSTDIR"
      Call AppendProductFolder
    ${EndIf}
    StrCpy $UninstDir "$INSTDIR"
    ; Whatever the pages or the command line said, never into a folder of
    ; someone else's.
    Call FolderIsOurs
    Pop $0
    ${If} $0 != 1
      MessageBox MB_ICONSTOP|MB_OK "${FOREIGN_FOLDER_TEXT}" /SD IDOK
      SetErrorLevel 2
      Abort
    ${EndIf}
  ${EndIf}

  ; The folders that this install makes, kept in its entry so that the
  ; uninstaller removes those and no others. An upgrade finds them made
  ; already and keeps the earlier entry's word.
  ${IfNot} ${FileExists} "$INSTDIR\*.*"
    WriteRegStr SHCTX "${UNINST_KEY}" "MadeFolder" "1"
  ${EndIf}
  ${IfNot} ${FileExists} "$INSTDIR\QR06V2XLM\*.*"
    WriteRegStr SHCTX "${UNINST_KEY}" "MadeDataFolder" "1"
  ${EndIf}
  ${IfNot} ${FileExists} "$UninstDir\*.*"
    WriteRegStr SHCTX "${UNINST_KEY}" "MadeUninstallerFolder" "1"
  ${EndIf}

  ; The screensaver that is selected now, remembered once in this install's
  ; own entry (HKCU for one user, HKLM for all): an upgrade finds the
  ; remembered one and keeps it, and an install of the other kind does not
  ; stand in for it.
  ReadRegStr $0 SHCTX "${UNINST_KEY}" "PreviousRemembered"
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

  ; Select the screensaver, for the user who runs the installer only (other
  ; users' choices are theirs). A path with blanks is written in its short
  ; form, which every reader of the value takes as one path.
  StrCpy $5 "$INSTDIR\QrvSaver2006.scr"
  Push $5
  Call HasBlank
  Pop $6
  ${If} $6 == 1
    GetFullPathName /SHORT $6 "$5"
    ${If} $6 != ""
      StrCpy $5 $6
    ${EndIf}
  ${EndIf}
  ${If} $AllUsers == 1
  !if "${ARCH}" == "x64"
    ${EnableX64FSRedirection}
  !endif
  ${EndIf}
  WriteRegStr HKCU "${DESKTOP_KEY}" "SCRNSAVE.EXE" "$5"
  WriteRegStr SHCTX "${UNINST_KEY}" "ScreenSaverValue" "$5"
  WriteRegStr HKCU "${DESKTOP_KEY}" "ScreenSaveActive" "1"
  ${If} $AllUsers == 1
    StrCpy $FinishText "${PRODUCT} is installed for every user of this computer, and it is now your screensaver. It is not the screensaver of the other users: each of them can pick it in their own display settings."
    DetailPrint "$FinishText"
  ${Else}
    StrCpy $FinishText "${PRODUCT} is installed for you, and it is now your screensaver."
  ${EndIf}
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
  ; one since: then that choice stands. The value names this program in its
  ; long or its short (8.3) form, as the install wrote it or as the display
  ; settings did.
  ReadRegStr $0 HKCU "${DESKTOP_KEY}" "SCRNSAVE.EXE"
  ReadRegStr $5 SHCTX "${UNINST_KEY}" "ScreenSaverValue"
  StrCpy $6 ""
  GetFullPathName /SHORT $6 "$R0\QrvSaver2006.scr"
  StrCpy $7 0
  ${If} $0 == "$R0\QrvSaver2006.scr"
    StrCpy $7 1
  ${ElseIf} $0 != ""
    ${If} $0 == $5
    ${OrIf} $0 == $6
      StrCpy $7 1
    ${EndIf}
  ${EndIf}
  ${If} $7 == 1
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
  ; The data folder with the shipped movies and songs and the downloaded
  ; visualisations, when the install made it; a folder of that name that was
  ; there before stays.
  ReadRegStr $1 SHCTX "${UNINST_KEY}" "MadeDataFolder"
  ${If} $1 == "1"
    RMDir /r "$R0\QR06V2XLM"
  ${EndIf}
  Delete "$INSTDIR\Uninstall.exe"
  ; The folders that the install made, if empty now; never one it did not
  ; make (the system folder, or a folder that held the user's files).
  ReadRegStr $1 SHCTX "${UNINST_KEY}" "MadeUninstallerFolder"
  ${If} $1 == "1"
  ${AndIf} $INSTDIR != $R0
    RMDir "$INSTDIR"
  ${EndIf}
  ReadRegStr $1 SHCTX "${UNINST_KEY}" "MadeFolder"
  ${If} $1 == "1"
  ${AndIf} $UnRoot != "HKLM"
    RMDir "$R0"
  ${EndIf}
  DeleteRegKey SHCTX "${UNINST_KEY}"
SectionEnd
