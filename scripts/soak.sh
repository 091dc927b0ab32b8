#!/usr/bin/env bash
# A long run of the screensaver, sampled every 30 seconds: its resident and
# anonymous memory, threads, open handles, and GDI and USER objects (read
# from inside the session by gui_counts.exe; Wine may answer 0 for these),
# and the host's file descriptors of the process. A measurement, not a test.
#
#   scripts/soak.sh MINUTES [SIZE]     SIZE default 1920x1080
#
# Prints one line per sample, then the growth after the first minute:
#   soak: RssAnon A MB at 1 min, B MB at the end: C MB per hour; threads, handles, gdi, user first -> last
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
. "$root/scripts/wine_env.sh"
minutes="${1:?usage: scripts/soak.sh MINUTES [SIZE]}"; size="${2:-1920x1080}"
counts_exe="$root/$QRV_WIN_BUILD/tests/win/gui_counts.exe"
[ -f "$counts_exe" ] || ninja -C "$root/$QRV_WIN_BUILD" gui_counts >/dev/null
work=$(mktemp -d)
trap 'kill ${app:-} ${MON_X_PID:-} 2>/dev/null; WINEPREFIX=$work/prefix qrv_wineserver -k 2>/dev/null; rm -rf "$work"' EXIT
export WINEPREFIX="$work/prefix" WINEDLLOVERRIDES="mscoree=;mshtml=" WINEDEBUG=-all
qrv_wineboot -i >/dev/null 2>&1; qrv_wineserver -w
source "$root/scripts/monitors.sh"
start_monitors "$size" "$work" || { echo "soak: no X server for $size" >&2; exit 1; }
qrv_wine reg add 'HKCU\Quorvane\VMSRC16\Settings' /f >/dev/null 2>&1
(cd "$root/$QRV_DIST" && exec "$QRV_WINE" ./QrvSaver2006.scr /s >/dev/null 2>&1) & app=$!
sleep 8
pid=$(for p in $(pgrep -f 'QrvSaver2006.scr /s' || true); do
  if tr '\0' '\n' <"/proc/$p/environ" 2>/dev/null | grep -x "WINEPREFIX=$WINEPREFIX" >/dev/null; then echo "$p"; fi; done | tail -1)
[ -n "$pid" ] || { echo "soak: the screensaver is not running" >&2; exit 1; }
start=$(date +%s); end=$((start + minutes * 60))
echo "soak: $size for $minutes min, $QRV_ARCH"
while :; do
  now=$(date +%s)
  [ -d "/proc/$pid" ] || { echo "soak: the screensaver ended after $(( (now - start) / 60 )) min" >&2; exit 1; }
  mem=$(awk '/^VmRSS|^RssAnon/ {printf "%s %.2f ", $1, $2 / 1024} /^Threads/ {printf "threads %s", $2}' "/proc/$pid/status")
  fds=$(ls "/proc/$pid/fd" 2>/dev/null | wc -l)
  gui=$(qrv_wine "$counts_exe" QrvSaver2006.scr 2>/dev/null | tr -d '\r' || echo "no counts")
  echo "$(( (now - start) / 60 ))m$(( (now - start) % 60 ))s $mem $gui fds $fds" | tee -a "$work/samples"
  [ "$now" -lt "$end" ] || break
  sleep 30
done
awk -v m="$minutes" '
  { t = $1; sub(/m.*/, "", t); secs = t * 60 + substr($1, index($1, "m") + 1) + 0
    anon = $5; thr = $7; g = $11; u = $13; h = $15; f = $17 }
  secs >= 60 && !seen { seen = 1; a0 = anon; s0 = secs; thr0 = thr; g0 = g; u0 = u; h0 = h; f0 = f }
  END { if (!seen) { print "soak: shorter than a minute"; exit }
        rate = (secs > s0) ? (anon - a0) * 3600 / (secs - s0) : 0
        printf "soak: RssAnon %.2f MB at %d s, %.2f MB at %d s: %.2f MB per hour; threads %s -> %s, handles %s -> %s, gdi %s -> %s, user %s -> %s, host fds %s -> %s\n",
               a0, s0, anon, secs, rate, thr0, thr, h0, h, g0, g, u0, u, f0, f }' "$work/samples"
