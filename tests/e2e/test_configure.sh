#!/usr/bin/env bash
# /c: the settings dialog. Its three tabs, the visualisation list of the data
# folder in proper case, selection from the stored values, Accept's six
# writes in their order, and the ways of closing that write nothing. Also the
# owner from /c:<hwnd> and the link to the site.
source "$(dirname "$0")/lib.sh"
source "$(dirname "$0")/dialog_lib.sh"
e2e_begin configure

app_data="$E2E_DIR/app/QR06V2XLM"
cp "$app_data/(Default).vsi" "$app_data/my visual.vsi"
cp "$app_data/(Default).vsi" "$app_data/a.vsi"

# 1. A fresh profile: the defaults are written, and shown.
WINEDEBUG=+exec open_dialog
sleep 1
[ "$(ctl_field List1 items)" = "(default)|My Visual" ] || fail "List1 holds '$(ctl_field List1 items)'"
[ "$(ctl_field List1 sel)" = 0 ] || fail "FileID (Default) did not select (default)"
[ "$(ctl_field SSTAB1 tab)" = 0 ] || fail "tab 0 is not the first one shown"
[ "$(reg_value "$SETTINGS_KEY" InsKo)" = regkoinic ] || fail "the first-run values were not written"
shot configure_tab0_96 >/dev/null
for t in 1 2; do
  xdotool key ctrl+Tab
  wait_until 5 test "$(ctl_field SSTAB1 tab)" = $t || fail "Ctrl+Tab did not show tab $t"
  [ "$(ctl_field "$([ $t = 1 ] && echo ChkSound || echo Label1)" vis)" = 1 ] || fail "page $t is not visible"
  sleep 0.5
  shot configure_tab${t}_96 >/dev/null
done
[ "$(ctl_field Label1 text)" = "Q-VM-1.6.1101" ] || fail "Label1 reads '$(ctl_field Label1 text)'"
[ "$(ctl_field LbVisit text)" = "https://qrvsaver.example/" ] || fail "LbVisit reads '$(ctl_field LbVisit text)'"
about=$(ctl_field LbAbout text)
[[ "$about" == *"QrvSaver2006 developers~~Contact: "*"@"*"~~" ]] || fail "LbAbout reads '$about'"
xdotool key ctrl+shift+Tab
wait_until 5 test "$(ctl_field SSTAB1 tab)" = 1 || fail "Ctrl+Shift+Tab did not go back"
[ "$(ctl_field ChkSound text)" = "Enable &Sound" ] && [ "$(ctl_field BtStop text)" = "S&top" ] &&
  [ "$(ctl_field COMMAND3 text)" = "&Accept" ] && [ "$(ctl_field COMMAND1 text)" = "Cl&ose" ] ||
  fail "captions differ"
log "tabs, list, first-run values and captions: ok"

# The link asks the shell to open the site's address. (Traced; the browser
# that Wine would start is not there.)
xdotool key ctrl+Tab
wait_until 5 test "$(ctl_field SSTAB1 tab)" = 2 || fail "no About tab"
click LbVisit
app_folder=$(winepath -w "$E2E_DIR/app" | sed 's/\\/\\\\/g')
shell_asked() {
  grep -qF "\"Open\",\"https://qrvsaver.example/\",\"\",\"$app_folder\",1" "$E2E_DIR/app.log" &&
    grep -qE 'trace:exec:ShellExecuteA [0-9A-Fa-f]*[1-9A-Fa-f][0-9A-Fa-f]*,"Open"' "$E2E_DIR/app.log"
}
wait_until 20 shell_asked || fail "the link did not ask the shell to open the site: $(grep -m1 ShellExecuteA "$E2E_DIR/app.log")"
log "the link opens https://qrvsaver.example/ with the dialog as owner: ok"
# 2. Esc is Close: nothing written, exit code 0.
before=$(settings_dump)
xdotool key Escape
wait_exit 20 || fail "Esc did not close the dialog"
[ "$APP_RC" = 0 ] || fail "exit code $APP_RC after Esc"
[ "$(settings_dump)" = "$before" ] || fail "Esc changed the settings"
log "Esc closes and writes nothing: ok"

