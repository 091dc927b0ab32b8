#!/usr/bin/env python3
"""Generate the shipped movies: the loader, the title overlay and the default
visualisation.

Usage: python3 tools/make_movies.py [outdir]

Writes "QrvLoad.is", "QrvTtl.is" and "(Default).vsi" into outdir (default:
data/QR06V2XLM under the repository root). The files are Lottie JSON played
by rlottie. Pure standard library; the output is the same bytes on every run.

Only features that rlottie 0.1 draws correctly are used: rectangles,
ellipses, stars, paths, solid and gradient fills and strokes, dashes, trim
paths, a few repeaters, keyframed transforms and precompositions. There are
no text layers, so every letter is a stroked path from the small font below.

Timing of the visualisation: 30 frames a second, one beat every 13 frames
(138.5 beats a minute), a loop of 8 bars of 4 beats = 416 frames. Every
periodic motion completes a whole number of cycles in the loop, so the last
frame runs into the first without a seam. Parts that repeat within the loop
(the equaliser's 4-bar pattern, the star field's 2-bar cycle) live in
precompositions placed back to back.
"""

import json
import math
import os
import sys

# ---------------------------------------------------------------------------
# Palette (the club colours of the pictures)

CYAN = (0.15, 0.85, 1.0)
MAGENTA = (1.0, 0.22, 0.82)
VIOLET = (0.58, 0.32, 1.0)
TEAL = (0.2, 1.0, 0.75)
WHITE = (1.0, 1.0, 1.0)
PINK = (1.0, 0.62, 0.95)
DEEP = (0.1, 0.04, 0.32)
BLACK = (0.0, 0.0, 0.0)


def mixc(a, b, t):
    t = max(0.0, min(1.0, t))
    return tuple(a[k] + (b[k] - a[k]) * t for k in range(3))


FPS = 30

LOADER_NAME = "QrvLoad.is"
TITLE_NAME = "QrvTtl.is"
DEFAULT_NAME = "(Default).vsi"


class Rng:
    """Small deterministic generator (xorshift32), independent of the
    interpreter's own random module."""

    def __init__(self, seed):
        self.s = seed & 0xFFFFFFFF or 1

    def next(self):
        s = self.s
        s ^= (s << 13) & 0xFFFFFFFF
        s ^= s >> 17
        s ^= (s << 5) & 0xFFFFFFFF
        self.s = s
        return s / 4294967296.0

    def uniform(self, a, b):
        return a + (b - a) * self.next()

    def choice(self, seq):
        return seq[int(self.next() * len(seq)) % len(seq)]


# ---------------------------------------------------------------------------
# Lottie building blocks

def num(x):
    v = round(float(x), 2)
    iv = int(v)
    return iv if v == iv else v


def value(v):
    if isinstance(v, (list, tuple)):
        return [num(x) for x in v]
    return num(v)


def is_prop(x):
    return isinstance(x, dict) and "a" in x and "k" in x


def prop(x):
    return x if is_prop(x) else {"a": 0, "k": value(x)}


# Easings of a keyframe segment: (out tangent of its start key, in tangent
# of its end key), as cubic-bezier control points.
LINEAR = ((0.0, 0.0), (1.0, 1.0))
SMOOTH = ((0.42, 0.0), (0.58, 1.0))
EASE_OUT = ((0.1, 0.6), (0.3, 1.0))
DECAY = ((0.15, 0.75), (0.35, 1.0))
HOLD = "hold"


def keys(frames, ease=SMOOTH):
    """Animated property from [(t, v) or (t, v, ease)]; a key's ease shapes
    the segment that starts at it."""
    out = []
    last = len(frames) - 1
    for n, f in enumerate(frames):
        t, v = f[0], f[1]
        e = f[2] if len(f) > 2 else ease
        k = {"t": num(t), "s": value(v) if isinstance(v, (list, tuple)) else [num(v)]}
        if n < last:
            if e == HOLD:
                k["h"] = 1
            else:
                (ox, oy), (ix, iy) = e
                k["o"] = {"x": [ox], "y": [oy]}
                k["i"] = {"x": [ix], "y": [iy]}
        out.append(k)
    return {"a": 1, "k": out}


def remap(p, fn):
    """The scalar keyframed property p with every value v replaced by
    fn(v): one timing shared by several properties."""
    out = []
    for k in p["k"]:
        v = fn(k["s"][0])
        out.append(dict(k, s=value(v) if isinstance(v, (list, tuple)) else [num(v)]))
    return {"a": 1, "k": out}


def rgba(c):
    return [c[0], c[1], c[2], 1]


def transform(p=(0, 0), a=(0, 0), s=(100, 100), r=0, o=100):
    return {"a": prop(a), "p": prop(p), "s": prop(s), "r": prop(r), "o": prop(o)}


