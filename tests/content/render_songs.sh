#!/bin/bash
# Render every built-in song with timidity and check the audio.
#
# Usage: tests/content/render_songs.sh [song directory]
#
# For each <title>.seq the rendered WAV must last as long as the MIDI says
# (within 2 s, after allowing for the tail timidity adds once the last event
# has played) and must not be silent. Prints a table; exits non-zero on any
# failure or when timidity or sox is missing.
#
# Debian's default timidity.cfg points at a sound font that may not be
# installed, so the freepats set is used when present. freepats lacks many
# General MIDI programs (most synth leads and pads); every missing melodic
# program is mapped to a patch of the same instrument family so that all
# parts are heard. Set TIMIDITY_CFG to use another configuration as is.

set -u

here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
songs=${1:-$root/data/QR06V2XLM/MCI}

TAIL=2.0          # seconds timidity keeps rendering after the last event
TOLERANCE=2.0     # seconds
MIN_RMS=0.02      # RMS amplitude (full scale 1.0) below which we call it silent

for tool in timidity sox python3; do
    if ! command -v "$tool" >/dev/null 2>&1; then
        echo "render_songs: $tool not found" >&2
        exit 2
    fi
done

shopt -s nullglob
files=("$songs"/*.seq)
if [ ${#files[@]} -eq 0 ]; then
    echo "render_songs: no .seq files in $songs" >&2
    exit 2
fi

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

if [ -n "${TIMIDITY_CFG:-}" ]; then
    cfg=$TIMIDITY_CFG
elif [ -r /etc/timidity/freepats.cfg ]; then
    cfg=$tmp/timidity.cfg
    cfg_name="freepats with family fallbacks"
    python3 - /etc/timidity/freepats.cfg >"$cfg" <<'EOF'
import re
import sys

base = sys.argv[1]
present = {}
section = None
for line in open(base, encoding="latin-1"):
    words = line.split()
    if not words or words[0].startswith("#"):
        continue
    if words[0] in ("bank", "drumset"):
        section = (words[0], words[1])
    elif section == ("bank", "0") and re.fullmatch(r"\d+", words[0]):
        present[int(words[0])] = words[1]

print("source %s" % base)
print("bank 0")
for program in range(128):
    if program in present:
        continue
    family = range(program // 8 * 8, program // 8 * 8 + 8)
    same = [p for p in family if p in present]
    # synth leads, pads and effects fall back on a square wave or warm pad
    fallback = same or [p for p in (80, 94, 48, 0) if p in present]
    print("%d %s" % (program, present[fallback[0]]))
EOF
else
    cfg=""        # whatever timidity is configured with
fi
cfg_name=${cfg_name:-${cfg:-the default timidity config}}
cfg_args=()
[ -n "$cfg" ] && cfg_args=(-c "$cfg")

start=$(date +%s.%N)
failures=0
printf '%-26s %5s %5s %5s %9s %9s %7s  %s\n' \
    title BPM key lead expected rendered RMS result
for file in "${files[@]}"; do
    title=$(basename "$file" .seq)
    info=$(python3 "$here/test_songs.py" --describe "$file") || {
        printf '%-26s cannot parse MIDI\n' "$title"
        failures=$((failures + 1))
        continue
    }
    IFS=$'\t' read -r _ bpm key lead expected <<<"$info"
    wav=$tmp/song.wav
    if ! timidity "${cfg_args[@]}" -Ow -o "$wav" "$file" >"$tmp/log" 2>&1 || [ ! -s "$wav" ]; then
        printf '%-26s timidity failed:\n' "$title"
        sed 's/^/    /' "$tmp/log"
        failures=$((failures + 1))
        continue
    fi
    rendered=$(sox --i -D "$wav")
    rms=$(sox "$wav" -n stat 2>&1 | awk '/^RMS +amplitude/ {print $3}')
    verdict=$(awk -v e="$expected" -v r="$rendered" -v rms="$rms" \
        -v tail="$TAIL" -v tol="$TOLERANCE" -v min="$MIN_RMS" 'BEGIN {
            d = r - e - tail; if (d < 0) d = -d
            msg = ""
            if (d > tol) msg = msg " length"
            if (rms == "" || rms + 0 < min) msg = msg " silent"
            print (msg == "" ? "ok" : "FAIL:" msg)
        }')
    printf '%-26s %5s %5s %5s %8.2fs %8.2fs %7.4f  %s\n' \
        "$title" "$bpm" "$key" "$lead" "$expected" "$rendered" "${rms:-0}" "$verdict"
    [ "$verdict" = ok ] || failures=$((failures + 1))
    rm -f "$wav"
done
end=$(date +%s.%N)
printf 'rendered %d songs in %.1f s with %s\n' "${#files[@]}" \
    "$(awk -v a="$start" -v b="$end" 'BEGIN {print b - a}')" "$cfg_name"

if [ "$failures" -ne 0 ]; then
    echo "render_songs: $failures failure(s)" >&2
    exit 1
fi
