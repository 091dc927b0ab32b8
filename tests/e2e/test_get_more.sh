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
form_shown() { xdotool search --onlyvisible --name '^Visualisations$' >/dev/null 2>&1; }
wait_until 10 form_shown || fail "the form is not shown"
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
# /s with the new movie, then with the default one: each run until the movie
# is placed, a picture of its frame at the same moment after that, and a
# click that ends it cleanly. The two frames must differ by far more than
# the default movie differs from itself a moment later, so a run that fell
# back to the default movie fails.
run_frame() {  # run_frame NAME: leaves $SCREENS/NAME.png and NAME_later.png
  start_app /s
  wait_until 90 window_named QrvSaver2006 || fail "$1: no window"
  xdotool mousemove 600 10
  wait_until 30 placed || fail "$1: the movie was never placed (loading did not end)"
  sleep 1   # the same moment of both movies after their start, not a wait
  shot "$1" >/dev/null; sleep 0.4; shot "$1_later" >/dev/null
  xdotool mousemove 300 300 click 1
  wait_exit 30 || fail "$1: a click did not end the run"
  [ "$APP_RC" = 0 ] || fail "$1: exit code $APP_RC"
}
run_frame get_more_run
set_setting FileID '(Default)'
run_frame get_more_default
frame=900x500+60+150
moving=$(region_metric RMSE "$SCREENS/get_more_default.png" "$SCREENS/get_more_default_later.png" "$frame")
apart=$(region_metric RMSE "$SCREENS/get_more_run.png" "$SCREENS/get_more_default.png" "$frame")
log "frame difference: Orbits against the default $apart; the default against itself 0.4 s later $moving"
awk -v a="$apart" -v m="$moving" 'BEGIN { exit !(a > 0.05 && a > 3 * m) }' ||
  fail "the run with FileID=Orbits shows the default movie (difference $apart, the default moves by $moving)"
log "ok"
