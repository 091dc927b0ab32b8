#!/usr/bin/env bash
# The display changes while the screensaver runs, on two monitors (Xorg with
# the dummy driver): the primary's mode is changed, the second monitor is
# removed (with the cursor on it) and added back. Each time, within a second
# or two of the change, the main window covers the new primary, the
# visualisation and the background are laid out for its size, covers follow
# the monitors, and the run goes on; a click still ends it with the cursor at
# the new primary's centre. Then the messages of a change (WM_DISPLAYCHANGE,
# WM_DPICHANGED) are sent by hand: Wine does not send them for a change made
# with xrandr, and the window must answer them all the same.
NAME=display_change
source "$(dirname "$0")/lib.sh"
e2e_begin "$NAME" 1024x768,960x540,right

for kv in InsKo=regkoinic EnableSound=0 'FileID=(Default)' SoundMCI=1 SoundID=Sandstorm SoundRND=0 UseBackGround=0; do
  wine reg add "$SETTINGS_KEY" /v "${kv%%=*}" /t REG_SZ /d "${kv#*=}" /f >/dev/null 2>&1
done
# The program's own account of each relayout (a debug switch): the window,
# the compositor, the movie frame, the reference point and the covers.
export QRV_DISPLAY_LOG="$E2E_DIR/display.log"
: >"$QRV_DISPLAY_LOG"
relayouts() { grep -c "^relayout" "$QRV_DISPLAY_LOG" || true; }
last_relayout() { grep "^relayout" "$QRV_DISPLAY_LOG" | tail -1 | tr -d '\r'; }
cursor_at() { eval "$(xdotool getmouselocation --shell)"; [ "$X" = "$1" ] && [ "$Y" = "$2" ]; }
visible_windows() { xdotool search --onlyvisible --name '^QrvSaver2006$' 2>/dev/null | wc -l; }

# corner W H: the movie frame's corner + 10 on a W x H primary, as "X Y".
corner() { echo "$(( ($1 * 3375 + 1050000) / 100000 )) $(( ($2 * 155 + 10500) / 1000 ))"; }
# expect_layout W H COVERS: the last relayout put the window over a W x H
# primary at 0,0 and left exactly the covers COVERS ("" for none).
expect_layout() {
  local line; line=$(last_relayout)
  log "relayout: $line"
  [[ "$line" == *"window 0,0 $1x$2 client $1x$2 compositor $1x$2 "* ]] || fail "the window is not over the ${1}x$2 primary: $line"
  local want; want=$(awk -v w="$1" -v h="$2" 'BEGIN { printf "movie %.2f,%.2f %.2fx%.2f title %dx%d", w * 3.375 / 100, h * 15.5 / 100, w * 93.625 / 100, h * 75.33334 / 100, w, h }')
  [[ "$line" == *"$want "* ]] || fail "the movies are not laid out for ${1}x$2 (want '$want'): $line"
  read -r cx cy <<<"$(corner "$1" "$2")"
  [[ "$line" == *"reference $cx,$cy covers$3" ]] || fail "reference or covers wrong (want 'reference $cx,$cy covers$3'): $line"
}
# wait_relayout N SINCE: waits for relayout number N; logs how long after SINCE it came.
wait_relayout() {
  wait_until 20 eval '[ "$(relayouts)" -ge '"$1"' ]' || fail "no relayout $1 after the change ($(cat "$QRV_DISPLAY_LOG"))"
  log "relayout $1 seen $(awk -v a="$2" -v b="$(date +%s.%N)" 'BEGIN { printf "%.2f", b - a }') s after the change"
}
# The background filling a W x H primary, and its bottom margin (below the movie frame, clear of the title).
primary_margin_ok() {
  local w=$1 h=$2 shot=$3
  convert "$E2E_ROOT/src/win/res/background.png" -resize "${w}x${h}!" "$E2E_DIR/expected_${w}.png"
  convert "$shot" -crop "${w}x${h}+0+0" +repage "$E2E_DIR/primary_${w}.png"
  rmse_below "$E2E_DIR/expected_${w}.png" "$E2E_DIR/primary_${w}.png" "$((w - 16))x$((h * 99 / 100 - h * 93 / 100))+8+$((h * 93 / 100))" 0.01
}

start_app /s
wait_until 90 window_named QrvSaver2006 || fail "the screensaver window did not appear"
xdotool mousemove 600 10
read -r cx cy <<<"$(corner 1024 768)"
wait_until 30 cursor_at "$cx" "$cy" || fail "loading did not end (cursor not at $cx,$cy)"
sleep 1
[ "$(relayouts)" = 0 ] || fail "a relayout without a change: $(cat "$QRV_DISPLAY_LOG")"
[ "$(visible_windows)" = 2 ] || fail "not two windows (main and cover) before the changes: $(visible_windows)"

