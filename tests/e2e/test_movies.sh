#!/usr/bin/env bash
# The loader moves on the black cover; after loading the visualisation moves
# inside its frame, the margins show the background and the title is drawn.
# Mouse moves left or straight down leave the run going; 16 right and 16 down
# end it, with the cursor centred and the activation (off while it ran) back on.
source "$(dirname "$0")/lib.sh"
e2e_begin movies

# The built-in background as the screen shows it where no movie covers it.
ref="$E2E_DIR/background_ref.png"
convert "$E2E_ROOT/src/win/res/background.png" -resize '1024x768!' "$ref"

wine reg add 'HKCU\Control Panel\Desktop' /v ScreenSaveActive /t REG_SZ /d 1 /f >/dev/null 2>&1
keep_server
start_app /s
wait_until 90 window_named QrvSaver2006 || fail "no window"
sleep 0.6
a=$(shot movies_loading_1); sleep 0.35; b=$(shot movies_loading_2)
still_loading "the second picture of the loader"
region_differs "$a" "$b" 113x43+16+16 || fail "the loader does not move ($a, $b)"
[ "$(region_mean "$a" 800x600+200+150)" -le 3 ] || fail "the cover is not black outside the loader"
log "loader moves on the black cover: ok"

# Loading is over when the cursor has been placed at the movie's corner (45,129).
xdotool mousemove 600 10
wait_until 30 placed || fail "the cursor never reached the movie's corner"
[ "$(session_activation)" = 0 ] || fail "the activation is not off while the run lasts"
sleep 1
c=$(shot movies_running_1); sleep 0.4; d=$(shot movies_running_2)
# Movie frame: x 34..993, y 119..697.
region_differs "$c" "$d" 900x500+60+150 || fail "the visualisation does not move ($c, $d)"
# Bottom margin (y 700..767) and left margin show the background unchanged.
for r in 1024x60+0+705 30x500+0+200; do
  diff=$(rmse_below "$c" "$ref" "$r" 0.03) || fail "margin $r is not the background (rmse $diff)"
done
log "visualisation moves in its frame, margins show the background: ok"
# The title lies in the top band above the frame: there the screen differs from the bare background.
tdiff=$(rmse_above "$c" "$ref" 600x90+200+10 0.08) || fail "no title in the top band (rmse $tdiff)"
log "title overlay visible: ok"

xdotool mousemove 0 129; sleep 0.8
app_running || fail "a move to the left ended the run"
xdotool mousemove 45 129; sleep 0.3; xdotool mousemove 45 229; sleep 0.8
app_running || fail "a move straight down ended the run"
xdotool mousemove 45 129; sleep 0.3
xdotool mousemove 61 145
wait_exit 15 || fail "16 right and 16 down did not end the run"
eval "$(xdotool getmouselocation --shell)"
[ "$X" = 512 ] && [ "$Y" = 384 ] || fail "cursor at $X,$Y after the end"
[ "$(session_activation)" = 1 ] || fail "the session's activation is not back on"
[ "$(profile_activation)" = 1 ] || fail "the profile's ScreenSaveActive changed"
log "mouse rules and the end: ok"
echo "PASS movies"
