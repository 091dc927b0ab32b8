#!/usr/bin/env bash
# /s on a fresh profile: the black cover, then the background; the seven
# defaults in the registry with the marker written last; a click ends the run
# with the cursor at the centre. The activation was off before the run: it is
# off afterwards, and nothing was written to the user's profile.
source "$(dirname "$0")/lib.sh"
e2e_begin run_and_click

# Off in the profile and in this session. Wine with an X display reads the
# session's activation from the X server's screensaver.
wine reg add 'HKCU\Control Panel\Desktop' /v ScreenSaveActive /t REG_SZ /d 0 /f >/dev/null 2>&1
xset s off
keep_server
WINEDEBUG=+reg start_app /s
wait_until 90 window_named QrvSaver2006 || fail "the screensaver window did not appear"
sleep 0.3
cover=$(shot run_cover)
still_loading "the picture of the cover"
[ "$(region_mean "$cover" 1024x768+0+0)" -le 6 ] || fail "the loading cover is not black ($cover)"

# Loading ends after five 800 ms steps; the background then fills the screen.
loaded() { background_margin "$(shot run_loaded)"; }
wait_until 30 loaded || fail "the background never showed ($SCREENS/run_loaded.png)"
log "cover then background: ok"

for kv in EnableSound=1 'FileID=(Default)' SoundMCI=1 SoundID=Sandstorm SoundRND=1 UseBackGround=0 InsKo=regkoinic; do
  name=${kv%%=*}; want=${kv#*=}
  got=$(reg_value "$SETTINGS_KEY" "$name")
  [ "$got" = "$want" ] || fail "$name is '$got', expected '$want'"
done
# The order of the writes shows in the trace of the registry calls.
order=$(grep -oE 'NtSetValueKey \([^,]*,L"(EnableSound|FileID|SoundMCI|SoundID|SoundRND|UseBackGround|InsKo)"' "$E2E_DIR/app.log" | sed -E 's/.*L"([^"]*)"/\1/' | tr '\n' ' ' || true)
[ "$order" = "EnableSound FileID SoundMCI SoundID SoundRND UseBackGround InsKo " ] || fail "write order: '$order'"
log "seven defaults, InsKo last: ok"

xdotool mousemove 300 300 click 1
wait_exit 15 || fail "a click did not end the run"
[ "$APP_RC" = 0 ] || fail "exit code $APP_RC"
eval "$(xdotool getmouselocation --shell)"
[ "$X" = 512 ] && [ "$Y" = 384 ] || fail "cursor at $X,$Y instead of the centre"
[ "$(profile_activation)" = 0 ] || fail "the profile's ScreenSaveActive is '$(profile_activation)' after the run, not 0"
[ "$(session_activation)" = 0 ] || fail "the session's activation is '$(session_activation)' after the run, not 0"
xset q | grep -qE 'timeout: +0 ' || fail "the X screensaver was switched on: $(xset q | grep timeout)"
log "click ends the run, cursor centred, activation still off: ok"
echo "PASS run_and_click"