# 3. Accept: "the Drive" selects "The drive"; the user's changes by mouse and
# access keys; the six values written in their order, under WINEDEBUG=+reg.
preset SoundID='the Drive'
WINEDEBUG=+reg open_dialog
[ "$(ctl_field LstMidi sel)" = 3 ] || fail "SoundID 'the Drive' selected item $(ctl_field LstMidi sel)"
click_item List1 1
wait_until 5 test "$(ctl_field List1 sel)" = 1 || fail "a click did not select My Visual"
xdotool key alt+d
wait_until 5 test "$(ctl_field ChkBackground chk)" = 1 || fail "Alt+D did not tick the wallpaper"
xdotool key ctrl+Tab
xdotool key alt+r
wait_until 5 test "$(ctl_field ChkRandom chk)" = 1 || fail "Alt+R did not tick Random Music"
: > "$E2E_DIR/mark"
click Command3
wait_exit 20 || fail "Accept did not end the program"
[ "$APP_RC" = 0 ] || fail "exit code $APP_RC after Accept"
writes=$( (grep -aE 'trace:reg:NtSetValueKey' "$E2E_DIR/app.log" || true) | grep -oE 'L?"(EnableSound|FileID|SoundMCI|SoundID|SoundRND|UseBackGround)"' | tr -d 'L"' | tr '\n' ' ' || true)
[ "$writes" = "EnableSound FileID SoundMCI SoundID SoundRND UseBackGround " ] || fail "writes in the order: $writes"
expected=$(printf '%s\n' EnableSound=1 'FileID=My Visual' SoundMCI=1 'SoundID=The drive' SoundRND=1 UseBackGround=1 InsKo=regkoinic)
[ "$(settings_dump)" = "$expected" ] || fail "after Accept: $(settings_dump | tr '\n' ' ')"
log "Accept writes the six values in order: ok"

# 4. Close and the system's close (Alt+F4) write nothing, stop a playing
# preview and end with 0. The first run is owned by a live window given as
# /c:<hwnd>; the second names a window that does not exist and opens unowned.
host="$HELPERS/preview_host.exe"
(cd "$E2E_DIR" && exec "$QRV_WINE" "$host" 'Z:'"$(echo "$E2E_DIR/hwnd.txt" | tr / '\\')" >/dev/null 2>&1) &
E2E_PIDS+=("$!")
wait_until 30 test -s "$E2E_DIR/hwnd.txt" || fail "the owner window did not start"
area=$(tr -d '\r\n' < "$E2E_DIR/hwnd.txt")
owner=$(probe root "$area")  # the dialog is owned by the top-level window
for way in close system; do
  preset
  before=$(settings_dump)
  if [ $way = close ]; then WINEDEBUG=+mci open_dialog "/c:$area"; else WINEDEBUG=+mci open_dialog /c:4000000; fi
  got=$(probe owner "$DLG")
  if [ $way = close ]; then [ "$got" = "$owner" ] || fail "/c:$area: the owner is '$got'"
  else [ "$got" = 0 ] || fail "/c with a dead handle: the owner is '$got'"; fi
  xdotool key alt+d
  wait_until 5 test "$(ctl_field ChkBackground chk)" = 1 || fail "Alt+D did not tick the wallpaper"
  xdotool key ctrl+Tab alt+p
  wait_until 10 mci_sent "play QrvMid from 0" || fail "$way: Play sent no play command"
  shot "configure_before_${way}" >/dev/null
  if [ $way = close ]; then click Command1; else xdotool key alt+F4; fi
  wait_exit 20 || fail "$way did not end the program"
  [ "$APP_RC" = 0 ] || fail "exit code $APP_RC after $way"
  [ "$(settings_dump)" = "$before" ] || fail "$way changed the settings: $(settings_dump | tr '\n' ' ')"
  mci_commands | sed -n '/^play QrvMid from 0$/,$p' | grep -qxF "close QrvMid" || fail "$way did not stop the preview"
  log "$way: owner $got, nothing written, preview stopped: ok"
done
echo "PASS configure"
