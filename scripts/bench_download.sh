#!/usr/bin/env bash
# Download benchmark (a measurement, not a test): a 1 MiB movie through the
# real progress dialog (3-byte blocks) from a loopback server under Wine, and
# how long a Cancel click takes to end a download. Usage:
#   scripts/bench_download.sh [runs]      (default 3; needs scripts/build.sh first)
# Prints the time from the "Downloading ..." message to the result message
# for each run, and for the cancel the time from the click to the caption
# "Download Cancelled" and to the cancelled message. Target: 1 MiB <= 3 s.
set -euo pipefail
runs="${1:-3}"
here="$(cd "$(dirname "$0")/.." && pwd)"
. "$here/tests/e2e/lib.sh"
. "$here/tests/e2e/download_lib.sh"
e2e_begin bench_download
mkdir -p "$E2E_DIR/files"
# 1 MiB: a catalogue movie padded with blanks (still valid JSON, still a movie).
python3 - "$here/site/VelmaraScreensaver/DWN/orbits.exe" "$E2E_DIR/files/big.json" <<'PY'
import sys
s = open(sys.argv[1]).read().rstrip()
open(sys.argv[2], "w").write(s[:-1] + " " * (1048576 - len(s)) + "}")
PY
cp "$here/site/VelmaraScreensaver/DWN/oscilloscope.exe" "$E2E_DIR/files/slow.json"
site_server_start "$E2E_DIR/files"
win_data="$(winepath -w "$E2E_DIR/app/QR06V2XLM")"
WATCH_OPTS="--ok --poll 20"
for r in $(seq 1 "$runs"); do
  rm -f "$E2E_DIR/app/QR06V2XLM/big.vsi"
  start_download "$SITE_URL/t/file/big.json" "$win_data\\big.vsi" "QrvSaver2006 site" BIG
  wait_until 120 watched "closed" || fail "run $r did not finish"
  a=$(watched_at "message Downloading"); b=$(watched_at "msgbox ")
  cmp -s "$E2E_DIR/app/QR06V2XLM/big.vsi" "$E2E_DIR/files/big.json" || fail "run $r: file differs"
  echo "1 MiB through the dialog, run $r: $((b - a)) ms ($(grep -m1 msgbox "$E2E_DIR/watch.log" | cut -d' ' -f3-))"
  wait_until 20 download_ended || true
done
WATCH_OPTS="--ok --poll 5"
start_download "$SITE_URL/t/slow/slow.json" "$win_data\\slow.vsi" "QrvSaver2006 site" SLOW
wait_until 60 watched "percent [1-9][0-9]*%" || fail "slow download never moved"
read -r t_btn _ bx by < <(grep -m1 cancel_button "$E2E_DIR/watch.log")
now_ms() { echo $(( $(date +%s%N) / 1000000 )); }
w0=$(now_ms); base=$(tail -1 "$E2E_DIR/watch.log" | cut -d' ' -f1)
xdotool mousemove "$bx" "$by" click 1
wait_until 30 watched "caption Download Cancelled" || fail "no cancel"
wait_until 30 watched "msgbox The download has been cancelled." || fail "no cancelled message"
w1=$(now_ms)
c=$(watched_at "caption Download Cancelled"); m=$(watched_at "msgbox The download has been cancelled.")
echo "cancel: click to 'Download Cancelled' caption about $((c - base)) ms, to the message $((m - base)) ms (wall $((w1 - w0)) ms, watcher polls every 5 ms)"
wait_until 20 download_ended || true
