#!/bin/sh
# Fidelity against a reference player: renders frames of the site's movies
# and of the corpus (scripts/corpus.sh) with lottie-web (from npm) in
# headless Chromium and with our renderer (vsi2png, which uses the player's
# pre-pass), both over white at the same size, and compares each pair by SSIM
# (grey levels, 8 x 8 windows). A measurement, not a test: prints one line
# per frame below 0.95 and the share of frames at or above it.
#   scripts/fidelity.sh [FRAMES_PER_MOVIE]       default 4
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
per=${1:-4}
dir=$root/build/fidelity
vsi2png=${QRV_VSI2PNG:-$root/build/host/tools/vsi2png/vsi2png}
mkdir -p "$dir/pkg" "$dir/frames"
if [ ! -f "$dir/pkg/package/build/player/lottie.min.js" ]; then
  (cd "$dir/pkg" && npm pack --silent lottie-web@5.12.2 >/dev/null && tar xzf lottie-web-5.12.2.tgz)
fi
lottie=$dir/pkg/package/build/player/lottie.min.js
# Movies: the site's, and the corpus files the player accepts.
{
  for f in "$root"/site/VelmaraScreensaver/DWN/*.exe; do echo "$f"; done
  if [ -f "$root/build/corpus/report.jsonl" ]; then
    python3 -c 'import json,sys
for l in open(sys.argv[1]):
    r = json.loads(l)
    if r["accepted"]: print(r["file"])' "$root/build/corpus/report.jsonl"
  fi
} >"$dir/movies.txt"
python3 - "$dir" "$lottie" "$vsi2png" "$per" <<'PY'
import json, os, subprocess, sys
out, lottie, vsi2png, per = sys.argv[1], sys.argv[2], sys.argv[3], int(sys.argv[4])

def grey(png, w, h):
    raw = subprocess.run(["convert", png, "-background", "white", "-flatten", "-resize", "%dx%d!" % (w, h),
                          "-colorspace", "Gray", "-depth", "8", "gray:-"], stdout=subprocess.PIPE, check=True).stdout
    return raw

def ssim(a, b, w, h, n=8):
    c1, c2 = (0.01 * 255) ** 2, (0.03 * 255) ** 2
    total, count = 0.0, 0
    for by in range(0, h - n + 1, n):
        for bx in range(0, w - n + 1, n):
            xs = [a[(by + y) * w + bx + x] for y in range(n) for x in range(n)]
            ys = [b[(by + y) * w + bx + x] for y in range(n) for x in range(n)]
            k = len(xs)
            mx, my = sum(xs) / k, sum(ys) / k
            vx = sum((v - mx) ** 2 for v in xs) / k
            vy = sum((v - my) ** 2 for v in ys) / k
            cov = sum((p - mx) * (q - my) for p, q in zip(xs, ys)) / k
            total += ((2 * mx * my + c1) * (2 * cov + c2)) / ((mx * mx + my * my + c1) * (vx + vy + c2))
            count += 1
    return total / max(count, 1)

rows = []
for movie in open(os.path.join(out, "movies.txt")).read().split("\n"):
    if not movie:
        continue
    data = open(movie, encoding="utf-8").read()
    m = json.loads(data)
    mw, mh = m["w"], m["h"]
    s = min(400.0 / mw, 300.0 / mh)
    # The movie's own shape (both players centre a movie that does not fill
    # the page, so a rounded shape would shift one picture against the other).
    w, h = max(16, int(round(mw * s))), max(16, int(round(mh * s)))
    total = int(m["op"] - m["ip"])
    name = os.path.basename(movie)
    for i in range(per):
        frame = int(total * (0.1 + 0.75 * i / max(per - 1, 1)))
        base = os.path.join(out, "frames", "%s-%d" % (name.replace(" ", "_"), frame))
        page = base + ".html"
        with open(page, "w", encoding="utf-8") as f:
            f.write('<!DOCTYPE html><html><body style="margin:0;background:#fff;overflow:hidden">'
                    '<div id="a" style="width:%dpx;height:%dpx"></div><script src="file://%s"></script>'
                    '<script>var an=lottie.loadAnimation({container:document.getElementById("a"),renderer:"svg",'
                    'loop:false,autoplay:false,animationData:%s});an.goToAndStop(%d,true);</script></body></html>'
                    % (w, h, lottie, data, frame))
        ref, ours = base + "-ref.png", base + "-ours.png"
        subprocess.run(["chromium", "--headless", "--no-sandbox", "--disable-gpu", "--hide-scrollbars",
                        "--allow-file-access-from-files", "--window-size=%d,%d" % (w, h),
                        "--virtual-time-budget=4000", "--screenshot=" + ref, "file://" + page],
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=120)
        subprocess.run([vsi2png, movie, str(frame), "%dx%d" % (w, h), ours, "--bg", "ffffff"],
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, check=True)
        if not os.path.exists(ref):
            print("%s frame %d: no reference picture" % (name, frame))
            continue
        v = ssim(grey(ref, w, h), grey(ours, w, h), w, h)
        rows.append((name, frame, v))
        if v < 0.95:
            print("below: %-40s frame %5d  SSIM %.3f  (%s)" % (name, frame, v, base))
good = sum(1 for r in rows if r[2] >= 0.95)
print("fidelity: %d frames compared, %d (%.1f %%) at SSIM >= 0.95" % (len(rows), good,
      100.0 * good / max(len(rows), 1)))
PY
