#!/usr/bin/env bash
# Sets up, builds, and starts the screensaver under Wine. The switch is passed
# on (default /s). Without a $DISPLAY it starts its own Xvfb and writes a
# screenshot to dist/screens/ a few seconds after the start.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"
bash scripts/setup.sh
bash scripts/build.sh
switch=("$@"); [ ${#switch[@]} -gt 0 ] || switch=(/s)
# The program this machine can run: the shipped 32-bit one where 32-bit code
# runs, else the 64-bit one (QRV_ARCH=win32|win64 forces the choice).
. scripts/wine_env.sh
export WINEPREFIX="${WINEPREFIX:-$root/build/wine-run-$QRV_ARCH}" WINEDLLOVERRIDES="mscoree=;mshtml=" WINEDEBUG="${WINEDEBUG:--all}"
[ -f "$WINEPREFIX/system.reg" ] || { qrv_wineboot -i >/dev/null 2>&1; qrv_wineserver -w; }
cd "$QRV_DIST"
echo "run: starting $QRV_DIST/QrvSaver2006.scr ($QRV_ARCH) ${switch[*]}"
if [ -n "${DISPLAY:-}" ]; then
  exec "$QRV_WINE" ./QrvSaver2006.scr "${switch[@]}"
fi
n=99; while [ -e "/tmp/.X11-unix/X$n" ]; do n=$((n+1)); done
Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
export DISPLAY=":$n"
trap 'kill $xvfb 2>/dev/null || true' EXIT
sleep 1
"$QRV_WINE" ./QrvSaver2006.scr "${switch[@]}" &
app=$!
sleep "${QRV_SHOT_AFTER:-7}"
mkdir -p "$root/dist/screens"
import -window root "$root/dist/screens/run-$(date +%Y%m%d-%H%M%S).png" && echo "screenshot in dist/screens/"
# Nobody can watch a virtual display: end the run the way a user would, with a click.
if kill -0 $app 2>/dev/null; then
  xdotool mousemove 200 200 click 1 || true
  wait $app || true
fi
