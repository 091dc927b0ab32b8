#!/usr/bin/env bash
# The installer of the program under test, run silently: the files, the
# screensaver selected after the previous one was remembered, the Start-menu
# entry, the entry in the list of installed programs; /s runs from the
# installed place; an upgrade keeps the settings and a downloaded
# visualisation; the silent uninstall leaves only the settings key behind and
# puts the previous screensaver back. Folders: /D= gets a folder of its own,
# a folder that the installer did not make is neither written into nor
# removed. For every user: the system folder, the screensaver set for the
# installing user alone, which its last page says; a per-user install beside
# it remembers its own previous screensaver, writes a path with blanks in its
# short form, and its uninstaller recognises that form.
source "$(dirname "$0")/lib.sh"
source "$(dirname "$0")/dialog_lib.sh"
e2e_begin installer

# QRV_TEST_SETUP names another installer to test (of the same program).
SETUP="${QRV_TEST_SETUP:-$E2E_ROOT/dist/$(installer_name)}"
[ -f "$SETUP" ] || fail "missing $SETUP (scripts/build.sh builds it)"
DESKTOP='HKCU\Control Panel\Desktop'
UNINST='HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\QrvSaver2006'
users="$WINEPREFIX/drive_c/users"

# The user's screensaver before the install, and the activation switched off.
wine reg add "$DESKTOP" /v SCRNSAVE.EXE /t REG_SZ /d 'C:\windows\system32\previous.scr' /f >/dev/null 2>&1
wine reg add "$DESKTOP" /v ScreenSaveActive /t REG_SZ /d 0 /f >/dev/null 2>&1

wine "$SETUP" /S || fail "the silent install returned $?"
inst=$(find "$users" -maxdepth 5 -type d -path '*/AppData/Local/Programs/QrvSaver2006' | head -1)
[ -n "$inst" ] || fail "nothing in the user's local program folder"
user=$(basename "$(dirname "$(dirname "$(dirname "$(dirname "$inst")")")")")
win_inst="C:\\users\\$user\\AppData\\Local\\Programs\\QrvSaver2006"
cmp -s "$inst/QrvSaver2006.scr" "$DIST/QrvSaver2006.scr" || fail "the installed program is not the built one"
diff -r "$inst/QR06V2XLM" "$DIST/QR06V2XLM" >/dev/null || fail "the installed data folder differs from dist/QR06V2XLM"
[ -f "$inst/Uninstall.exe" ] || fail "no uninstaller"
log "files in $win_inst: ok"

[ "$(reg_value "$DESKTOP" SCRNSAVE.EXE)" = "$win_inst\\QrvSaver2006.scr" ] ||
  fail "SCRNSAVE.EXE is '$(reg_value "$DESKTOP" SCRNSAVE.EXE)'"
[ "$(reg_value "$DESKTOP" ScreenSaveActive)" = 1 ] || fail "ScreenSaveActive is not 1"
[ "$(reg_value "$UNINST" PreviousScreenSaver)" = 'C:\windows\system32\previous.scr' ] || fail "the previous screensaver was not remembered"
log "selected as the screensaver, the previous one remembered: ok"

lnk="$users/$user/AppData/Roaming/Microsoft/Windows/Start Menu/Programs/QrvSaver2006 Settings.lnk"
[ -f "$lnk" ] || fail "no Start-menu entry 'QrvSaver2006 Settings'"
# A shell link keeps its target path (8-bit) and its arguments (UTF-16).
grep -aq 'QrvSaver2006.scr' "$lnk" || fail "the Start-menu entry does not run the program"
xxd -p "$lnk" | tr -d '\n' | grep -qE '0[23]002f006300' || fail "the Start-menu entry does not pass /c"
log "Start-menu entry runs the program with /c: ok"

for kv in DisplayName=QrvSaver2006 'Publisher=QrvSaver2006 developers' "DisplayIcon=$win_inst\\QrvSaver2006.scr,0" \
          "UninstallString=\"$win_inst\\Uninstall.exe\"" "InstallLocation=$win_inst"; do
  got=$(reg_value "$UNINST" "${kv%%=*}")
  [ "$got" = "${kv#*=}" ] || fail "uninstall entry ${kv%%=*} is '$got', expected '${kv#*=}'"
done
version=$(reg_value "$UNINST" DisplayVersion)
[[ "$version" =~ ^[0-9]+\.[0-9]+\.[0-9]+\.[0-9]+$ ]] || fail "DisplayVersion '$version'"
log "uninstall entry with name, icon, version $version and publisher: ok"