# 1. The primary's mode: 1024x768 -> 800x600. The second monitor stays where it was.
t=$(date +%s.%N)
mon_mode DUMMY0 800 600; xrandr >/dev/null
wait_relayout 1 "$t"
expect_layout 800 600 " 1024,0-1984,540"
sleep 1
# The X window itself, not only the program's idea of it, is the new size.
geometry=$(for w in $(xdotool search --onlyvisible --name '^QrvSaver2006$'); do xdotool getwindowgeometry "$w" | tr '\n' ' '; echo; done)
log "X windows: $(echo "$geometry" | paste -sd ';')"
echo "$geometry" | grep -q "Position: 0,0 .*Geometry: 800x600" || fail "no window of 800x600 at 0,0 on the screen: $geometry"
echo "$geometry" | grep -q "Geometry: 1024x768" && fail "a window of the old 1024x768 size is still on the screen: $geometry"
s1=$(shot "${NAME}_800x600_a"); sleep 0.7; s2=$(shot "${NAME}_800x600")
app_running || fail "the run ended at the mode change"
read -r cx cy <<<"$(corner 800 600)"
cursor_at "$cx" "$cy" || fail "the cursor is not at the new movie corner $cx,$cy: $X,$Y"
d=$(primary_margin_ok 800 600 "$s2") || fail "the 800x600 primary's margin is not the background laid out for 800x600 ($d, $s2)"
region_differs "$s1" "$s2" "$((800 * 93625 / 100000))x$((600 * 7533 / 10000))+$((800 * 3375 / 100000))+$((600 * 155 / 1000))" ||
  fail "the visualisation does not move in its new frame ($s1, $s2)"
# Where the old window reached past the new primary, the grey root shows again.
[ "$(region_mean "$s2" 200x200+812+560)" -gt 150 ] || fail "the main window still reaches past the 800x600 primary ($s2)"
log "mode change: window, movies and background at 800x600 (margin difference $d), run goes on: ok"

# 2. The second monitor removed, with the cursor on it (a move there does not
# qualify: right, not down). The system puts the cursor back on the primary.
xdotool mousemove 1300 "$cy"
sleep 1
app_running || fail "a move onto the second monitor ended the run"
t=$(date +%s.%N)
xrandr --output DUMMY1 --off; xrandr >/dev/null
wait_relayout 2 "$t"
expect_layout 800 600 ""
sleep 1.5
app_running || fail "the run ended when the second monitor went away"
[ "$(visible_windows)" = 1 ] || fail "the cover of the removed monitor is still there: $(visible_windows) windows"
shot "${NAME}_removed" >/dev/null
log "second monitor removed: its cover closed, run goes on: ok"

# 3. The second monitor added back, now right of the 800-pixel primary.
t=$(date +%s.%N)
xrandr --output DUMMY1 --mode qrv_960x540 --right-of DUMMY0; xrandr >/dev/null
wait_relayout 3 "$t"
expect_layout 800 600 " 800,0-1760,540"
second_lit() { shot "$1" >/dev/null; [ "$(region_mean "$SCREENS/$1.png" 960x540+800+0)" -gt 0 ]; }
wait_until 15 second_lit "${NAME}_added" || fail "the new cover never showed the background"
[ "$(visible_windows)" = 2 ] || fail "no cover on the added monitor: $(visible_windows) windows"
# The built-in picture filling 960x540: its middle band, scaled by one factor.
read -r bw bh <<<"$(identify -format '%w %h' "$E2E_ROOT/src/win/res/background.png")"
ch=$(( (bw * 540 * 2 + 960) / (2 * 960) ))
convert "$E2E_ROOT/src/win/res/background.png" -crop "${bw}x${ch}+0+$(( (bh - ch) / 2 ))" +repage -resize '960x540!' "$E2E_DIR/second_expected.png"
convert "$SCREENS/${NAME}_added.png" -crop 960x540+800+0 +repage "$E2E_DIR/second_now.png"
d=$(rmse_below "$E2E_DIR/second_expected.png" "$E2E_DIR/second_now.png" 960x540+0+0 0.03) ||
  fail "the added monitor does not show the background filling it ($d, $SCREENS/${NAME}_added.png)"
log "second monitor added back: a new cover with the background (difference $d): ok"

# 4. The messages themselves: each gives a relayout onto the same monitors;
# the suggested half-size rectangle of WM_DPICHANGED is not taken.
for m in displaychange dpichanged; do
  n=$(( $(relayouts) + 1 ))
  out=$(wine "$(helper_exe display_message)" "$m" | tr -d '\r') || fail "$m was not taken: $out"
  wait_relayout "$n" "$(date +%s.%N)"
  expect_layout 800 600 " 800,0-1760,540"
  [ "$(visible_windows)" = 2 ] || fail "windows after $m: $(visible_windows)"
done
app_running || fail "the run ended at a display message"
log "WM_DISPLAYCHANGE and WM_DPICHANGED: the same layout again, run goes on: ok"

# The exit rules still hold: a move that does not qualify goes on, a
# qualifying one ends the run with the cursor at the new primary's centre.
read -r cx cy <<<"$(corner 800 600)"
xdotool mousemove $((cx + 300)) "$cy"; sleep 1
app_running || fail "a move right only ended the run"
xdotool mousemove $((cx + 30)) $((cy + 30))
wait_exit 15 || fail "a move right and down did not end the run"
[ "$APP_RC" = 0 ] || fail "exit code $APP_RC"
cursor_at 400 300 || fail "cursor at $X,$Y, not at the new primary's centre 400,300"
log "the run ends on a qualifying move, cursor at 400,300: ok"
echo "PASS $NAME"
