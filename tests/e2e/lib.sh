# Shared helpers of the end-to-end scripts: a private X display, a private
# Wine prefix copied from a template, the screensaver started by process id,
# screenshots, and waits on conditions. Source it; call e2e_begin first.
set -euo pipefail
E2E_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
# The program under test is the one this machine can run (QRV_ARCH forces it).
. "$E2E_ROOT/scripts/wine_env.sh"
DIST="$E2E_ROOT/$QRV_DIST"
SCREENS="$E2E_ROOT/dist/screens"
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
fail() { echo "[$E2E_NAME] FAIL: $*" >&2; exit 1; }

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
  mkdir -p "$SCREENS"
  local tpl
  tpl="$(e2e_template_prefix)"
  cp -a "$tpl" "$E2E_DIR/prefix"
  export WINEPREFIX="$E2E_DIR/prefix"
  # A copy of the program and its data, so tests may change the data folder.
  mkdir -p "$E2E_DIR/app"
  cp "$DIST/QrvSaver2006.scr" "$E2E_DIR/app/"
  cp -r "$DIST/QR06V2XLM" "$E2E_DIR/app/"
  APP="$E2E_DIR/app/QrvSaver2006.scr"
  if [[ "$size" == *,* ]]; then
    # Two monitors: Xorg with the dummy driver (see scripts/monitors.sh).
    source "$E2E_ROOT/scripts/monitors.sh"
    trap e2e_end EXIT
    start_monitors "$size" "$E2E_DIR" || fail "no X server with the monitors $size ($E2E_DIR/xorg.log)"
    E2E_XVFB_PID=$MON_X_PID
    trap e2e_end EXIT
    log "display $DISPLAY with monitors $size, prefix $WINEPREFIX, program $QRV_ARCH"
    return 0
  fi
  local n
  for n in $(seq 70 140); do
    [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] && continue
    Xvfb ":$n" -screen 0 "${size}x24" -nolisten tcp >"$E2E_DIR/xvfb.log" 2>&1 &
    E2E_XVFB_PID=$!
    export DISPLAY=":$n"
    if wait_until 10 xdpyinfo_ok; then break; fi
    kill "$E2E_XVFB_PID" 2>/dev/null || true
    E2E_XVFB_PID=""
  done
  [ -n "$E2E_XVFB_PID" ] || fail "no X display"
  trap e2e_end EXIT
  log "display $DISPLAY, prefix $WINEPREFIX, program $QRV_ARCH"
}

xdpyinfo_ok() { xdpyinfo >/dev/null 2>&1; }

# Ends only what this test started: its programs, its wineserver, its display.
e2e_end() {
  local pid
  for pid in "${E2E_PIDS[@]}"; do kill "$pid" 2>/dev/null || true; done
  [ -n "${WINEPREFIX:-}" ] && WINEPREFIX="$WINEPREFIX" wineserver -k 2>/dev/null || true
  [ -n "$E2E_XVFB_PID" ] && kill "$E2E_XVFB_PID" 2>/dev/null || true
  [ -n "${MON_X_PID:-}" ] && kill "$MON_X_PID" 2>/dev/null || true
  [ -n "$E2E_DIR" ] && [ -z "${E2E_KEEP:-}" ] && rm -rf "$E2E_DIR"
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

# shot NAME: screenshot of the whole display into dist/screens/NAME.png
shot() {
  import -window root "$SCREENS/$1.png"
  echo "$SCREENS/$1.png"
}

# pixel FILE X Y: prints "R G B" (0-255) of one pixel.
pixel() {
  convert "$1" -format "%[fx:int(255*p{$2,$3}.r)] %[fx:int(255*p{$2,$3}.g)] %[fx:int(255*p{$2,$3}.b)]" info:
}

# region_mean FILE WxH+X+Y: mean brightness 0-255 of a rectangle.
region_mean() {
  convert "$1" -crop "$2" +repage -colorspace Gray -format "%[fx:int(255*mean)]" info:
}

# region_metric METRIC A B WxH+X+Y: compares two pictures inside a rectangle;
# prints the count of differing pixels (AE) or the normalised error (RMSE, 0-1).
region_metric() {
  convert "$2" -crop "$4" +repage "$E2E_DIR/crop_a.png"
  convert "$3" -crop "$4" +repage "$E2E_DIR/crop_b.png"
  local out
  out=$(compare -metric "$1" "$E2E_DIR/crop_a.png" "$E2E_DIR/crop_b.png" null: 2>&1 || true)
  if [ "$1" = RMSE ]; then echo "$out" | sed -E 's/.*\(([0-9.e-]+)\).*/\1/'; else echo "${out%% *}"; fi
}

# region_differs A B WxH+X+Y: true when the two shots differ inside the rectangle.
region_differs() {
  local d; d=$(region_metric AE "$1" "$2" "$3")
  [ "${d%.*}" -gt 0 ] 2>/dev/null
}

# rmse_below / rmse_above A B WxH+X+Y LIMIT
rmse_below() { local d; d=$(region_metric RMSE "$1" "$2" "$3"); echo "$d"; awk -v d="$d" -v l="$4" 'BEGIN { exit !(d < l) }'; }
rmse_above() { local d; d=$(region_metric RMSE "$1" "$2" "$3"); echo "$d"; awk -v d="$d" -v l="$4" 'BEGIN { exit !(d > l) }'; }

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

# placed: loading has ended on a 1024x768 screen, so the cursor stands at the
# movie frame's corner plus 10 (45,129).
placed() { eval "$(xdotool getmouselocation --shell)"; [ "$X" = 45 ] && [ "$Y" = 129 ]; }

SETTINGS_KEY='HKCU\Quorvane\VMSRC16\Settings'

# helper_exe NAME: a test helper program built with the cross build.
helper_exe() { echo "$HELPERS/$1.exe"; }

# installer_name: the installer of the program under test.
installer_name() { if [ "$QRV_ARCH" = win64 ]; then echo QrvSaver2006-setup-x64.exe; else echo QrvSaver2006-setup-x86.exe; fi; }
