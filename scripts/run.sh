#!/usr/bin/env bash
# Sets up, builds, and starts the screensaver under Wine. The switch is passed
# on (default /s). Without a $DISPLAY it starts its own Xvfb and writes a
# screenshot to dist/screens/ a few seconds after the start.
#   scripts/run.sh [--vsi FILE] [switch]
# --vsi FILE tries a visualisation of your own: it is copied into the program's
# data folder (which the build renews) under its file name, with .vsi, and
# chosen in this prefix's settings.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
vsi=""
if [ "${1:-}" = --vsi ]; then
  [ $# -ge 2 ] && [ -f "$2" ] || { echo "run: --vsi needs a movie file" >&2; exit 1; }
  vsi="$(cd "$(dirname "$2")" && pwd)/$(basename "$2")"; shift 2
fi
cd "$root"
bash scripts/setup.sh
bash scripts/build.sh
switch=("$@"); [ ${#switch[@]} -gt 0 ] || switch=(/s)
# The program this machine can run: the shipped 32-bit one where 32-bit code
# runs, else the 64-bit one (QRV_ARCH=win32|win64 forces the choice).
. scripts/wine_env.sh
[ -n "${WINEPREFIX:-}" ] || own_default=1
export WINEPREFIX="${WINEPREFIX:-$root/build/wine-run-$QRV_ARCH}" WINEDLLOVERRIDES="mscoree=;mshtml=" WINEDEBUG="${WINEDEBUG:--all}"
# A prefix that this script makes (or its default one) carries a mark: only then may it change
# that prefix's settings (the proxy below). A prefix of the user's own keeps
# its proxy whatever the mode.
mark="$WINEPREFIX/.qrvsaver-run-prefix"
[ -f "$WINEPREFIX/system.reg" ] || { qrv_wineboot -i >/dev/null 2>&1; qrv_wineserver -w; touch "$mark"; }
[ -z "${own_default:-}" ] || touch "$mark"  # the checkout's own prefix under build/
# Settings mode: "Get More" downloads from the site. Serve site/ on loopback
# and point this prefix's system proxy at it, so the program's built-in site
# address reaches it with no other step: an https address through a tunnel
# whose certificate comes from a test CA that this prefix alone is made to
# trust. Other modes leave the proxy off.
key='HKCU\Software\Microsoft\Windows\CurrentVersion\Internet Settings'
if [ ! -f "$mark" ]; then
  echo "run: $WINEPREFIX was not made by this script: its proxy stays as it is"
elif [ "$(echo "${switch[0]}" | cut -c1-2 | tr a-z A-Z)" = /C ]; then
  state="$root/build/run-site-server"
  port=$(python3 "$root/tests/server/qrv_test_server.py" --state "$state" --site "$root/site" \
    --daemon --parent $$ | cut -d' ' -f1)
  "$QRV_WINE" reg add "$key" /v ProxyEnable /t REG_DWORD /d 1 /f >/dev/null 2>&1
  "$QRV_WINE" reg add "$key" /v ProxyServer /t REG_SZ /d "127.0.0.1:$port" /f >/dev/null 2>&1
  "$QRV_WINE" "$root/$QRV_WIN_BUILD/tests/win/trust_ca.exe" "$("$QRV_WINE" winepath -w "$state/ca.der")" ||
    echo "run: the test CA was not trusted in this prefix: downloads over https will fail" >&2
  echo "run: the download site is served on 127.0.0.1:$port for this prefix"
else
  "$QRV_WINE" reg add "$key" /v ProxyEnable /t REG_DWORD /d 0 /f >/dev/null 2>&1
fi
if [ -n "$vsi" ]; then
  name=$(basename "$vsi"); name=${name%.*}
  cp "$vsi" "$QRV_DIST/QR06V2XLM/$name.vsi"
  settings='HKCU\Quorvane\VMSRC16\Settings'
  # A prefix the program never ran in gets the first run's settings now, so
  # that the first run does not put the default visualisation back.
  if ! "$QRV_WINE" reg query "$settings" /v InsKo >/dev/null 2>&1; then
    for kv in EnableSound=1 SoundMCI=1 SoundID=Sandstorm SoundRND=1 UseBackGround=0 InsKo=regkoinic; do
      "$QRV_WINE" reg add "$settings" /v "${kv%%=*}" /t REG_SZ /d "${kv#*=}" /f >/dev/null 2>&1
    done
  fi
  "$QRV_WINE" reg add "$settings" /v FileID /t REG_SZ /d "$name" /f >/dev/null 2>&1
  echo "run: \"$name\" is in $QRV_DIST/QR06V2XLM and chosen"
fi
cd "$QRV_DIST"
echo "run: starting $QRV_DIST/QrvSaver2006.scr ($QRV_ARCH) ${switch[*]}"
if [ -n "${DISPLAY:-}" ]; then
  # not exec: the site server ends when this script does
  "$QRV_WINE" ./QrvSaver2006.scr "${switch[@]}"
  exit $?
fi
# A private display whose free number the server picks itself.
. "$root/scripts/monitors.sh"
trap 'kill ${MON_X_PID:-} 2>/dev/null || true' EXIT
start_monitors 1024x768 "$(mktemp -d)" || { echo "run: no X display" >&2; exit 1; }
"$QRV_WINE" ./QrvSaver2006.scr "${switch[@]}" &
app=$!
sleep "${QRV_SHOT_AFTER:-7}"
mkdir -p "$root/dist/screens"
import -window root "$root/dist/screens/run-$(date +%Y%m%d-%H%M%S).png" && echo "screenshot in dist/screens/"
# Nobody can watch a virtual display: end the run the way a user would, with
# a click for the screensaver and Esc for a dialog; whatever is still open
# after that ends with the prefix's Wine session.
if kill -0 $app 2>/dev/null; then
  case "$(echo "${switch[0]}" | cut -c1-2 | tr a-z A-Z)" in
    /S) xdotool mousemove 200 200 click 1 || true ;;
    *) xdotool key Escape || true ;;
  esac
  for _ in $(seq 20); do kill -0 $app 2>/dev/null || break; sleep 0.5; done
  kill -0 $app 2>/dev/null && qrv_wineserver -k
  wait $app || true
fi
