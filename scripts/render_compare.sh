#!/bin/sh
# Compares the pictures of two builds of the movie renderer: renders sampled
# frames of every shipped movie with each build's vsi2png, over white, and
# prints per frame the pixels that differ, the largest channel difference
# (of 255) and the structural similarity (frame2png ssim; 1 means the same).
# A measurement, not a test.
#   scripts/render_compare.sh OLD_VSI2PNG NEW_VSI2PNG [SIZES...]
# Default sizes: 1920x1080 3840x2160. FRAME2PNG picks the ssim tool
# (default build/host/tools/frame2png/frame2png).
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
old=$1 new=$2
shift 2
[ $# -gt 0 ] || set -- 1920x1080 3840x2160
ssim=${FRAME2PNG:-$root/build/host/tools/frame2png/frame2png}
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
for size in "$@"; do
  for movie in "$root/data/QR06V2XLM/(Default).vsi" "$root/data/QR06V2XLM/QrvLoad.is" "$root/data/QR06V2XLM/QrvTtl.is"; do
    total=$("$old" "$movie" info | sed -n 's/^total frames: //p')
    for f in 0 $((total / 4)) $((total / 2)) $((total * 3 / 4)) $((total - 1)); do
      "$old" "$movie" "$f" "$size" "$out/a.png" --bg ffffff
      "$new" "$movie" "$f" "$size" "$out/b.png" --bg ffffff
      ae=$(compare -metric AE "$out/a.png" "$out/b.png" null: 2>&1 || true)
      pae=$(compare -metric PAE "$out/a.png" "$out/b.png" null: 2>&1 | sed 's/ (.*//' || true)
      s=$("$ssim" ssim "$out/a.png" "$out/b.png")
      printf '%s %s frame %s: %s pixels differ, largest difference %s/255, ssim %s\n' \
        "$(basename "$movie")" "$size" "$f" "$ae" "$(( ${pae:-0} / 257 ))" "$s"
    done
  done
done
