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
# The program's own address is https: the file came through a TLS tunnel,
# with the certificate checked against the CA that this prefix trusts.
site_tunnelled /VelmaraScreensaver/DWN/orbits.exe || fail "the download did not go over https: $(grep orbits "$E2E_DIR/server/server.log")"
click Command3
wait_exit 30 || fail "Accept did not end the program"
[ "$(reg_value "$SETTINGS_KEY" FileID)" = Orbits ] || fail "FileID is '$(reg_value "$SETTINGS_KEY" FileID)'"
# /s with the new movie, then with the default one: each run until the movie
# is placed, six pictures of its frame a quarter second apart from the same
# moment after that, and a click that ends it cleanly. The mean of the six
# pictures of one movie must differ from the other's by far more than the
# mean of the default movie's odd pictures differs from that of its even
# ones, so a run that fell back to the default movie fails.
run_frames() {  # run_frames NAME: leaves $E2E_DIR/NAME_{all,odd,even}.png
  start_app /s
  wait_until 90 window_named QrvSaver2006 || fail "$1: no window"
  xdotool mousemove 600 10
  wait_until 30 placed || fail "$1: the movie was never placed (loading did not end)"
  sleep 1   # the same moment of both movies after their start, not a wait
  local i
  for i in 1 2 3 4 5 6; do shot "$1_$i" >/dev/null; sleep 0.25; done
  xdotool mousemove 300 300 click 1
  wait_exit 30 || fail "$1: a click did not end the run"
  [ "$APP_RC" = 0 ] || fail "$1: exit code $APP_RC"
  local s="$SCREENS/$1"
  convert "${s}_1.png" "${s}_2.png" "${s}_3.png" "${s}_4.png" "${s}_5.png" "${s}_6.png" -evaluate-sequence mean \
    "$E2E_DIR/$1_all.png" || fail "cannot average the pictures of $1"
  convert "${s}_1.png" "${s}_3.png" "${s}_5.png" -evaluate-sequence mean "$E2E_DIR/$1_odd.png" || fail "cannot average"
  convert "${s}_2.png" "${s}_4.png" "${s}_6.png" -evaluate-sequence mean "$E2E_DIR/$1_even.png" || fail "cannot average"
}
run_frames get_more_run
set_setting FileID '(Default)'
run_frames get_more_default
frame=900x500+60+150
moving=$(region_metric RMSE "$E2E_DIR/get_more_default_odd.png" "$E2E_DIR/get_more_default_even.png" "$frame")
apart=$(region_metric RMSE "$E2E_DIR/get_more_run_all.png" "$E2E_DIR/get_more_default_all.png" "$frame")
log "mean frame difference: Orbits against the default $apart; the default's odd against its even pictures $moving"
awk -v a="$apart" -v m="$moving" 'BEGIN { exit !(a > 0.1 && a > 2.5 * m) }' ||
  fail "the run with FileID=Orbits shows the default movie (difference $apart, the default against itself $moving)"
log "ok"
