#!/usr/bin/env bash
# Shift alone leaves the run going, a letter ends it; a click on the loading
# cover ends a run at once.
source "$(dirname "$0")/lib.sh"
e2e_begin keys

start_app /s
wait_until 90 window_named QrvSaver2006 || fail "no window"
xdotool mousemove 600 10
wait_until 30 placed || fail "loading did not end"
win=$(xdotool search --name QrvSaver2006 | head -1)
xdotool key --clearmodifiers shift; sleep 0.3; xdotool key Shift_L F5 Left; sleep 1
app_running || fail "shift, F5 or an arrow ended the run"
xdotool type --delay 50 q
wait_exit 15 || fail "a letter did not end the run"
log "keys: ok"

start_app /s
wait_until 90 window_named QrvSaver2006 || fail "no window (second run)"
sleep 0.8
cover=$(shot keys_click_loading)
[ "$(region_mean "$cover" 1024x768+0+0)" -le 6 ] || fail "no black loading cover to click on ($cover)"
still_loading "the click"
xdotool mousemove 500 400 click 1
wait_exit 15 || fail "a click on the loading cover did not end the run"
eval "$(xdotool getmouselocation --shell)"
[ "$X" = 512 ] && [ "$Y" = 384 ] || fail "cursor at $X,$Y after the end"
log "click during loading: ok"
echo "PASS keys"
