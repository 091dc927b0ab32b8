#!/usr/bin/env python3
"""What costs render time: writes one small 16:9 scene in several variants
(a plain one, then each with one costly feature added) and measures each
with vsicheck. Prints a Markdown table of render_ms_1080p and cpu_estimate,
with each variant's time as a multiple of the plain scene's.

    python3 docs/examples/cost_variants.py [VSICHECK] [OUTDIR]

VSICHECK defaults to dist/tools/vsicheck, OUTDIR to build/guide-costs.
Figures vary with the machine and its load; the ratios are what to read.
"""
import json
import math
import os
import subprocess
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
W, H, FPS, FRAMES = 480, 270, 24, 96


def static(v):
    return {"a": 0, "k": v}


def moving(frames_values):
    """Linear keyframes through (frame, value) pairs."""
    keys = []
    for (t, v), (_, nxt) in zip(frames_values, frames_values[1:]):
        keys.append({"t": t, "s": v, "e": nxt, "i": {"x": [1], "y": [1]}, "o": {"x": [0], "y": [0]}})
    keys.append({"t": frames_values[-1][0], "s": frames_values[-1][1]})
    return {"a": 1, "k": keys}


def transform(p=(0, 0)):
    return {"o": static(100), "r": static(0), "p": static([p[0], p[1], 0]), "a": static([0, 0, 0]),
            "s": static([100, 100, 100])}


def group(items):
    return {"ty": "gr", "it": items + [{"ty": "tr", "p": static([0, 0]), "a": static([0, 0]), "s": static([100, 100]),
                                         "r": static(0), "o": static(100)}]}


def layer(ind, name, shapes, ks=None, **extra):
    out = {"ddd": 0, "ind": ind, "ty": 4, "nm": name, "sr": 1, "ks": ks or transform(), "ao": 0, "shapes": shapes,
           "ip": 0, "op": FRAMES, "st": 0, "bm": 0}
    out.update(extra)
    return out


def fill(rgb, opacity=100):
    return {"ty": "fl", "c": static(list(rgb) + [1]), "o": static(opacity), "r": 1}


def lights(glow=False, masked=False):
    """Six lights circling the centre once per loop; each optionally with a
    soft glow drawn as stacked translucent discs, or inside a square mask."""
    out = []
    for i in range(6):
        path = []
        for f in range(0, FRAMES + 1, 8):
            a = 2 * math.pi * (f / FRAMES + i / 6)
            path.append((f, [W / 2 + 150 * math.cos(a), H / 2 + 80 * math.sin(a), 0]))
        ks = transform()
        ks["p"] = moving(path)
        rgb = [0.4 + 0.1 * i, 0.9 - 0.1 * i, 0.8]
        items = [{"ty": "el", "p": static([0, 0]), "s": static([36, 36])}, fill(rgb)]
        shapes = [group(items)]
        if glow:
            for k in range(8):
                d = 44 + 10 * k
                shapes.append(group([{"ty": "el", "p": static([0, 0]), "s": static([d, d])}, fill(rgb, 10)]))
        extra = {}
        if masked:
            extra = {"hasMask": True, "masksProperties": [{
                "inv": False, "mode": "a", "o": static(100), "x": static(0), "nm": "cut",
                "pt": static({"c": True, "i": [[0, 0]] * 4, "o": [[0, 0]] * 4,
                              "v": [[-30, -30], [30, -30], [30, 30], [-30, 30]]})}]}
        out.append(layer(10 + i, "light %d" % (i + 1), shapes, ks, **extra))
    return out


def background(kind):
    if kind == "none":
        return []
    rect = {"ty": "rc", "d": 1, "p": static([W / 2, H / 2]), "s": static([W, H]), "r": static(0)}
    if kind == "solid":
        paint = fill([0.03, 0.05, 0.14])
    else:  # a radial gradient over the whole frame
        paint = {"ty": "gf", "t": 2, "o": static(100), "r": 1, "s": static([W / 2, H / 2]), "e": static([W, H / 2]),
                 "h": static(0), "a": static(0),
                 "g": {"p": 3, "k": static([0, 0.2, 0.1, 0.4, 0.5, 0.05, 0.05, 0.2, 1, 0.02, 0.02, 0.06])}}
    return [layer(1, "sky", [group([rect, paint])])]


