#!/usr/bin/env bash
# The screensaver's CPU use against the floor of any full-screen 30 fps
# animation (bench/win/cpu_floor.cpp), both on the same display server, one
# after the other, at each screen size. A measurement, not a test: the
# machine may be busy, so compare the ratios, and repeat when they scatter.
#
#   scripts/cpu_ratio.sh [SECONDS] [SIZES...]    default: 30 1920x1080 3840x2160
#
# Prints per size:
#   WxH: saver S, floor F CPU s per s, ratio R
#   WxH: saver frames ..., interval ms p50 .. p90 .. p99 .. max ..
#        (from the program's own frame counter, QRV_FRAME_STATS)
#   WxH: saver memory RssAnon: .. MB VmRSS: .. MB   (at the end of the window)
# QRV_CPU_MOVIE=FILE runs the saver with that movie instead of the default;
# QRV_ASSUME_BATTERY=1 runs it as if on battery power.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
. "$root/scripts/wine_env.sh"
secs="${1:-30}"; shift || true
sizes=("$@"); [ ${#sizes[@]} -gt 0 ] || sizes=(1920x1080 3840x2160)
floor_exe="$root/$QRV_WIN_BUILD/tests/win/cpu_floor.exe"
[ -f "$floor_exe" ] || ninja -C "$root/$QRV_WIN_BUILD" cpu_floor >/dev/null
[ -f "$root/$QRV_DIST/QrvSaver2006.scr" ] || { echo "cpu_ratio: build the program first (scripts/build.sh)" >&2; exit 1; }

work=$(mktemp -d)
cleanup() {
  [ -n "${app:-}" ] && kill "$app" 2>/dev/null
  [ -n "${MON_X_PID:-}" ] && kill "$MON_X_PID" 2>/dev/null
  WINEPREFIX=$work/prefix qrv_wineserver -k 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
export WINEPREFIX="$work/prefix" WINEDLLOVERRIDES="mscoree=;mshtml=" WINEDEBUG=-all
qrv_wineboot -i >/dev/null 2>&1; qrv_wineserver -w
source "$root/scripts/monitors.sh"
qrv_wine reg add 'HKCU\Quorvane\VMSRC16\Settings' /f >/dev/null 2>&1

app_dir="$root/$QRV_DIST"
if [ -n "${QRV_CPU_MOVIE:-}" ]; then
  app_dir="$work/app"; cp -r "$root/$QRV_DIST" "$app_dir"
  name=$(basename "$QRV_CPU_MOVIE"); name="${name%.*}"
  cp "$QRV_CPU_MOVIE" "$app_dir/QR06V2XLM/$name.vsi"
  for kv in InsKo=regkoinic "FileID=$name"; do
    qrv_wine reg add 'HKCU\Quorvane\VMSRC16\Settings' /v "${kv%%=*}" /t REG_SZ /d "${kv#*=}" /f >/dev/null 2>&1
  done
fi

hz=$(getconf CLK_TCK)
# measure PATTERN WARMUP: CPU s per wall s of this prefix's process matching
# PATTERN, over $secs seconds after WARMUP seconds.
measure() {
  sleep "$2"
  local pid
  pid=$(for p in $(pgrep -f "$1" || true); do
    if tr '\0' '\n' <"/proc/$p/environ" 2>/dev/null | grep -x "WINEPREFIX=$WINEPREFIX" >/dev/null; then echo "$p"; fi
  done | tail -1)
  [ -n "$pid" ] || { echo "cpu_ratio: $1 is not running" >&2; return 1; }
  local t0 t1 w0 w1
  t0=$(awk '{print $14 + $15}' "/proc/$pid/stat"); w0=$(date +%s.%N)
  sleep "$secs"
  t1=$(awk '{print $14 + $15}' "/proc/$pid/stat"); w1=$(date +%s.%N)
  # The process's own memory (anonymous resident pages) and all it holds.
  awk '/^RssAnon|^VmRSS/ {printf "%s %.1f MB ", $1, $2 / 1024}' "/proc/$pid/status" > "$work/memory.txt"
  awk -v a="$t0" -v b="$t1" -v hz="$hz" -v w0="$w0" -v w1="$w1" 'BEGIN { printf "%.3f", (b-a)/hz/(w1-w0) }'
}
stop_app() {
  kill "$app" 2>/dev/null || true
  qrv_wineserver -k 2>/dev/null || true; qrv_wineserver -w 2>/dev/null || true
  app=""
}

for size in "${sizes[@]}"; do
  start_monitors "$size" "$work" || { echo "cpu_ratio: no X server for $size" >&2; exit 1; }
  stats="$work/frames.txt"; rm -f "$stats"
  # A saver that is gone before the window starts (now and then on a busy
  # machine) is started once more.
  for try in 1 2; do
    (cd "$app_dir" && QRV_FRAME_STATS="Z:${stats//\//\\}" exec "$QRV_WINE" ./QrvSaver2006.scr /s >"$work/saver.log" 2>&1) & app=$!
    if saver=$(measure 'QrvSaver2006.scr /s' 8); then break; fi
    stop_app
    [ "$try" = 1 ] || { cat "$work/saver.log" >&2; exit 1; }
  done
  memory=$(cat "$work/memory.txt")
  sleep 5  # the counter writes every five seconds
  stop_app
  (exec "$QRV_WINE" "$floor_exe" >/dev/null 2>&1) & app=$!
  floor=$(measure 'cpu_floor.exe' 4)
  stop_app
  kill "$MON_X_PID" 2>/dev/null || true; wait "$MON_X_PID" 2>/dev/null || true; MON_X_PID=""
  awk -v s="$saver" -v f="$floor" -v z="$size" \
    'BEGIN { printf "%s: saver %.3f, floor %.3f CPU s per s, ratio %.1f\n", z, s, f, (f > 0 ? s / f : 0) }'
  echo "$size: saver $(cat "$stats" 2>/dev/null || echo 'frames: no report')"
  echo "$size: saver memory $memory"
done
