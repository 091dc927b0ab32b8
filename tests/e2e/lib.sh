# Shared helpers of the end-to-end scripts: a private X display, a private
# Wine prefix copied from a template, the screensaver started by process id,
# screenshots, and waits on conditions. Source it; call e2e_begin first.
set -euo pipefail
E2E_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
# The program under test is the one this machine can run (QRV_ARCH forces it).
. "$E2E_ROOT/scripts/wine_env.sh"
DIST="$E2E_ROOT/$QRV_DIST"
# A run's screenshots go to its own folder (set by e2e_begin), so that no
# picture of an earlier run can be measured; e2e_end copies them to
# dist/screens for looking at.
SCREENS_OUT="$E2E_ROOT/dist/screens"
SCREENS=""
# Test helper programs (preview host, clipboard tool) of the same arch.
HELPERS="$E2E_ROOT/$QRV_WIN_BUILD/tests/win"
# `wine`, `wineserver`, `wineboot` and `winepath` in the scripts mean the ones
# of the arch under test; `exec` needs the loader itself: "$QRV_WINE".
wine() { "$QRV_WINE" "$@"; }
wineserver() { "$QRV_WINESERVER" "$@"; }
wineboot() { "$QRV_WINE" wineboot "$@"; }
winepath() { "$QRV_WINE" winepath "$@"; }
export WINEDLLOVERRIDES="mscoree=;mshtml="
export WINEDEBUG="${WINEDEBUG:--all}"
E2E_PIDS=()
E2E_XVFB_PID=""
E2E_DIR=""
E2E_NAME=""

log() { echo "[$E2E_NAME] $*"; }
# fail MESSAGE: ends the test as failed. Called inside $(...) or a condition
# of wait_until it can only end a subshell, so it also leaves a mark that
# e2e_end turns into a failure of the whole test.
fail() {
  echo "[$E2E_NAME] FAIL: $*" >&2
  [ -n "$E2E_DIR" ] && echo "$*" >>"$E2E_DIR/failed"
  exit 1
}

# A template prefix is booted once per machine and copied for each test, so
# every test starts from a fresh registry without paying for wineboot.
e2e_template_prefix() {
  local tpl="$E2E_ROOT/build/e2e-template-prefix-$QRV_ARCH"
  if [ ! -f "$tpl/.ready" ]; then
    rm -rf "$tpl"
    mkdir -p "$tpl"
    WINEPREFIX="$tpl" wineboot -i >/dev/null 2>&1 || true
    WINEPREFIX="$tpl" wineserver -w || true
    [ -f "$tpl/system.reg" ] || { echo "wineboot failed" >&2; return 1; }
    touch "$tpl/.ready"
  fi
  echo "$tpl"
}

# e2e_begin NAME [WIDTHxHEIGHT | PRIMARY,SECOND[,SIDE]]: one monitor on Xvfb, or two
# (each WIDTHxHEIGHT; SIDE right, left, above or below) on Xorg.
e2e_begin() {
  E2E_NAME="$1"
  local size="${2:-1024x768}"
  E2E_DIR="$(mktemp -d "/tmp/qrv-e2e-$E2E_NAME.XXXXXX")"
  SCREENS="$E2E_DIR/screens"
  mkdir -p "$SCREENS"
  trap e2e_end EXIT
  local tpl
  tpl="$(e2e_template_prefix)"
  cp -a "$tpl" "$E2E_DIR/prefix"
  export WINEPREFIX="$E2E_DIR/prefix"
  # A copy of the program and its data, so tests may change the data folder.
  mkdir -p "$E2E_DIR/app"
  cp "$DIST/QrvSaver2006.scr" "$E2E_DIR/app/"
  cp -r "$DIST/QR06V2XLM" "$E2E_DIR/app/"
  APP="$E2E_DIR/app/QrvSaver2006.scr"
  # One monitor on Xvfb, two on Xorg with the dummy driver; either way the
  # server picks a free display number itself (see scripts/monitors.sh).
  source "$E2E_ROOT/scripts/monitors.sh"
  start_monitors "$size" "$E2E_DIR" || fail "no X server with the monitors $size ($E2E_DIR/x.log)"
  E2E_XVFB_PID=$MON_X_PID
  # A grey root window: a screen that must be black is then black because
  # the program covered it, not because nothing was drawn.
  xsetroot -solid grey || fail "xsetroot failed on $DISPLAY"
  log "display $DISPLAY with monitors $size, prefix $WINEPREFIX, program $QRV_ARCH"
}

