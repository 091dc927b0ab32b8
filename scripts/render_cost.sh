#!/bin/sh
# Instructions per frame of the movie renderer alone, per shipped movie and
# size, counted by valgrind's callgrind over a run of steady frames (only the
# frames' rendering is counted, not loading). Deterministic, so it compares
# two builds of the renderer without a timer. A measurement, not a test.
#   scripts/render_cost.sh [RENDER_COST_BINARY] [FRAMES] [SIZES...]
# Defaults: build/prof/tools/render_cost/render_cost, 8 frames, 1920x1080 3840x2160.
# Prints one line per movie and size: "movie WxH: N instructions a frame".
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
bin=${1:-$root/build/prof/tools/render_cost/render_cost}
frames=${2:-8}
[ $# -ge 2 ] && shift 2 || set --
[ $# -gt 0 ] || set -- 1920x1080 3840x2160
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
for size in "$@"; do
  for movie in "$root/data/QR06V2XLM/(Default).vsi" "$root/data/QR06V2XLM/QrvLoad.is" "$root/data/QR06V2XLM/QrvTtl.is"; do
    # The first frame after loading builds the renderer's tree; start past it
    # and a little into the movie, where it is moving.
    valgrind --tool=callgrind --callgrind-out-file="$out/cg" --toggle-collect='*Animation::renderSync*' \
      "$bin" "$movie" "$size" 30 "$((frames + 1))" >/dev/null 2>"$out/log"
    all=$(sed -n 's/^summary: //p' "$out/cg")
    valgrind --tool=callgrind --callgrind-out-file="$out/cg1" --toggle-collect='*Animation::renderSync*' \
      "$bin" "$movie" "$size" 30 1 >/dev/null 2>"$out/log"
    one=$(sed -n 's/^summary: //p' "$out/cg1")
    printf '%s %s: %s instructions a frame\n' "$(basename "$movie")" "$size" "$(( (all - one) / frames ))"
  done
done
