#!/usr/bin/env bash
# The makers' guide (docs/making-visualisations.md), step by step as it is
# written: the Synfig example is exported to a Lottie file by Synfig's own
# exporter without its window, checked with vsicheck (the Linux one and the
# Windows one under Wine), copied into the saver's data folder, chosen, and
# played: it moves inside the frame, in its own colours.
source "$(dirname "$0")/lib.sh"
e2e_begin synfig_visualisation

exporter=/usr/share/synfig/plugins/lottie-exporter/lottie-exporter.py
[ -f "$exporter" ] || fail "Synfig's Lottie exporter is not installed ($exporter; scripts/setup.sh installs it)"
work="$E2E_DIR/synfig"
mkdir -p "$work"
cp "$E2E_ROOT/docs/examples/night_bloom.sif" "$work/"
# The exporter runs on the system's Python, the one Synfig Studio uses.
(cd "$work" && /usr/bin/python3 "$exporter" night_bloom.sif night_bloom.json) >"$work/export.log" 2>&1 ||
  fail "the exporter failed: $(tail -5 "$work/export.log")"
[ -s "$work/night_bloom.json" ] || fail "the exporter wrote no file"
log "exported: $(stat -c %s "$work/night_bloom.json") bytes"

# check_report JSON: accepted, the canvas as drawn in Synfig, nothing left out, not empty.
check_report() {
  python3 - "$1" <<'PY' || fail "vsicheck's report: $1"
import json, sys
r = json.loads(sys.argv[1])
assert r["accepted"] is True, r
assert (r["frames"], r["fps"], r["w"], r["h"]) == (96, 24, 480, 270), r
assert r["unsupported"] == [], r
assert r["empty"] is False, r
assert r["render_ms_1080p"] > 0 and r["cpu_estimate"] > 0, r
PY
}
report=$("$E2E_ROOT/dist/tools/vsicheck" --json "$work/night_bloom.json") || fail "vsicheck (Linux) refused it: $report"
check_report "$report"
winfile=$(winepath -w "$work/night_bloom.json")
report=$(wine "$E2E_ROOT/$QRV_DIST/tools/vsicheck.exe" --json "$winfile" | tr -d '\r') ||
  fail "vsicheck.exe refused it: $report"
check_report "$report"
log "vsicheck, Linux and Windows: accepted, 96 frames at 24 fps, 480x270, nothing left out: ok"

# Installed as the guide says: a .vsi file in the data folder, then chosen.
cp "$work/night_bloom.json" "$E2E_DIR/app/QR06V2XLM/Night bloom.vsi"
start_with_visualisation "Night bloom"
sleep 1
a=$(shot synfig_running_1); sleep 0.5; b=$(shot synfig_running_2)
# The 16:9 movie fills the frame's width (x 34..993) and is centred in its
# height: its lower part, below the title, moves.
region_differs "$a" "$b" 900x300+60+380 || fail "the visualisation does not move ($a, $b)"
# The sky left of the lights is Synfig's dark blue (the exporter paints every
# shape as a red solid coloured by a fill effect).
read -r r g bl <<<"$(pixel "$a" 60 600)"
[ "$r" -lt 40 ] && [ "$bl" -gt $((r + 15)) ] || fail "the sky at (60,600) is $r $g $bl, not dark blue ($a)"
log "plays in the saver, moves, in its own colours: ok"
xdotool mousemove 300 400 click 1
wait_exit 15 || fail "a click did not end the run"
echo "PASS synfig_visualisation"