xdpyinfo_ok() { xdpyinfo >/dev/null 2>&1; }

# Ends only what this test started: its programs, its wineserver, its display.
e2e_end() {
  local pid
  for pid in "${E2E_PIDS[@]}"; do kill "$pid" 2>/dev/null || true; done
  [ -n "${WINEPREFIX:-}" ] && WINEPREFIX="$WINEPREFIX" wineserver -k 2>/dev/null || true
  [ -n "$E2E_XVFB_PID" ] && kill "$E2E_XVFB_PID" 2>/dev/null || true
  [ -n "${MON_X_PID:-}" ] && kill "$MON_X_PID" 2>/dev/null || true
  local failed=0
  [ -n "$E2E_DIR" ] && [ -s "$E2E_DIR/failed" ] && failed=1
  if [ -n "$SCREENS" ] && [ -n "$(ls -A "$SCREENS" 2>/dev/null)" ]; then
    mkdir -p "$SCREENS_OUT" && cp "$SCREENS"/*.png "$SCREENS_OUT/" 2>/dev/null || true
  fi
  [ -n "$E2E_DIR" ] && [ -z "${E2E_KEEP:-}" ] && rm -rf "$E2E_DIR"
  if [ "$failed" = 1 ]; then
    echo "[$E2E_NAME] FAIL: a check failed inside a subshell or a wait (see above)" >&2
    exit 1
  fi
  return 0
}

# wait_until SECONDS COMMAND...: polls every 0.2 s.
wait_until() {
  local limit="$1"; shift
  local end=$(( $(date +%s) + limit ))
  while [ "$(date +%s)" -lt "$end" ]; do
    "$@" && return 0
    sleep 0.2
  done
  return 1
}

# start_app SWITCH...: starts the screensaver; sets APP_PID.
start_app() {
  (cd "$E2E_DIR/app" && exec "$QRV_WINE" "$APP" "$@" >"$E2E_DIR/app.log" 2>&1) &
  APP_PID=$!
  E2E_PIDS+=("$APP_PID")
}

app_running() { kill -0 "$APP_PID" 2>/dev/null; }
app_ended() { ! app_running; }

# wait_exit SECONDS: the app's process ends; sets APP_RC.
wait_exit() {
  wait_until "$1" app_ended || return 1
  APP_RC=0; wait "$APP_PID" || APP_RC=$?
  return 0
}

window_named() { xdotool search --name "$1" >/dev/null 2>&1; }

# shot NAME: screenshot of the whole display into $SCREENS/NAME.png; prints
# the file. The file is removed first, so a failed capture never leaves an
# older picture to be measured.
shot() {
  rm -f "$SCREENS/$1.png"
  import -window root "$SCREENS/$1.png" || fail "screenshot $1 failed"
  [ -s "$SCREENS/$1.png" ] || fail "screenshot $1 is empty"
  echo "$SCREENS/$1.png"
}

# pixel FILE X Y: prints "R G B" (0-255) of one pixel.
pixel() {
  [ -s "$1" ] || fail "no picture $1"
  convert "$1" -format "%[fx:int(255*p{$2,$3}.r)] %[fx:int(255*p{$2,$3}.g)] %[fx:int(255*p{$2,$3}.b)]" info:
}

# region_mean FILE WxH+X+Y: mean brightness 0-255 of a rectangle.
region_mean() {
  local m
  m=$(convert "$1" -crop "$2" +repage -colorspace Gray -format "%[fx:int(255*mean)]" info:) &&
    [[ "$m" =~ ^[0-9]+$ ]] || fail "cannot measure $2 of $1"
  echo "$m"
}

# region_metric METRIC A B WxH+X+Y: compares two pictures inside a rectangle;
# prints the count of differing pixels (AE) or the normalised error (RMSE, 0-1).
# Any error of the measuring tools (a missing or broken picture, a crop
# outside it) fails the test: a comparison that did not happen proves nothing.
region_metric() {
  [ -s "$2" ] && [ -s "$3" ] || fail "region_metric: missing picture ($2, $3)"
  convert "$2" -crop "$4" +repage "$E2E_DIR/crop_a.png" || fail "cannot crop $4 of $2"
  convert "$3" -crop "$4" +repage "$E2E_DIR/crop_b.png" || fail "cannot crop $4 of $3"
  local out rc=0
  out=$(compare -metric "$1" "$E2E_DIR/crop_a.png" "$E2E_DIR/crop_b.png" null: 2>&1) || rc=$?
  # compare exits 0 (alike) or 1 (different); anything else is an error.
  [ "$rc" -le 1 ] || fail "compare failed ($rc): $out"
  if [ "$1" = RMSE ]; then out=$(echo "$out" | sed -E 's/.*\(([0-9.e-]+)\).*/\1/'); else out="${out%% *}"; fi
  [[ "$out" =~ ^[0-9.e+-]+$ ]] || fail "compare gave no number: '$out'"
  echo "$out"
}