def dashed_ring(dashes):
    """A ring of radius 110 stroked with `dashes` dashes, turning once per loop."""
    circumference = 2 * math.pi * 110
    dash = circumference / dashes / 2
    ks = transform((W / 2, H / 2))
    ks["r"] = moving([(0, [0]), (FRAMES, [360 / dashes * 2])])
    stroke = {"ty": "st", "c": static([1, 0.85, 0.35, 1]), "o": static(100), "w": static(3), "lc": 1, "lj": 1,
              "d": [{"n": "d", "nm": "dash", "v": static(dash)}, {"n": "g", "nm": "gap", "v": static(dash)},
                    {"n": "o", "nm": "offset", "v": static(0)}]}
    return [layer(2, "ring", [group([{"ty": "el", "p": static([0, 0]), "s": static([220, 220])}, stroke])], ks)]


def blur_effect(layers):
    for l in layers:
        l["ef"] = [{"ty": 29, "nm": "Gaussian Blur", "en": 1, "ef": [
            {"ty": 0, "nm": "Blurriness", "v": static(20)}, {"ty": 7, "nm": "Dimensions", "v": static(1)},
            {"ty": 7, "nm": "Repeat Edge Pixels", "v": static(0)}]}]
    return layers


def movie(name, layers):
    # Layers are listed top first.
    return {"v": "5.7.0", "nm": name, "fr": FPS, "ip": 0, "op": FRAMES, "w": W, "h": H, "ddd": 0, "assets": [],
            "layers": layers}


VARIANTS = [
    ("plain: six lights on a solid sky", lambda: lights() + background("solid")),
    ("transparent: the same without the sky", lambda: lights() + background("none")),
    ("large gradient: the sky a radial gradient", lambda: lights() + background("gradient")),
    ("masks: each light inside a mask", lambda: lights(masked=True) + background("solid")),
    ("many dashes: a ring of 200 dashes", lambda: lights() + dashed_ring(200) + background("solid")),
    ("few dashes: a ring of 12 dashes", lambda: lights() + dashed_ring(12) + background("solid")),
    ("glow: 8 translucent discs round each light", lambda: lights(glow=True) + background("solid")),
    ("blur effect on each light", lambda: blur_effect(lights()) + background("solid")),
]


def main():
    vsicheck = sys.argv[1] if len(sys.argv) > 1 else os.path.join(ROOT, "dist", "tools", "vsicheck")
    out = sys.argv[2] if len(sys.argv) > 2 else os.path.join(ROOT, "build", "guide-costs")
    os.makedirs(out, exist_ok=True)
    rows = []
    for i, (name, make) in enumerate(VARIANTS):
        path = os.path.join(out, "variant%d.json" % i)
        with open(path, "w", encoding="utf-8") as f:
            json.dump(movie(name, make()), f)
        r = json.loads(subprocess.run([vsicheck, "--json", path], stdout=subprocess.PIPE, check=False).stdout)
        if not r["accepted"]:
            sys.exit("variant refused: %s: %s" % (name, r["reason"]))
        rows.append((name, r))
    base = rows[0][1]["render_ms_1080p"]
    print("| scene | ms per frame at 1080p | share of one core at %d fps | against plain | will not show |" % FPS)
    print("|---|---|---|---|---|")
    for name, r in rows:
        print("| %s | %.2f | %.3f | x %.1f | %s |" % (name, r["render_ms_1080p"], r["cpu_estimate"],
                                                      r["render_ms_1080p"] / base, ", ".join(r["unsupported"]) or "-"))


if __name__ == "__main__":
    main()
