# The run on two monitors of different sizes; sourced by test_monitors_*.sh
# with LAYOUT (PRIMARY,SECOND,SIDE) and NAME set. The primary shows what it
# shows on a single monitor; the second monitor is black while loading, then
# shows the background scaled to fill it without distortion (the built-in
# picture, or the picture that PaintDesktop draws there); mouse moves over the
# second monitor follow the same rule as on the primary, a click there ends the
# run, and the cursor then stands at the primary's centre.
source "$(dirname "$0")/lib.sh"
e2e_begin "$NAME" "$LAYOUT"

mon_parse "$LAYOUT"
PX=$MON_PRIMARY_X; PY=$MON_PRIMARY_Y       # the primary's corner in X coordinates
case "$MON_SIDE" in                        # the second monitor's corner
  right) SX=$MON_PW; SY=0 ;;
  left) SX=0; SY=0 ;;
  below) SX=0; SY=$MON_PH ;;
  above) SX=0; SY=0 ;;
esac
prim="${MON_PW}x${MON_PH}+$PX+$PY"
second="${MON_SW}x${MON_SH}+$SX+$SY"
log "X outputs: $(xrandr | grep ' connected' | grep -oE '^[A-Z0-9]+|[0-9]+x[0-9]+\+[0-9]+\+[0-9]+' | paste -sd ' ')"
# What Windows programs see: the primary at 0,0 and the second beside it.
case "$MON_SIDE" in
  right) want="$MON_PW,0-$((MON_PW + MON_SW)),$MON_SH" ;;
  left) want="-$MON_SW,0-0,$MON_SH" ;;
  below) want="0,$MON_PH-$MON_SW,$((MON_PH + MON_SH))" ;;
  above) want="0,-$MON_SH-$MON_SW,0" ;;
esac
monitors=$(wine "$(helper_exe monitor_list)" | tr -d '\r')
log "monitors under Wine: $(echo "$monitors" | tr '\n' ';')"
echo "$monitors" | grep -q " 0,0-$MON_PW,$MON_PH primary$" || fail "no primary monitor at 0,0-$MON_PW,$MON_PH"
echo "$monitors" | grep -q " $want$" || fail "no second monitor at $want"

settings() {  # settings USEBACKGROUND: a profile past its first run, no music
  local kv
  for kv in InsKo=regkoinic EnableSound=0 'FileID=(Default)' SoundMCI=1 SoundID=Sandstorm SoundRND=0 "UseBackGround=$1"; do
    wine reg add "$SETTINGS_KEY" /v "${kv%%=*}" /t REG_SZ /d "${kv#*=}" /f >/dev/null 2>&1
  done
}
# The cursor is placed at the movie frame's corner + 10 once loading has ended.
corner_x=$((PX + (MON_PW * 3375 + 1050000) / 100000)); corner_y=$((PY + (MON_PH * 155 + 10500) / 1000))
placed_here() { eval "$(xdotool getmouselocation --shell)"; [ "$X" -ge $((corner_x - 1)) ] && [ "$X" -le $((corner_x + 1)) ] && [ "$Y" -ge $((corner_y - 1)) ] && [ "$Y" -le $((corner_y + 1)) ]; }
second_lit() { shot "$1" >/dev/null; [ "$(region_mean "$SCREENS/$1.png" "$second")" -gt 0 ]; }

# The primary's bottom margin, below the movie frame and clear of the title.
W=$MON_PW; H=$MON_PH
margin="$((W - 16))x$((H * 99 / 100 - H * 93 / 100))+8+$((H * 93 / 100))"  # within the primary
convert "$E2E_ROOT/src/win/res/background.png" -resize "${W}x${H}!" "$E2E_DIR/primary_expected.png"
# The built-in picture filling the second monitor: the middle band of the
# picture with the monitor's shape, scaled by one factor.
read -r bw bh <<<"$(identify -format '%w %h' "$E2E_ROOT/src/win/res/background.png")"
if [ $((bw * MON_SH)) -gt $((MON_SW * bh)) ]; then
  cw=$(( (bh * MON_SW * 2 + MON_SH) / (2 * MON_SH) )); crop="${cw}x${bh}+$(( (bw - cw) / 2 ))+0"
else
  ch=$(( (bw * MON_SH * 2 + MON_SW) / (2 * MON_SW) )); crop="${bw}x${ch}+0+$(( (bh - ch) / 2 ))"
fi
convert "$E2E_ROOT/src/win/res/background.png" -crop "$crop" +repage -resize "${MON_SW}x${MON_SH}!" "$E2E_DIR/second_expected.png"
# The same picture stretched over the monitor instead: what a distorting fit would give.
convert "$E2E_ROOT/src/win/res/background.png" -resize "${MON_SW}x${MON_SH}!" "$E2E_DIR/second_stretched.png"
# compare_at EXPECTED SHOT GEOMETRY LIMIT: the shot's rectangle against the whole expected picture.
compare_at() {
  convert "$2" -crop "$3" +repage "$E2E_DIR/cut.png" || fail "cannot crop $3 of $2"
  local out rc=0 d
  out=$(compare -metric RMSE "$1" "$E2E_DIR/cut.png" null: 2>&1) || rc=$?
  [ "$rc" -le 1 ] || fail "compare failed ($rc): $out"
  d=$(echo "$out" | sed -E 's/.*\(([0-9.e-]+)\).*/\1/')
  [[ "$d" =~ ^[0-9.e+-]+$ ]] || fail "compare gave no number: '$out'"
  echo "$d"; awk -v d="$d" -v l="$4" 'BEGIN { exit !(d < l) }'
}