# region_differs A B WxH+X+Y: true when the two shots differ inside the rectangle.
region_differs() {
  local d; d=$(region_metric AE "$1" "$2" "$3") || fail "comparison of $1 and $2 failed"
  awk -v d="$d" 'BEGIN { exit !(d > 0) }'
}

# rmse_below / rmse_above A B WxH+X+Y LIMIT
rmse_below() { local d; d=$(region_metric RMSE "$1" "$2" "$3") || fail "comparison of $1 and $2 failed"; echo "$d"; awk -v d="$d" -v l="$4" 'BEGIN { exit !(d < l) }'; }
rmse_above() { local d; d=$(region_metric RMSE "$1" "$2" "$3") || fail "comparison of $1 and $2 failed"; echo "$d"; awk -v d="$d" -v l="$4" 'BEGIN { exit !(d > l) }'; }

# reg_value KEY NAME: the data of a registry value, or nothing.
reg_value() {
  wine reg query "$1" /v "$2" 2>/dev/null | tr -d '\r' | awk -v n="$2" 'tolower($1)==tolower(n) {sub(/^[ \t]*[^ \t]+[ \t]+[^ \t]+[ \t]*/, ""); print; exit}'
}

# The system's screensaver activation, as the user's profile stores it and as
# the session has it. Wine keeps a value set for the session only in a
# volatile key that lives as long as the prefix's wineserver: call
# keep_server before the run so that it outlives the program. (With an X
# display, Wine reads the session's activation from the X server: on when
# its screensaver has a timeout, see `xset q`.)
keep_server() { wineserver -p >/dev/null 2>&1 || true; }
profile_activation() { reg_value 'HKCU\Control Panel\Desktop' ScreenSaveActive; }
session_activation() {
  local v
  v=$(reg_value 'HKCU\Software\Wine\Temporary System Parameters\Control Panel\Desktop' ScreenSaveActive)
  echo "${v:-$(profile_activation)}"
}

# background_margin FILE: the screen's bottom margin (below the movie frame,
# clear of the title) shows the built-in background picture.
background_margin() {
  local ref="$E2E_DIR/background_1024x768.png"
  [ -s "$ref" ] || convert "$E2E_ROOT/src/win/res/background.png" -resize '1024x768!' "$ref" || fail "no reference picture"
  rmse_below "$1" "$ref" 1024x60+0+705 0.03 >/dev/null
}

# placed: loading has ended on a 1024x768 screen, so the cursor stands at the
# movie frame's corner plus 10 (45,129).
placed() { eval "$(xdotool getmouselocation --shell)"; [ "$X" = 45 ] && [ "$Y" = 129 ]; }
# still_loading WHAT: fails the test unless the program runs and has not yet
# placed the cursor, so that a key, a click or a picture said to come
# "during loading" really did.
still_loading() { app_running && ! placed || fail "loading had already ended before $1"; }

SETTINGS_KEY='HKCU\Quorvane\VMSRC16\Settings'

# helper_exe NAME: a test helper program built with the cross build.
helper_exe() { echo "$HELPERS/$1.exe"; }

# installer_name: the installer of the program under test.
installer_name() { if [ "$QRV_ARCH" = win64 ]; then echo QrvSaver2006-setup-x64.exe; else echo QrvSaver2006-setup-x86.exe; fi; }

# start_with_visualisation NAME: chooses the visualisation NAME (a .vsi file of
# the data folder) without music, starts the full-screen run, moves the mouse
# out of the way and waits until loading has ended.
start_with_visualisation() {
  wine reg add "$SETTINGS_KEY" /v InsKo /t REG_SZ /d x /f >/dev/null 2>&1
  wine reg add "$SETTINGS_KEY" /v FileID /t REG_SZ /d "$1" /f >/dev/null 2>&1
  wine reg add "$SETTINGS_KEY" /v EnableSound /t REG_SZ /d 0 /f >/dev/null 2>&1
  start_app /s
  wait_until 90 window_named QrvSaver2006 || fail "no window for $1"
  xdotool mousemove 600 10
  wait_until 30 placed || fail "loading did not end for $1"
}