# /s from the installed place: it finds its data folder there and runs.
(cd "$WINEPREFIX/drive_c" && exec "$QRV_WINE" "$inst/QrvSaver2006.scr" /s >"$E2E_DIR/app.log" 2>&1) &
APP_PID=$!; E2E_PIDS+=("$APP_PID")
wait_until 90 window_named QrvSaver2006 || fail "the installed program showed no window"
xdotool mousemove 600 10
wait_until 30 placed || fail "the installed program did not finish loading"
sleep 1
shot installed_run >/dev/null
background_margin "$SCREENS/installed_run.png" || fail "the background picture is not on screen ($SCREENS/installed_run.png)"
xdotool mousemove 300 300 click 1
wait_exit 15 || fail "a click did not end the installed program"
[ "$(reg_value "$SETTINGS_KEY" InsKo)" = regkoinic ] || fail "the installed program wrote no settings"
log "/s runs from the installed place: ok"

# Upgrade: a downloaded visualisation and the settings survive a second install.
cp "$inst/QR06V2XLM/(Default).vsi" "$inst/QR06V2XLM/Downloaded.vsi"
wine reg add "$SETTINGS_KEY" /v FileID /t REG_SZ /d Downloaded /f >/dev/null 2>&1
wine "$SETUP" /S || fail "the upgrade returned $?"
[ -f "$inst/QR06V2XLM/Downloaded.vsi" ] || fail "the upgrade removed the downloaded visualisation"
[ "$(reg_value "$SETTINGS_KEY" FileID)" = Downloaded ] || fail "the upgrade changed the settings"
[ "$(reg_value "$UNINST" PreviousScreenSaver)" = 'C:\windows\system32\previous.scr' ] ||
  fail "the upgrade remembered '$(reg_value "$UNINST" PreviousScreenSaver)' as the previous screensaver"
log "upgrade keeps the downloaded visualisation, the settings and the remembered screensaver: ok"

# Silent uninstall. The uninstaller runs from a copy in the temporary folder;
# wineserver -w waits for it.
wine "$inst/Uninstall.exe" /S || fail "the silent uninstall returned $?"
wineserver -w
[ ! -e "$inst" ] || fail "left behind: $(find "$inst" | head -5 | tr '\n' ' ')"
[ ! -e "$lnk" ] || fail "the Start-menu entry is still there"
wine reg query "$UNINST" >/dev/null 2>&1 && fail "the uninstall entry is still there"
[ "$(reg_value "$DESKTOP" SCRNSAVE.EXE)" = 'C:\windows\system32\previous.scr' ] ||
  fail "SCRNSAVE.EXE is '$(reg_value "$DESKTOP" SCRNSAVE.EXE)' after the uninstall"
[ "$(reg_value "$DESKTOP" ScreenSaveActive)" = 0 ] || fail "ScreenSaveActive was not restored"
[ "$(reg_value "$SETTINGS_KEY" FileID)" = Downloaded ] || fail "the user's settings key went"
left=$(find "$WINEPREFIX/drive_c" -iname '*qrvsaver2006*' -o -iname 'QR06V2XLM' | grep -v '/Temp/' || true)
[ -z "$left" ] || fail "files left behind: $left"
# The export is in UTF-16: read as text, and it must hold the exported tree,
# or the search below would find nothing in anything.
wine reg export 'HKCU\Software' "$E2E_DIR/software.reg" /y >/dev/null 2>&1 || fail "reg export of HKCU\\Software failed"
iconv -f UTF-16 -t UTF-8 "$E2E_DIR/software.reg" >"$E2E_DIR/software.txt" || fail "the registry export is not UTF-16 text"
grep -q '^\[HKEY_CURRENT_USER\\Software\\Wine' "$E2E_DIR/software.txt" ||
  fail "the registry export holds no HKCU\\Software tree: $(head -c 300 "$E2E_DIR/software.txt")"
grep -qi 'qrvsaver2006' "$E2E_DIR/software.txt" && fail "registry entries left under HKCU\\Software: $(grep -i qrvsaver2006 "$E2E_DIR/software.txt" | head -3)"
log "silent uninstall: nothing left but the settings key, previous screensaver back: ok"

# /D= names a folder that holds a QrvSaver2006 folder the installer did not
# make (with the user's file in it): the install refuses and writes nothing.
foreign="$WINEPREFIX/drive_c/Foreign"
mkdir -p "$foreign/QrvSaver2006"; echo mine >"$foreign/QrvSaver2006/mine.txt"
rc=0; wine "$SETUP" /S '/D=C:\Foreign' || rc=$?
[ "$rc" != 0 ] || fail "the install into a folder that it did not make returned 0"
[ "$(cd "$foreign" && find . | sort | tr '\n' ' ')" = ". ./QrvSaver2006 ./QrvSaver2006/mine.txt " ] ||
  fail "the refused install wrote into C:\\Foreign: $(cd "$foreign" && find . | head -5 | tr '\n' ' ')"