settings 0
start_app /s
wait_until 90 window_named QrvSaver2006 || fail "the screensaver window did not appear"
sleep 0.5
shot "${NAME}_loading" >/dev/null
still_loading_here() { app_running && ! placed_here || fail "loading had already ended before $1"; }
still_loading_here "the picture of the loading screens"
[ "$(region_mean "$SCREENS/${NAME}_loading.png" "$second")" -le 2 ] || fail "the second monitor is not black while loading ($SCREENS/${NAME}_loading.png)"
xdotool mousemove $((PX + 600)) $((PY + 10))
wait_until 30 placed_here || fail "loading did not end (cursor not at $corner_x,$corner_y)"
wait_until 15 second_lit "$NAME" || fail "the second monitor never showed the background ($SCREENS/$NAME.png)"
sleep 1.5
one=$(shot "${NAME}_a"); sleep 0.7; two=$(shot "$NAME")
log "screenshot $two"

d=$(compare_at "$E2E_DIR/second_expected.png" "$two" "$second" 0.03) ||
  fail "the second monitor differs from the built-in picture filling it by $d ($two)"
s=$(compare_at "$E2E_DIR/second_stretched.png" "$two" "$second" 1) || true
log "second monitor: the built-in picture filling it (difference $d; stretched instead: $s): ok"
if [ $((bw * MON_SH)) != $((MON_SW * bh)) ]; then
  awk -v d="$d" -v s="$s" 'BEGIN { exit !(d < s) }' || fail "the second monitor looks stretched ($d >= $s)"
fi
convert "$two" -crop "$prim" +repage "$E2E_DIR/primary_only.png"
d=$(rmse_below "$E2E_DIR/primary_expected.png" "$E2E_DIR/primary_only.png" "$margin" 0.01) ||
  fail "the primary's margin differs from the single-monitor picture by $d ($two)"
region_differs "$one" "$two" "$((W * 93625 / 100000))x$((H * 7533 / 10000))+$((PX + W * 3375 / 100000))+$((PY + H * 155 / 1000))" ||
  fail "the visualisation on the primary does not move ($one, $two)"
region_differs "$one" "$two" "$second" && fail "the second monitor was painted again while nothing covered it"
log "primary: the visualisation over the built-in picture (margin difference $d): ok"

# Moves over the second monitor: only one that goes right and down of the
# reference point by more than 15 pixels ends the run. A move onto a monitor
# that lies left of or above the primary never qualifies.
case "$MON_SIDE" in
  right) xdotool mousemove $((SX + 200)) "$corner_y" ;;                # far right, not down
  below) xdotool mousemove "$corner_x" $((SY + 100)) ;;                # far down, not right
  left|above) xdotool mousemove $((SX + 100)) $((SY + MON_SH - 20)) ;; # left or up of the reference
esac
sleep 1
app_running || fail "a move onto the second monitor that does not qualify ended the run"
log "a move onto the second monitor that does not qualify: the run goes on: ok"

xdotool mousemove $((SX + MON_SW / 2)) $((SY + MON_SH / 2 + 10)) click 1
wait_exit 15 || fail "a click on the second monitor did not end the run"
[ "$APP_RC" = 0 ] || fail "exit code $APP_RC"
eval "$(xdotool getmouselocation --shell)"
[ "$X" = $((PX + W / 2)) ] && [ "$Y" = $((PY + H / 2)) ] || fail "cursor at $X,$Y, not at the primary's centre"
log "a click on the second monitor ends the run, cursor at the primary's centre: ok"

# The desktop picture: each monitor gets what PaintDesktop draws into its own
# window (under Wine, the desktop colour; see test_desktop_colour_fallback.sh).
wine reg add 'HKCU\Control Panel\Colors' /v Background /t REG_SZ /d '0 128 0' /f >/dev/null 2>&1
settings 1
start_app /s
wait_until 90 window_named QrvSaver2006 || fail "no window (desktop picture)"
xdotool mousemove $((PX + 600)) $((PY + 10))
wait_until 30 placed_here || fail "loading did not end (desktop picture)"
wait_until 15 second_lit "${NAME}_wallpaper" || fail "the second monitor stayed black ($SCREENS/${NAME}_wallpaper.png)"
sleep 1
wp=$(shot "${NAME}_wallpaper")
colour=$(convert "$wp" -crop "$second" +repage -format '%[fx:int(255*mean.r+0.5)] %[fx:int(255*mean.g+0.5)] %[fx:int(255*mean.b+0.5)] %[fx:int(1000*standard_deviation+0.5)]' info:)
[ "$colour" = "0 128 0 0" ] || fail "the second monitor shows '$colour', not the desktop colour ($wp)"
log "desktop picture on the second monitor: ok"
xdotool type --delay 50 q
wait_exit 15 || fail "a key did not end the run (desktop picture)"
echo "PASS $NAME"
