#!/usr/bin/env bash
# Measures the running screensaver's CPU use: CPU seconds per wall second of
# its process over a window of time after loading, on a private X display
# with the given monitors. Usage: scripts/cpu_use.sh [LAYOUT] [seconds]
# QRV_CPU_MOVIE=FILE measures that movie (a .vsi or a site download) instead
# of the default one, from a copy of the program's folder.
# LAYOUT is WxH for one monitor (Xvfb) or PRIMARY,SECOND[,right|left|above|below]
# for two (Xorg with the dummy driver; see scripts/monitors.sh). MON_XORG=1
# puts a single monitor on Xorg too, for a like-for-like comparison.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
. "$root/scripts/wine_env.sh"   # the program this machine can run
size="${1:-1920x1080}"; secs="${2:-30}"
work=$(mktemp -d); trap 'kill ${app:-} ${MON_X_PID:-} 2>/dev/null; WINEPREFIX=$work/prefix qrv_wineserver -k 2>/dev/null; rm -rf "$work"' EXIT
export WINEPREFIX="$work/prefix" WINEDLLOVERRIDES="mscoree=;mshtml=" WINEDEBUG=-all
qrv_wineboot -i >/dev/null 2>&1; qrv_wineserver -w
source "$root/scripts/monitors.sh"
start_monitors "$size" "$work" || { echo "cpu_use: no X server for $size" >&2; exit 1; }
qrv_wine reg add 'HKCU\Quorvane\VMSRC16\Settings' /f >/dev/null 2>&1
lister="$root/$QRV_WIN_BUILD/tests/win/monitor_list.exe"   # what the program will see
[ -f "$lister" ] && echo "monitors: $(qrv_wine "$lister" | tr -d '\r' | paste -sd ';')"
app_dir="$root/$QRV_DIST"
if [ -n "${QRV_CPU_MOVIE:-}" ]; then
  app_dir="$work/app"; cp -r "$root/$QRV_DIST" "$app_dir"
  name=$(basename "$QRV_CPU_MOVIE"); name="${name%.*}"
  cp "$QRV_CPU_MOVIE" "$app_dir/QR06V2XLM/$name.vsi"
  # InsKo marks the settings as made, so the first run's defaults keep away.
  for kv in InsKo=regkoinic "FileID=$name"; do
    qrv_wine reg add 'HKCU\Quorvane\VMSRC16\Settings' /v "${kv%%=*}" /t REG_SZ /d "${kv#*=}" /f >/dev/null 2>&1
  done
  echo "movie: $name"
fi
cd "$app_dir"
qrv_wine ./QrvSaver2006.scr /s >/dev/null 2>&1 & app=$!
sleep 8   # loading takes about four seconds
# The screensaver's process in this run's prefix (other runs may be going on).
pid=$(for p in $(pgrep -f 'QrvSaver2006.scr /s' || true); do
  if tr '\0' '\n' <"/proc/$p/environ" 2>/dev/null | grep -x "WINEPREFIX=$WINEPREFIX" >/dev/null; then echo "$p"; fi; done | tail -1)
[ -n "$pid" ] || { echo "cpu_use: the screensaver is not running" >&2; exit 1; }
ticks() { awk '{print $14 + $15}' "/proc/$pid/stat"; }
hz=$(getconf CLK_TCK)
t0=$(ticks); w0=$(date +%s.%N)
sleep "$secs"
t1=$(ticks); w1=$(date +%s.%N)
awk -v a="$t0" -v b="$t1" -v hz="$hz" -v w0="$w0" -v w1="$w1" -v s="$size $QRV_ARCH" \
  'BEGIN { printf "cpu use at %s: %.3f CPU s per wall s (%.2f CPU s over %.1f s)\n", s, (b-a)/hz/(w1-w0), (b-a)/hz, w1-w0 }'
mkdir -p "$root/dist/screens"
import -window root "$root/dist/screens/cpu_${size//,/_}${MON_XORG:+_xorg}.png" 2>/dev/null || true
