#!/usr/bin/env bash
# scripts/cpu_ratio_x11.sh [--battery] [SECONDS] [SIZES...]: the Linux hack's
# steady CPU against the floor (bench/x11_floor.c: a bare full-screen XShm
# program at 30 fps), one after the other on the same private Xvfb at each size.
# Prints one line per size:
#   WxH: saver S, floor F CPU s per s, ratio R
# With --battery the hack also runs on a laptop's power_supply folder made
# here (charger offline, battery discharging, given by QRVSAVER_POWER_SUPPLY),
# and a second line compares it with the run on mains:
#   WxH battery: saver B CPU s per s, battery / mains M
# and each run of the hack adds its frame count and intervals (its own
# counter, QRV_FRAME_STATS).
# CPU is user + system time per wall second, after a 4-second warm-up, of the
# program and of the X server together: with shared memory the server does the
# copying that a window system must do, so the program's own figure alone
# would flatter the floor. The programs' own figures follow in brackets. The hack is the packaged build (build/linux, made by
# scripts/package_deb.sh), with its default options and the shipped movies.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
battery=0
if [ "${1:-}" = "--battery" ]; then battery=1; shift; fi
secs="${1:-20}"
shift || true
sizes=("$@")
[ ${#sizes[@]} -gt 0 ] || sizes=(1920x1080)
hack="$root/build/linux/src/x11/qrvsaver"
[ -x "$hack" ] || { echo "cpu_ratio_x11: $hack missing: run scripts/package_deb.sh" >&2; exit 1; }
work=$(mktemp -d /tmp/qrv-cpu-x11.XXXXXX)
cc -O2 -o "$work/floor" "$root/bench/x11_floor.c" -lX11 -lXext
# Power supplies as the kernel lists them: a desktop without any, and a
# laptop off its charger.
mkdir -p "$work/mains" "$work/battery/AC" "$work/battery/BAT0"
echo Mains >"$work/battery/AC/type"; echo 0 >"$work/battery/AC/online"
echo Battery >"$work/battery/BAT0/type"; echo Discharging >"$work/battery/BAT0/status"
xvfb=""
cleanup() { [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null; rm -rf "$work"; }
trap cleanup EXIT

ticks() { awk '{print $14 + $15}' "/proc/$1/stat"; }
# measure CMD...: "program+server program" CPU seconds per second.
measure() {
  "$@" >/dev/null 2>&1 &
  local pid=$! t0 t1 c0 c1 s0 s1
  sleep 4
  c0=$(ticks "$pid"); s0=$(ticks "$xvfb"); t0=$(date +%s%N)
  sleep "$secs"
  c1=$(ticks "$pid"); s1=$(ticks "$xvfb"); t1=$(date +%s%N)
  kill "$pid"; wait "$pid" 2>/dev/null || true
  awk -v c="$((c1 - c0))" -v s="$((s1 - s0))" -v hz="$(getconf CLK_TCK)" -v ns="$((t1 - t0))" \
    'BEGIN{w = ns / 1e9; printf "%.3f %.3f\n", (c + s) / hz / w, c / hz / w}'
}

for size in "${sizes[@]}"; do
  Xvfb -displayfd 3 -screen 0 "${size}x24" -nolisten tcp 3>"$work/fd" >/dev/null 2>&1 &
  xvfb=$!
  for _ in $(seq 100); do [ -s "$work/fd" ] && break; sleep 0.1; done
  export DISPLAY=":$(head -1 "$work/fd")"
  read -r saver saver_own < <(QRVSAVER_DATA="$root/data/QR06V2XLM" QRVSAVER_POWER_SUPPLY="$work/mains" \
    QRV_FRAME_STATS="$work/mains.txt" measure "$hack" -root)
  if [ "$battery" = 1 ]; then
    read -r bat bat_own < <(QRVSAVER_DATA="$root/data/QR06V2XLM" QRVSAVER_POWER_SUPPLY="$work/battery" \
      QRV_FRAME_STATS="$work/battery.txt" measure "$hack" -root)
  fi
  read -r floor floor_own < <(measure "$work/floor")
  kill "$xvfb"; wait "$xvfb" 2>/dev/null || true; xvfb=""; rm -f "$work/fd"
  ratio=$(awk -v s="$saver" -v f="$floor" 'BEGIN{printf "%.1f", (f > 0) ? s / f : 0}')
  echo "$size: saver $saver, floor $floor CPU s per s, ratio $ratio (programs alone: saver $saver_own, floor $floor_own)"
  echo "$size: saver $(cat "$work/mains.txt" 2>/dev/null || echo 'frames: no report')"
  if [ "$battery" = 1 ]; then
    echo "$size battery: saver $bat CPU s per s, battery / mains $(awk -v b="$bat" -v m="$saver" \
      'BEGIN{printf "%.2f", (m > 0) ? b / m : 0}') (program alone: $bat_own)"
    echo "$size battery: saver $(cat "$work/battery.txt" 2>/dev/null || echo 'frames: no report')"
  fi
done
