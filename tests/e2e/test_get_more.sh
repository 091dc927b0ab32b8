#!/usr/bin/env bash
# "Get More" in the real program: /c, the button opens the download-code
# form, a code from the catalogue is typed, the movie downloads from the
# program's built-in site address (served locally through the prefix's
# proxy), the new visualisation is listed and selected; Accept stores it and
# /s loads it.
source "$(dirname "$0")/lib.sh"
source "$(dirname "$0")/dialog_lib.sh"
source "$(dirname "$0")/download_lib.sh"
e2e_begin get_more
site_server_start
open_dialog
[ "$(ctl_field Command2 en)" = 1 ] || fail "Get More is disabled"
click Command2
wait_until 90 window_named '^Visualisations$' || fail "Get More opened no form"
sleep 0.5
shot get_more_form
eval "$(xdotool getwindowgeometry --shell "$(xdotool search --name '^Visualisations$' | head -1)")"
: >"$E2E_DIR/watch.log"
(exec "$QRV_WINE" "$HELPERS/dlg_watch.exe" 240 --ok >"$E2E_DIR/watch.log" 2>/dev/null) &
E2E_PIDS+=("$!")
xdotool mousemove $((X + 152)) $((Y + 297)) click 1
xdotool type --delay 40 '172003102221'   # orbits
xdotool mousemove $((X + 305)) $((Y + 298)) click 1
wait_until 60 watched "message Downloading ORBITS visualisation..." || fail "download did not start"
wait_until 120 watched "msgbox The visualisation has been successfully downloaded." || fail "no success"
wait_until 30 bash -c '! xdotool search --name "^Visualisations$" >/dev/null 2>&1' || fail "form stayed open"
wait_until 10 test "$(ctl_field List1 items)" = "(default)|Orbits" || fail "List1 holds '$(ctl_field List1 items)'"
[ "$(ctl_field List1 sel)" = 1 ] || fail "Orbits not selected"
shot get_more_listed
cmp -s "$E2E_DIR/app/QR06V2XLM/orbits.vsi" "$E2E_ROOT/site/VelmaraScreensaver/DWN/orbits.exe" || fail "file differs"
click Command3
wait_exit 30 || fail "Accept did not end the program"
[ "$(reg_value "$SETTINGS_KEY" FileID)" = Orbits ] || fail "FileID is '$(reg_value "$SETTINGS_KEY" FileID)'"
WINEDEBUG=+file start_app /s
sleep 10
shot get_more_run
grep -qi 'orbits.vsi' "$E2E_DIR/app.log" || fail "/s did not open orbits.vsi"
xdotool mousemove 300 300 click 1
wait_exit 30 || true
log "ok"