def group(nm, items, **tr):
    # rlottie reads a shape item's keys in order and ignores those before
    # "ty", so "ty" always comes first.
    t = dict(ty="tr", **transform(**tr))
    return {"ty": "gr", "nm": nm, "it": list(items) + [t]}


def rect(size, p=(0, 0), r=0):
    return {"ty": "rc", "d": 1, "p": prop(p), "s": prop(size), "r": prop(r)}


def ellipse(size, p=(0, 0)):
    return {"ty": "el", "d": 1, "p": prop(p), "s": prop(size)}


def circle(radius, p=(0, 0)):
    return ellipse((2 * radius, 2 * radius), p)


def star(points, outer, inner, p=(0, 0), r=0):
    return {"ty": "sr", "sy": 1, "d": 1, "pt": prop(points), "p": prop(p), "r": prop(r),
            "or": prop(outer), "os": prop(0), "ir": prop(inner), "is": prop(0)}


def fill(c, o=100):
    return {"ty": "fl", "c": prop(rgba(c)), "o": prop(o), "r": 1}


def stroke(c, w, o=100, cap=2, dash=None):
    s = {"ty": "st", "c": prop(rgba(c)), "o": prop(o), "w": prop(w), "lc": cap, "lj": 2, "ml": 4}
    if dash:
        s["d"] = [{"n": "d", "nm": "dash", "v": prop(dash[0])},
                  {"n": "g", "nm": "gap", "v": prop(dash[1])},
                  {"n": "o", "nm": "offset", "v": prop(0)}]
    return s


def gradient(stops):
    """[(position, rgb, alpha)]: colour stops, then opacity stops at the same
    positions (rlottie merges the two lists correctly only then)."""
    k = []
    for pos, c, _ in stops:
        k += [pos, c[0], c[1], c[2]]
    for pos, _, a in stops:
        k += [pos, a]
    return {"p": len(stops), "k": prop(k)}


def gfill(stops, start, end, radial=False, o=100):
    return {"ty": "gf", "t": 2 if radial else 1, "o": prop(o), "r": 1, "g": gradient(stops),
            "s": prop(start), "e": prop(end), "h": prop(0), "a": prop(0)}


def gstroke(stops, start, end, w, o=100, cap=2, dash=None):
    s = {"ty": "gs", "t": 1, "o": prop(o), "w": prop(w), "lc": cap, "lj": 2, "ml": 4,
         "g": gradient(stops), "s": prop(start), "e": prop(end), "h": prop(0), "a": prop(0)}
    if dash:
        s["d"] = [{"n": "d", "nm": "dash", "v": prop(dash[0])},
                  {"n": "g", "nm": "gap", "v": prop(dash[1])},
                  {"n": "o", "nm": "offset", "v": prop(0)}]
    return s


def trim(start=0, end=100, offset=0):
    # m 1: every path of the group is trimmed on its own.
    return {"ty": "tm", "s": prop(start), "e": prop(end), "o": prop(offset), "m": 1}


def repeater(copies, rotation=0, position=(0, 0)):
    return {"ty": "rp", "c": prop(copies), "o": prop(0), "m": 1,
            "tr": {"ty": "tr", "p": prop(position), "a": prop((0, 0)), "s": prop((100, 100)),
                   "r": prop(rotation), "so": prop(100), "eo": prop(100)}}


def shape_layer(nm, shapes, op, ks=None, ip=0):
    return {"ddd": 0, "ty": 4, "nm": nm, "sr": 1, "ks": ks or transform(), "ao": 0,
            "shapes": shapes, "ip": ip, "op": op, "st": 0, "bm": 0}


def precomp_layer(nm, ref, w, h, ip, op, st, ks=None):
    return {"ddd": 0, "ty": 0, "nm": nm, "refId": ref, "sr": 1, "ks": ks or transform(), "ao": 0,
            "w": w, "h": h, "ip": ip, "op": op, "st": st, "bm": 0}