wine reg query "$UNINST" >/dev/null 2>&1 && fail "the refused install wrote an uninstall entry"
[ "$(reg_value "$DESKTOP" SCRNSAVE.EXE)" = 'C:\windows\system32\previous.scr' ] || fail "the refused install changed SCRNSAVE.EXE"
log "an existing folder that the installer did not make is refused, nothing written: ok"

# For every user (Wine's user is an administrator, so no prompt): the system
# folder that the program's own kind of Windows programs use (the real
# System32 for the 64-bit program), the entry under HKLM, and the uninstaller
# beside the other programs; its uninstall takes all of it away again.
if [[ "$SETUP" == *x64* ]] || [ ! -d "$WINEPREFIX/drive_c/windows/syswow64" ]; then
  sys=system32; progs="Program Files"
else
  sys=syswow64; progs="Program Files (x86)"
fi
LM_UNINST='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\QrvSaver2006'
lm_value() {  # a value of the HKLM entry, in the 64-bit or the 32-bit view
  local view
  for view in /reg:64 /reg:32; do
    wine reg query "$LM_UNINST" /v "$1" "$view" 2>/dev/null | tr -d '\r' |
      awk -v n="$1" 'tolower($1)==tolower(n) {sub(/^[ \t]*[^ \t]+[ \t]+[^ \t]+[ \t]*/, ""); print; f=1; exit} END {exit !f}' && return 0
  done
  return 0
}
wine "$SETUP" /ALLUSERS /S || fail "the silent install for every user returned $?"
sysdir="$WINEPREFIX/drive_c/windows/$sys"
cmp -s "$sysdir/QrvSaver2006.scr" "$DIST/QrvSaver2006.scr" || fail "the program is not in windows\\$sys"
diff -r "$sysdir/QR06V2XLM" "$DIST/QR06V2XLM" >/dev/null || fail "the data folder is not in windows\\$sys"
[ "$(lm_value InstallLocation | tr A-Z a-z)" = "c:\\windows\\$sys" ] || fail "HKLM entry InstallLocation '$(lm_value InstallLocation)'"
[ "$(reg_value "$DESKTOP" SCRNSAVE.EXE | tr A-Z a-z)" = "c:\\windows\\$sys\\qrvsaver2006.scr" ] ||
  fail "SCRNSAVE.EXE is '$(reg_value "$DESKTOP" SCRNSAVE.EXE)' after the install for every user"
[ "$(lm_value Publisher)" = 'QrvSaver2006 developers' ] || fail "no HKLM uninstall entry"
[ -f "$WINEPREFIX/drive_c/$progs/QrvSaver2006/Uninstall.exe" ] || fail "no uninstaller in $progs"
[ -f "$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/QrvSaver2006 Settings.lnk" ] ||
  fail "no Start-menu entry for every user"
[ -z "$(reg_value "$UNINST" DisplayName)" ] || fail "the install for every user wrote a per-user entry"
log "install for every user into windows\\$sys, entry under HKLM: ok"

# The same install with its pages: the last page says that the screensaver
# was set for this user alone.
(exec "$QRV_WINE" "$SETUP" /ALLUSERS >"$E2E_DIR/setup.log" 2>&1) &
SETUP_PID=$!; E2E_PIDS+=("$SETUP_PID")
wait_until 90 window_named '^QrvSaver2006 Setup' || fail "the installer showed no window"
# The caption as the window has it now (each page may add to it).
title() { xdotool getwindowname "$(xdotool search --name '^QrvSaver2006 Setup' | head -1)" 2>/dev/null; }
next_shown() { probe dump "$(title)" | grep -q '^id=1 .*text=&Next'; }
wait_until 30 next_shown || fail "no Next button on the first page of '$(title)'"
click_button "$(title)" 1
says_so() { probe dump "$(title)" | grep -q 'It is not the screensaver of the other users'; }
wait_until 90 says_so || fail "the last page does not say that the screensaver was set for this user alone: $(probe dump "$(title)" | grep -i 'text=.*screensaver' | head -3)"
shot installer_all_users_finish >/dev/null
kill "$SETUP_PID" 2>/dev/null; wait "$SETUP_PID" 2>/dev/null || true
log "the install for every user says that it set the screensaver for this user alone: ok"

# A per-user install beside it, into a folder with a blank that holds a file
# of the user's: its own folder inside, the previous screensaver (the one
# for every user) remembered in its own entry, SCRNSAVE.EXE in the short
# form; its uninstall recognises that form, puts the one for every user
# back, and leaves the user's folder and file.
mine_root="$WINEPREFIX/drive_c/My Programs"
mkdir -p "$mine_root"; echo notes >"$mine_root/notes.txt"
# /D= takes the rest of the command line as it stands, blanks and all: no
# quotes around it, so it goes through cmd.
wine cmd /c "$(winepath -w "$SETUP") /S /D=C:\My Programs" || fail "the per-user install into C:\\My Programs returned $?"
mine="$mine_root/QrvSaver2006"
cmp -s "$mine/QrvSaver2006.scr" "$DIST/QrvSaver2006.scr" || fail "not installed into C:\\My Programs\\QrvSaver2006: $(ls "$mine_root" | tr '\n' ' ')"
[ "$(reg_value "$UNINST" PreviousScreenSaver | tr A-Z a-z)" = "c:\\windows\\$sys\\qrvsaver2006.scr" ] ||
  fail "the per-user install remembered '$(reg_value "$UNINST" PreviousScreenSaver)' as the previous screensaver"
short=$(reg_value "$DESKTOP" SCRNSAVE.EXE)
[[ "$short" != *" "* ]] || fail "SCRNSAVE.EXE '$short' has a blank: not the short form"
cmp -s "$(winepath -u "$short" 2>/dev/null)" "$mine/QrvSaver2006.scr" || fail "SCRNSAVE.EXE '$short' does not name the installed program"
log "per-user install beside the one for every user: own folder, own previous screensaver, SCRNSAVE.EXE $short: ok"
wine "$mine/Uninstall.exe" /S || fail "the per-user uninstall returned $?"
wineserver -w
[ ! -e "$mine" ] || fail "the per-user folder stayed: $(find "$mine" | head -3 | tr '\n' ' ')"
[ "$(cat "$mine_root/notes.txt" 2>/dev/null)" = notes ] || fail "the uninstall took the user's folder or file"
[ "$(reg_value "$DESKTOP" SCRNSAVE.EXE | tr A-Z a-z)" = "c:\\windows\\$sys\\qrvsaver2006.scr" ] ||
  fail "after the per-user uninstall SCRNSAVE.EXE is '$(reg_value "$DESKTOP" SCRNSAVE.EXE)': the short form was not recognised"
log "its uninstall recognised the short form and left the user's folder: ok"

# A folder typed on the folder page gets a folder of its own as well.
(exec "$QRV_WINE" "$SETUP" >"$E2E_DIR/setup2.log" 2>&1) &
SETUP_PID=$!; E2E_PIDS+=("$SETUP_PID")
wait_until 90 next_shown || fail "no Next button on the first page of the per-user install"
click_button "$(title)" 1
mode_shown() { probe dump "$(title)" | grep -q 'text=Just for me'; }
wait_until 30 mode_shown || fail "no page with the choice of who uses the screensaver"
click_button "$(title)" 1
folder_shown() { probe dump "$(title)" | grep -qE '^id=1019 .*class=Edit'; }
wait_until 30 folder_shown || fail "no folder page"
click_button "$(title)" 1019
xdotool key End shift+Home BackSpace
xdotool type --delay 30 'C:\Paged'
probe dump "$(title)" | grep -qE '^id=1019 .*text=C:\\Paged$' || fail "the folder was not typed: $(probe dump "$(title)" | grep '^id=1019 ')"
click_button "$(title)" 1
paged_done() { probe dump "$(title)" | grep -q 'It is now your screensaver\|is installed for you'; }
wait_until 90 paged_done || fail "the install from the pages did not finish"
kill "$SETUP_PID" 2>/dev/null; wait "$SETUP_PID" 2>/dev/null || true
paged="$WINEPREFIX/drive_c/Paged"
cmp -s "$paged/QrvSaver2006/QrvSaver2006.scr" "$DIST/QrvSaver2006.scr" ||
  fail "the folder typed on the page got no folder of its own: $(cd "$paged" 2>/dev/null && ls | tr '\n' ' ')"
wine "$paged/QrvSaver2006/Uninstall.exe" /S || fail "the uninstall of the install from the pages returned $?"
wineserver -w
[ ! -e "$paged/QrvSaver2006" ] || fail "the uninstall left $paged/QrvSaver2006"
log "a folder typed on the page got \\QrvSaver2006 appended: ok"
wine "C:\\$progs\\QrvSaver2006\\Uninstall.exe" /S || fail "the uninstall for every user returned $?"
wineserver -w
[ ! -e "$sysdir/QrvSaver2006.scr" ] && [ ! -e "$sysdir/QR06V2XLM" ] || fail "the program stayed in windows\\$sys"
[ -d "$sysdir" ] || fail "the system folder went"
[ ! -e "$WINEPREFIX/drive_c/$progs/QrvSaver2006" ] || fail "the uninstaller's folder stayed"
[ -z "$(lm_value DisplayName)" ] || fail "the HKLM uninstall entry stayed"
[ "$(reg_value "$DESKTOP" SCRNSAVE.EXE)" = 'C:\windows\system32\previous.scr' ] ||
  fail "SCRNSAVE.EXE is '$(reg_value "$DESKTOP" SCRNSAVE.EXE)' after the uninstall for every user"
log "uninstall for every user: ok"
echo "PASS installer"