def tiled(nm, ref, w, h, length, total, ks=None):
    """Back-to-back instances of a precomposition of `length` frames that
    together cover frames 0..total."""
    assert total % length == 0
    return [precomp_layer("%s %d" % (nm, n + 1), ref, w, h, n * length, (n + 1) * length,
                          n * length, ks) for n in range(total // length)]


def number_layers(layers):
    for n, layer in enumerate(layers):
        layer["ind"] = n + 1
    return layers


def composition(nm, w, h, op, layers, assets=()):
    for a in assets:
        number_layers(a["layers"])
    return {"v": "5.7.0", "nm": nm, "fr": FPS, "ip": 0, "op": op, "w": w, "h": h, "ddd": 0,
            "assets": list(assets), "layers": number_layers(layers), "markers": []}


def encode(movie):
    return (json.dumps(movie, separators=(",", ":"), ensure_ascii=True) + "\n").encode("ascii")


# ---------------------------------------------------------------------------
# Paths and the stroke font

class Pen:
    """Builds one bezier path: vertices with in/out tangents relative to
    their vertex, as Lottie stores them."""

    def __init__(self):
        self.v, self.i, self.o = [], [], []
        self.closed = False

    def move(self, x, y):
        assert not self.v
        self.v.append((x, y))
        self.i.append((0, 0))
        self.o.append((0, 0))
        return self

    def line(self, x, y):
        self.v.append((x, y))
        self.i.append((0, 0))
        self.o.append((0, 0))
        return self

    def curve(self, c1, c2, p):
        px, py = self.v[-1]
        self.o[-1] = (c1[0] - px, c1[1] - py)
        self.v.append(p)
        self.i.append((c2[0] - p[0], c2[1] - p[1]))
        self.o.append((0, 0))
        return self

    def arc(self, cx, cy, rx, ry, a0, a1):
        """Elliptic arc from angle a0 to a1 (degrees, y down, so increasing
        angles turn clockwise on screen). Starts the path if it is empty,
        otherwise joins the arc's start with a line if it is elsewhere."""
        n = max(1, int(math.ceil(abs(a1 - a0) / 90.0 - 1e-9)))
        da = (a1 - a0) / n
        k = 4.0 / 3.0 * math.tan(math.radians(da) / 4.0)

        def at(t):
            return (cx + rx * math.cos(t), cy + ry * math.sin(t))

        t0 = math.radians(a0)
        start = at(t0)
        if not self.v:
            self.move(*start)
        elif math.hypot(self.v[-1][0] - start[0], self.v[-1][1] - start[1]) > 1e-6:
            self.line(*start)
        for j in range(n):
            t0 = math.radians(a0 + j * da)
            t1 = math.radians(a0 + (j + 1) * da)
            p0, p1 = at(t0), at(t1)
            c1 = (p0[0] - k * rx * math.sin(t0), p0[1] + k * ry * math.cos(t0))
            c2 = (p1[0] + k * rx * math.sin(t1), p1[1] - k * ry * math.cos(t1))
            self.curve(c1, c2, p1)
        return self

    def close(self):
        if len(self.v) > 1 and math.hypot(self.v[-1][0] - self.v[0][0],
                                          self.v[-1][1] - self.v[0][1]) < 1e-6:
            self.i[0] = self.i[-1]
            self.v.pop()
            self.i.pop()
            self.o.pop()
        self.closed = True
        return self

    def shape(self):
        return {"ty": "sh", "ks": {"a": 0, "k": {
            "i": [value(p) for p in self.i], "o": [value(p) for p in self.o],
            "v": [value(p) for p in self.v], "c": self.closed}}}


def polyline(*pts):
    pen = Pen().move(*pts[0])
    for p in pts[1:]:
        pen.line(*p)
    return pen.shape()


# Glyphs in font units: baseline at y 0, capitals 100 high (y -100), small
# letters 70. Each entry is (advance, shapes). Drawn with round strokes of
# about 12 units.
def _glyphs():
    g = {}
    g["Q"] = (104, [ellipse((92, 100), (50, -50)),
                    polyline((60, -26), (98, 8))])
    g["r"] = (48, [polyline((8, -70), (8, 0)),
                   Pen().move(8, -36).curve((10, -60), (26, -71), (46, -68)).shape()])
    g["v"] = (62, [polyline((2, -70), (31, 0), (60, -70))])
    g["S"] = (76, [Pen().arc(38, -75, 29, 25, -25, -270).arc(38, -25, 31, 25, -90, 150).shape()])
    g["a"] = (62, [ellipse((50, 70), (30, -35)), polyline((56, -70), (56, 0))])
    g["e"] = (62, [Pen().move(7, -35).line(57, -35).arc(32, -35, 25, 35, 0, -318).shape()])
    g["2"] = (70, [Pen().move(8, -74).curve((8, -94), (24, -100), (36, -100))
                   .curve((52, -100), (64, -90), (64, -74))
                   .curve((64, -54), (42, -38), (7, 0)).line(66, 0).shape()])
    g["0"] = (70, [ellipse((56, 100), (35, -50))])
    g["6"] = (70, [ellipse((56, 62), (35, -31)),
                   Pen().move(58, -92).curve((50, -99), (42, -100), (36, -100))
                   .curve((16, -100), (7, -74), (7, -31)).shape()])
    g[" "] = (36, [])
    g["L"] = (56, [polyline((4, -100), (4, 0), (52, 0))])
    g["O"] = (84, [ellipse((76, 100), (42, -50))])
    g["A"] = (80, [polyline((4, 0), (40, -100), (76, 0)), polyline((17, -36), (63, -36))])
    g["D"] = (80, [Pen().move(6, 0).line(6, -100).line(32, -100)
                   .curve((62, -100), (76, -78), (76, -50))
                   .curve((76, -22), (62, 0), (32, 0)).close().shape()])
    g["I"] = (12, [polyline((6, -100), (6, 0))])
    g["N"] = (76, [polyline((6, 0), (6, -100), (70, 0), (70, -100))])
    g["G"] = (84, [Pen().arc(44, -50, 38, 50, -40, -360).line(50, -50).shape()])
    return g


GLYPHS = _glyphs()


def layout(text, spacing):
    """[(char, x offset, shapes)] and the total width, in font units."""
    out, x = [], 0.0
    for n, ch in enumerate(text):
        adv, shapes = GLYPHS[ch]
        out.append((ch, x, shapes))
        x += adv + (spacing if n < len(text) - 1 else 0)
    return out, x


# ---------------------------------------------------------------------------
# The loader: 113 by 43, black, a row of bars that a wave sweeps across.

LOADER_W, LOADER_H = 113, 43
LOADER_CYCLE = 36          # 1.2 s
LOADER_OP = LOADER_CYCLE * 5  # 6 s: outlasts the load sequence even if not looped


def pulse_keys(total, period, peak_at, rest, peak, width):
    """A bump from `rest` to `peak` and back, `width` frames either side of
    `peak_at` (mod period), repeating over 0..total; equal at both ends."""
    def level(t):
        d = (t - peak_at) % period
        d = min(d, period - d)
        if d >= width:
            return rest
        x = 1.0 - d / width
        return rest + (peak - rest) * x * x * (3 - 2 * x)

    times = {0, total}
    for c in range(-1, total // period + 2):
        base = c * period + peak_at
        for t in (base - width, base, base + width):
            if 0 < t < total:
                times.add(t)
    return keys([(t, level(t)) for t in sorted(times)], SMOOTH)


def make_loader():
    op = LOADER_OP
    nbars, pitch, bw = 9, 9.0, 5.0
    cx, cy = LOADER_W / 2.0, 16.0
    bars = []
    for i in range(nbars):
        u = i / (nbars - 1.0)
        colour = mixc(MAGENTA, VIOLET, u * 2) if u < 0.5 else mixc(VIOLET, CYAN, u * 2 - 1)
        x = cx + (i - (nbars - 1) / 2.0) * pitch
        peak_at = 4 + i * 2.5
        h = pulse_keys(op, LOADER_CYCLE, peak_at, 5, 22, 9)
        size = remap(h, lambda v: (bw, v))
        o = pulse_keys(op, LOADER_CYCLE, peak_at, 45, 100, 9)
        bars.append(group("bar %d" % (i + 1), [
            rect(size, (0, 0), 2.5),
            fill(mixc(colour, WHITE, 0.15), o)], p=(x, cy)))
        # a faint halo that swells with the bar
        bars.append(group("halo %d" % (i + 1), [
            rect(remap(h, lambda v: (bw + 6, v + 6)), (0, 0), 5),
            fill(colour, remap(o, lambda v: v * 0.3))],
            p=(x, cy)))

    # the sweep: a soft light that runs left to right once a cycle
    sweep = []
    for c in range(op // LOADER_CYCLE):
        t0 = c * LOADER_CYCLE
        sweep.append((t0, (-34, cy), LINEAR))
        sweep.append((t0 + LOADER_CYCLE - 1, (-34 + 181 * (LOADER_CYCLE - 1) / LOADER_CYCLE, cy), HOLD))
    sweep.append((op, (-34, cy)))
    glow = group("sweep", [
        ellipse((70, 44)),
        gfill([(0, PINK, 0.55), (0.45, VIOLET, 0.25), (1, VIOLET, 0)], (0, 0), (35, 0), radial=True)],
        p=keys(sweep, LINEAR))

    # "LOADING" in small capitals under the bars, breathing once a cycle
    glyphs, width = layout("LOADING", 26)
    scale = 0.065
    word = [group(ch, shapes, p=(x, 0)) for ch, x, shapes in glyphs]
    word += [stroke(mixc(VIOLET, WHITE, 0.45), 15)]
    text = group("word", word, p=(cx - width * scale / 2.0, 38.5), s=(scale * 100, scale * 100),
                 o=pulse_keys(op, LOADER_CYCLE, 18, 55, 100, 18))

    layers = [
        shape_layer("bars", bars[::-1], op),
        shape_layer("word", [text], op),
        shape_layer("sweep", [glow], op),
        shape_layer("black", [rect((LOADER_W, LOADER_H), (cx, LOADER_H / 2.0)), fill(BLACK)], op),
    ]
    return composition("QrvSaver2006 loader", LOADER_W, LOADER_H, op, layers)


# ---------------------------------------------------------------------------
# The title overlay: transparent, 1920 by 1080, stretched over the screen.
# The title sits in the band above the visualisation's frame (which begins
# at 15.5 % of the height). It writes itself in, flickers on like a neon
# tube, gets a shimmer and an underline, then holds.

TITLE_W, TITLE_H = 1920, 1080
TITLE_OP = 90              # 3 s, then the last frame stays
TITLE_TEXT = "QrvSaver 2006"


def make_title():
    op = TITLE_OP
    glyphs, width = layout(TITLE_TEXT, 16)
    scale = 0.84
    left = TITLE_W / 2.0 - width * scale / 2.0
    baseline = 120.0

    items = []
    n = 0
    for ch, x, shapes in glyphs:
        if not shapes:
            continue
        t0 = 4 + 2.2 * n
        n += 1
        draw = keys([(0, 0, HOLD), (t0, 0, SMOOTH), (t0 + 18, 100)])
        items.append(group(ch, shapes + [trim(0, draw)], p=(x, 0)))

    # the shimmer: a white-hot band, 360 units wide, runs along the tubes
    def band(offset):
        x = keys([(0, -420, HOLD), (52, -420, SMOOTH), (82, width + 60)])
        return remap(x, lambda v: (v + offset, -50))

    hot = [(0, WHITE, 0), (0.5, WHITE, 1), (1, WHITE, 0)]
    items += [
        gstroke(hot, band(0), band(360), 15),
        gstroke([(0, PINK, 0), (0.5, PINK, 0.45), (1, PINK, 0)], band(0), band(360), 44),
        stroke(mixc(PINK, WHITE, 0.6), 4, 80),
        gstroke([(0, MAGENTA, 1), (0.5, VIOLET, 1), (1, CYAN, 1)], (0, -50), (width, -50), 12),
        gstroke([(0, MAGENTA, 1), (0.5, VIOLET, 1), (1, CYAN, 1)], (0, -50), (width, -50), 30,
                keys([(0, 0, HOLD), (30, 0, LINEAR), (33, 28, LINEAR), (35, 5, LINEAR),
                      (38, 30, LINEAR), (41, 10, LINEAR), (46, 32)])),
        stroke(VIOLET, 64, keys([(0, 0, HOLD), (38, 0, SMOOTH), (60, 10)])),
    ]
    title = group("title", items, p=(left, baseline), s=(scale * 100, scale * 100))

    # the underline grows from the middle, and two sparks land on its ends
    uy = baseline + 24
    half = width * scale / 2.0 + 30
    # Shapes that have not appeared yet are hidden by opacity 0, not by
    # scale 0: a degenerate outline is not worth rasterising.
    grow = keys([(0, (2, 100), HOLD), (34, (2, 100), SMOOTH), (62, (100, 100))])
    appear = keys([(0, 0, HOLD), (34, 100)])
    line_stops = [(0, CYAN, 0), (0.2, CYAN, 1), (0.5, VIOLET, 1), (0.8, MAGENTA, 1), (1, MAGENTA, 0)]
    underline = group("underline", [
        group("core", [rect((2 * half, 3)), gfill(line_stops, (-half, 0), (half, 0))]),
        group("glow", [rect((2 * half, 14), r=7), gfill(line_stops, (-half, 0), (half, 0), o=30)]),
    ], p=(TITLE_W / 2.0, uy), s=grow, o=appear)

    sparks = []
    for side in (-1, 1):
        pop = keys([(0, (20, 20), HOLD), (58, (20, 20), EASE_OUT), (66, (140, 140), SMOOTH),
                    (76, (100, 100))])
        spin = keys([(0, 0, HOLD), (58, 0, SMOOTH), (80, 90 * side)])
        sparks.append(group("spark", [
            group("ray", [star(4, 22, 4), fill(WHITE)]),
            group("halo", [circle(16),
                           gfill([(0, PINK, 0.7), (1, MAGENTA, 0)], (0, 0), (16, 0), radial=True)]),
        ], p=(TITLE_W / 2.0 + side * half, uy), s=pop, r=spin,
            o=keys([(0, 0, HOLD), (58, 100)])))

    arrive = keys([(0, (0, -14), SMOOTH), (30, (0, 0))])
    layers = [
        shape_layer("sparks", sparks, op),
        shape_layer("title", [title], op, ks=transform(p=arrive)),
        shape_layer("underline", [underline], op),
    ]
    return composition("QrvSaver2006 title", TITLE_W, TITLE_H, op, layers)


# ---------------------------------------------------------------------------
# The default visualisation: 1600 by 770 (about the proportions of its frame
# on a 16:9 screen), transparent outside the haze.

VIS_W, VIS_H = 1600, 770
BEAT = 13                  # frames; 30 * 60 / 13 = 138.5 beats a minute
BAR = 4 * BEAT
VIS_OP = 8 * BAR           # 416 frames, 13.9 s
CX, CY = VIS_W / 2.0, 350.0


def beat_keys(lo, hi_by_beat, attack=2, total=VIS_OP):
    """A kick on every beat: up to hi_by_beat(b) in `attack` frames, then a
    decay back to lo by the next beat."""
    frames = []
    for b in range(total // BEAT):
        t = b * BEAT
        frames.append((t, lo, LINEAR))
        frames.append((t + attack, hi_by_beat(b), DECAY))
    frames.append((total, lo))
    return keys(frames)


def accent(strong, medium, weak):
    return lambda b: strong if b % 4 == 0 else (medium if b % 2 == 0 else weak)


def turn(turns, total=VIS_OP, start=0):
    return keys([(0, start, LINEAR), (total, start + 360 * turns)], LINEAR)


# Everything that spreads out from the centre stays inside this ellipse and
# has faded to nothing by its rim, so no part of the picture is cut off by
# the frame and the background shows all round the movie. The ellipse leaves
# a margin of a few per cent above and below and on both sides.
GLOW_RX, GLOW_RY = 740.0, 318.0


def make_haze():
    # a circle with a radial gradient, squashed into the glow ellipse: the
    # gradient is squashed with it, so it reaches alpha 0 at the rim
    shapes = [group("haze", [
        circle(GLOW_RX),
        gfill([(0, VIOLET, 0.6), (0.4, DEEP, 0.46), (0.7, DEEP, 0.22), (0.88, DEEP, 0.06), (1, DEEP, 0)],
              (0, 0), (GLOW_RX, 0), radial=True)],
        p=(CX, CY + 8), s=(100, 100 * (GLOW_RY + 4) / GLOW_RX))]
    ks = transform(p=(0, 0), o=beat_keys(72, accent(100, 86, 80), attack=2))
    return shape_layer("haze", shapes, VIS_OP, ks)


def make_beams():
    """Two fans of light turning in opposite directions, laid flat into the
    glow ellipse like spots sweeping a dance floor: each beam fades out along
    its length and is gone before its tip, which stays inside the ellipse."""
    def fan(nm, count, length, width, colour, alpha, turns, phase):
        beam = Pen().move(-2, 0).line(2, 0).line(width / 2.0, -length).line(-width / 2.0, -length).close()
        spin = group(nm, [
            beam.shape(),
            gfill([(0, mixc(colour, WHITE, 0.3), alpha), (0.3, colour, alpha * 0.68),
                   (0.6, colour, alpha * 0.32), (0.83, colour, alpha * 0.09), (1, colour, 0)],
                  (0, 0), (0, -length)),
            repeater(count, 360.0 / count),
        ], r=turn(turns, start=phase))
        # the tip's farthest corner, squashed, stays within the ellipse
        reach = math.hypot(length, width / 2.0)
        return group(nm + " floor", [spin], p=(CX, CY), s=(100 * GLOW_RX / reach, 100 * GLOW_RY / reach))

    shapes = [
        fan("cyan fan", 6, 700, 60, CYAN, 0.7, -1, 15),
        fan("magenta fan", 8, 740, 110, MAGENTA, 0.55, 1, 0),
    ]
    ks = transform(o=beat_keys(55, accent(100, 85, 75), attack=1))
    return shape_layer("beams", shapes, VIS_OP, ks)


def arc_path(radius, a0, a1):
    return Pen().arc(0, 0, radius, radius, a0, a1).shape()


def make_rings():
    ticks = group("ticks", [
        rect((3, 15), (0, -258), 1.5), fill(VIOLET, 85), repeater(72, 5)])
    shapes = [
        group("inner dashes", [circle(142), stroke(CYAN, 4, 85, cap=1, dash=(22, 14))],
              p=(CX, CY), r=turn(1)),
        group("arcs", [arc_path(198, a, a + 72) for a in (0, 120, 240)] + [
            stroke(MAGENTA, 9), stroke(MAGENTA, 24, 22)], p=(CX, CY), r=turn(-1)),
        group("tick ring", [ticks, circle(242), stroke(VIOLET, 2, 55)], p=(CX, CY), r=turn(1, start=2.5)),
        group("comets", [arc_path(312, a, a + 95) for a in (0, 180)] + [
            stroke(mixc(CYAN, WHITE, 0.35), 4), stroke(CYAN, 16, 20),
            ] , p=(CX, CY), r=turn(2)),
        group("comet heads", [circle(7, (312, 0)), circle(7, (-312, 0)), fill(WHITE)],
              p=(CX, CY), r=turn(2, start=95)),
    ]
    ks = transform(p=(CX, CY), a=(CX, CY), s=beat_keys((100, 100), accent((104, 104), (102.5, 102.5),
                                                                         (101.5, 101.5)), attack=2))
    return shape_layer("rings", shapes, VIS_OP, ks)


def make_core():
    orb = group("orb", [
        circle(120),
        gfill([(0, WHITE, 1), (0.18, PINK, 0.95), (0.45, MAGENTA, 0.7), (0.72, VIOLET, 0.28), (1, VIOLET, 0)],
              (0, 0), (120, 0), radial=True)])
    twinkle = group("star", [star(8, 78, 26), stroke(mixc(CYAN, WHITE, 0.3), 3, 90), fill(CYAN, 12)],
                    r=turn(-1))
    ring = group("halo ring", [circle(54), stroke(WHITE, 2, 55)])
    ks = transform(p=(CX, CY), s=beat_keys((100, 100), accent((128, 128), (118, 118), (112, 112)), attack=2))
    return shape_layer("core", [ring, twinkle, orb], VIS_OP, ks)


def make_shockwaves():
    """An expanding ring on every bar's downbeat, a smaller one on beat 3."""
    def wave(nm, offset, r0, r1, span, colour, w0, peak):
        size, width, alpha = [], [], []
        for bar in range(VIS_OP // BAR):
            t = bar * BAR + offset
            size += [(t, (2 * r0, 2 * r0), EASE_OUT), (t + span, (2 * r1, 2 * r1), HOLD)]
            width += [(t, w0, EASE_OUT), (t + span, 1, HOLD)]
            alpha += [(t, peak, SMOOTH), (t + span, 0, HOLD)]
        # before the first wave starts and after the last one ends the ring
        # rests invisible at its start size
        lead = [(0, (2 * r0, 2 * r0), HOLD)] if offset else []
        size = lead + size + [(VIS_OP, (2 * r0, 2 * r0))]
        width = ([(0, w0, HOLD)] if offset else []) + width + [(VIS_OP, w0)]
        alpha = ([(0, 0, HOLD)] if offset else []) + alpha
        alpha += [(VIS_OP, alpha[0][1])]
        return group(nm, [ellipse(keys(size)), stroke(colour, keys(width), keys(alpha))], p=(CX, CY))

    shapes = [
        # both have faded out before they reach the top of the frame
        wave("downbeat", 0, 70, 330, 30, MAGENTA, 14, 85),
        wave("beat 3", 2 * BEAT, 60, 285, 22, CYAN, 8, 60),
    ]
    return shape_layer("shockwaves", shapes, VIS_OP)


STAR_CYCLE = 2 * BAR       # 104 frames


def particle_keys(period, off, length, fn):
    """Keys of fn(u), u = phase 0..1 of a particle that restarts every
    `period` frames; `off` shifts its phase. Linear between eighths of the
    cycle, with a held jump between the two frames around each restart."""
    def u(t):
        return math.fmod(t + off, period) / period

    times = {0.0, float(length)}
    wraps = [w for w in range(-period, length + period + 1) if (w + off) % period == 0]
    for w in wraps:
        for j in range(1, 8):
            times.add(w + j * period / 8.0)
        times.add(float(w - 1))
        times.add(float(w))
    times = sorted(t for t in times if 0 <= t <= length)
    wrapset = set(wraps)
    frames = []
    for n, t in enumerate(times):
        nxt = times[n + 1] if n + 1 < len(times) else None
        e = HOLD if nxt is not None and nxt in wrapset and nxt - t <= 1 else LINEAR
        frames.append((t, fn(u(t)), e))
    return keys(frames, LINEAR)


def make_star_field():
    rng = Rng(0x51A7)
    items = []
    colours = (WHITE, CYAN, PINK, VIOLET, TEAL, WHITE)
    for n in range(44):
        ang = math.radians(rng.uniform(0, 360))
        period = STAR_CYCLE if n % 3 else STAR_CYCLE // 2
        off = int(rng.uniform(0, period))
        dx, dy = math.cos(ang), math.sin(ang) * 0.8
        size = rng.uniform(0.6, 1.2)
        # each star ends its flight faded out with its glow (13 units at full
        # size) still a little inside the edge of the frame: a shape wholly
        # outside the frame is never drawn, and the last faint traces of one
        # crossing the edge would leave the frame's border lit
        edge = min((VIS_W - CX if dx > 0 else CX) / max(abs(dx), 1e-9),
                   (VIS_H - CY if dy > 0 else CY) / max(abs(dy), 1e-9))
        reach = edge - 30 - 13 * size - 14
        colour = colours[n % len(colours)]

        def pos(u, dx=dx, dy=dy, reach=reach):
            r = 30 + reach * u * u
            return (CX + dx * r, CY + dy * r)

        def scale(u, size=size):
            s = 100 * size * (0.15 + 0.85 * u)
            return (s, s)

        def alpha(u):
            return 100 * min(1.0, u / 0.08, (1.0 - u) / 0.2)

        items.append(group("star %d" % (n + 1), [
            circle(5), fill(WHITE, 95),
            circle(13), fill(colour, 28),
        ], p=particle_keys(period, off, STAR_CYCLE, pos), s=particle_keys(period, off, STAR_CYCLE, scale),
            o=particle_keys(period, off, STAR_CYCLE, alpha)))
    asset = {"id": "stars", "nm": "star field", "w": VIS_W, "h": VIS_H,
             "layers": [shape_layer("stars", items, STAR_CYCLE)]}
    return asset, tiled("stars", "stars", VIS_W, VIS_H, STAR_CYCLE, VIS_OP)


EQ_PATTERN = 4 * BAR       # 208 frames: 16 beats
EQ_BARS = 36


def eq_levels(rng):
    """levels[bar][k]: the height (0..100) of each bar at the k-th key;
    keys fall on each beat (kick, clap) and each off-beat (hats)."""
    levels = [[0.0] * (2 * (EQ_PATTERN // BEAT)) for _ in range(EQ_BARS)]
    melody = [rng.uniform(0.3, 0.72) for _ in range(EQ_PATTERN // BEAT // 2)]
    for b in range(EQ_PATTERN // BEAT):
        note = melody[b // 2]
        for i in range(EQ_BARS):
            u = i / (EQ_BARS - 1.0)
            kick = math.exp(-u * 5.5) * (1.0 if b % 4 == 0 else 0.85)
            clap = math.exp(-((u - 0.42) / 0.16) ** 2) * (0.75 if b % 4 in (1, 3) else 0.0)
            mel = 0.45 * math.exp(-((u - note) / 0.07) ** 2)
            hat = math.exp(-((u - 0.86) / 0.1) ** 2)
            base = 0.1 + 0.1 * (1 - u)
            on = base + 0.85 * kick + clap + mel + rng.uniform(0, 0.14)
            off = base * 0.8 + 0.25 * kick + 0.7 * hat + 0.6 * mel + rng.uniform(0, 0.12)
            levels[i][2 * b] = 100 * max(0.06, min(1.0, on))
            levels[i][2 * b + 1] = 100 * max(0.06, min(1.0, off))
    return levels


def make_equaliser():
    rng = Rng(0xE0A1)
    levels = eq_levels(rng)
    base, top = 752.0, 752.0 - 236
    left, right = 118.0, VIS_W - 118.0
    pitch = (right - left) / (EQ_BARS - 1)
    bars = []
    for i in range(EQ_BARS):
        x = left + i * pitch
        lv = levels[i]
        wrap = (lv[-1] + lv[0]) / 2.0
        frames = [(0, wrap, SMOOTH)]
        for b in range(EQ_PATTERN // BEAT):
            frames.append((b * BEAT + 1, lv[2 * b], DECAY))
            frames.append((b * BEAT + 7, lv[2 * b + 1], SMOOTH))
        frames.append((EQ_PATTERN, wrap))
        bars.append(group("bar %d" % (i + 1), [polyline((x, base), (x, top)), trim(0, keys(frames))]))
    stops = [(0, CYAN, 1), (0.45, VIOLET, 1), (0.8, MAGENTA, 1), (1, PINK, 1)]
    shapes = [group("bars", bars + [
        gstroke(stops, (0, base), (0, top), 24, cap=1, dash=(7, 3)),
        gstroke(stops, (0, base), (0, top), 34, 18, cap=1),
    ])]
    asset = {"id": "eq", "nm": "equaliser", "w": VIS_W, "h": VIS_H,
             "layers": [shape_layer("equaliser", shapes, EQ_PATTERN)]}
    floor = shape_layer("floor", [group("floor line", [
        rect((right - left + 80, 3)),
        gfill([(0, CYAN, 0), (0.2, CYAN, 1), (0.5, VIOLET, 1), (0.8, MAGENTA, 1), (1, MAGENTA, 0)],
              (-(right - left) / 2 - 40, 0), ((right - left) / 2 + 40, 0))],
        p=(CX, base + 6))], VIS_OP, transform(o=beat_keys(45, accent(100, 80, 70), attack=1)))
    return asset, [floor] + tiled("equaliser", "eq", VIS_W, VIS_H, EQ_PATTERN, VIS_OP)


def make_default():
    stars_asset, stars = make_star_field()
    eq_asset, eq = make_equaliser()
    layers = eq + [make_core(), make_shockwaves()] + stars + [make_rings(), make_beams(), make_haze()]
    return composition("QrvSaver2006 default visualisation", VIS_W, VIS_H, VIS_OP, layers,
                       [stars_asset, eq_asset])


# ---------------------------------------------------------------------------

def build_all():
    """{file name: bytes} of every movie."""
    return {
        LOADER_NAME: encode(make_loader()),
        TITLE_NAME: encode(make_title()),
        DEFAULT_NAME: encode(make_default()),
    }


def default_outdir():
    return os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(__file__))), "data", "QR06V2XLM")


def main(argv):
    if len(argv) > 2:
        sys.stderr.write("usage: make_movies.py [outdir]\n")
        return 2
    outdir = argv[1] if len(argv) == 2 else default_outdir()
    os.makedirs(outdir, exist_ok=True)
    for name, data in build_all().items():
        with open(os.path.join(outdir, name), "wb") as f:
            f.write(data)
        print("%s: %d bytes" % (name, len(data)))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
