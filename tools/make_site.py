#!/usr/bin/env python3
"""Generate the download site: the visualisations offered for download, a
still picture of each, and the catalogue page.

Usage: python3 tools/make_site.py [--vsi2png PATH] [--from FOLDER] [sitedir]

--from FOLDER builds the catalogue of the .vsi files in FOLDER instead of
ours: each is offered under its file name (which the download codes must
spell), described by its "nm", and shown by a still of it.

Writes into sitedir (default: site/ under the repository root):
    VelmaraScreensaver/index.html        the catalogue
    VelmaraScreensaver/DWN/<name>.exe    the movie files (Lottie JSON)
    VelmaraScreensaver/img/<name>.png    a still of each, rendered by vsi2png
    VelmaraScreensaver/style.css
    index.html                           a pointer to the catalogue

The movies use the building blocks of make_movies.py. Every periodic motion
completes a whole number of cycles in its loop, so the last frame runs into
the first without a seam. A movie is drawn over the screensaver's picture,
so it is transparent where it draws nothing and everything it draws has
faded to nothing before the frame's edges (see STAGE). Names are spelled by
the download code table (small letters, digits, blanks), 2 to 14
characters; the code of a name is two digits per character. Without vsi2png (not built yet) the pictures are
left as they are.
"""

import html
import json
import math
import os
import runpy
import subprocess
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(HERE)
M = runpy.run_path(os.path.join(HERE, "make_movies.py"), run_name="make_movies")

group, rect, ellipse, circle, star = M["group"], M["rect"], M["ellipse"], M["circle"], M["star"]
fill, stroke, gfill, gstroke, trim = M["fill"], M["stroke"], M["gfill"], M["gstroke"], M["trim"]
repeater, shape_layer, composition, encode = M["repeater"], M["shape_layer"], M["composition"], M["encode"]
keys, remap, transform, Pen, polyline = M["keys"], M["remap"], M["transform"], M["Pen"], M["polyline"]
mixc, Rng, num, value = M["mixc"], M["Rng"], M["num"], M["value"]
particle_keys, precomp_layer = M["particle_keys"], M["precomp_layer"]
LINEAR, SMOOTH, EASE_OUT, HOLD = M["LINEAR"], M["SMOOTH"], M["EASE_OUT"], M["HOLD"]

W, H = 1600, 770
CX, CY = W / 2.0, H / 2.0
WHITE = (1.0, 1.0, 1.0)
BLACK = (0.0, 0.0, 0.0)


def turn(turns, total, start=0):
    return keys([(0, start, LINEAR), (total, start + 360 * turns)], LINEAR)


def wave_keys(total, period, lo, hi, phase=0.0, steps=8):
    """A sine between lo and hi with `period` frames (dividing total),
    sampled `steps` times a period and eased in between."""
    frames = []
    n = total // period * steps
    for k in range(n + 1):
        t = k * total / n
        u = math.sin(2 * math.pi * (t / period + phase))
        frames.append((t, lo + (hi - lo) * (u + 1) / 2))
    return keys(frames, SMOOTH)


def wave_keys2(total, period, lo, hi, phase=0.0, steps=8):
    """wave_keys for a 2-D value: lo and hi are (x, y)."""
    frames = []
    n = total // period * steps
    for k in range(n + 1):
        t = k * total / n
        u = (math.sin(2 * math.pi * (t / period + phase)) + 1) / 2
        frames.append((t, (lo[0] + (hi[0] - lo[0]) * u, lo[1] + (hi[1] - lo[1]) * u)))
    return keys(frames, SMOOTH)


def path_keys(frames):
    """Animated path from [(t, Pen)]: all pens must have the same vertex
    count. Eased linearly: the samples are dense."""
    out = []
    for n, (t, pen) in enumerate(frames):
        sh = pen.shape()["ks"]["k"]
        k = {"t": num(t), "s": [sh]}
        if n < len(frames) - 1:
            k["o"] = {"x": [0.0], "y": [0.0]}
            k["i"] = {"x": [1.0], "y": [1.0]}
        out.append(k)
    return {"ty": "sh", "ks": {"a": 1, "k": out}}


def smooth_pen(points, closed=False):
    """A Catmull-Rom spline through points, as bezier segments."""
    pen = Pen().move(*points[0])
    n = len(points)
    rng = range(n if closed else n - 1)
    for i in rng:
        p0 = points[(i - 1) % n] if (closed or i > 0) else points[i]
        p1 = points[i]
        p2 = points[(i + 1) % n]
        p3 = points[(i + 2) % n] if (closed or i + 2 < n) else p2
        c1 = (p1[0] + (p2[0] - p0[0]) / 6.0, p1[1] + (p2[1] - p0[1]) / 6.0)
        c2 = (p2[0] - (p3[0] - p1[0]) / 6.0, p2[1] - (p3[1] - p1[1]) / 6.0)
        pen.curve(c1, c2, p2)
    if closed:
        pen.close()
    return pen


# Every movie is drawn over the screensaver's picture, so nothing may end at
# the frame's border: a shape cut off there shows as a hard straight edge, a
# dark sky filling the frame as a panel. Skies, landscapes and floors are
# therefore painted with a radial gradient squashed into an ellipse that lies
# inside the frame and reaches opacity 0 at its rim (the shapes themselves
# may run past the frame: they are invisible there).

# the ellipse most movies stay inside: 40 px clear on both sides, 35 above and
# below
STAGE = ((CX, CY), 760.0, 350.0)


def oval_group(nm, shapes, paints, oval=STAGE, **tr):
    """shapes (in frame coordinates) painted by paints from oval_fill and
    oval_stroke, whose gradients run from the centre of the ellipse oval =
    (centre, rx, ry) to its rim. The group squashes a circle of radius rx into
    the ellipse; an inner group undoes the squash for the shapes, so they stay
    where they are drawn while the gradients are squashed."""
    centre, rx, ry = oval
    k = ry / rx
    inner = group(nm + " shapes", shapes, a=centre, s=(100, 100.0 / k))
    return group(nm, [inner] + list(paints), p=centre, s=(100, 100.0 * k), **tr)


def oval_fill(stops, oval=STAGE, o=100):
    return gfill(stops, (0, 0), (oval[1], 0), radial=True, o=o)


def oval_stroke(stops, w, oval=STAGE, o=100):
    """A radial gradient stroke of width w on screen: rlottie scales a
    stroke's width by the mean scale of its group, which the squash shrinks."""
    k = oval[2] / oval[1]
    s = gstroke(stops, (0, 0), (oval[1], 0), w / math.sqrt((1 + k * k) / 2), o)
    s["t"] = 2
    return s


def fading(col, alpha=1.0, solid=0.7, rim=None):
    """Gradient stops: col at alpha out to `solid` of the radius, then fading
    to nothing (towards colour rim) at the rim."""
    rim = rim or col
    return [(0, col, alpha), (solid, col, alpha), ((1 + solid) / 2, mixc(col, rim, 0.5), alpha * 0.4),
            (1, rim, 0)]


def sky(nm, op, centre, rim, alpha, oval=STAGE):
    """A soft dark sky: densest in the middle, gone well before the frame's
    edges."""
    (cx, cy), rx, ry = oval
    stops = [(0, centre, alpha), (0.55, mixc(centre, rim, 0.5), alpha), (0.8, rim, alpha * 0.7),
             (0.93, rim, alpha * 0.22), (1, rim, 0)]
    return shape_layer(nm, [group(nm, [circle(rx), gfill(stops, (0, 0), (rx, 0), radial=True)],
                                  p=(cx, cy), s=(100, 100.0 * ry / rx))], op)


def inside(x, y, oval=STAGE, share=1.0):
    (cx, cy), rx, ry = oval
    return ((x - cx) / rx) ** 2 + ((y - cy) / ry) ** 2 <= share * share


def twinkles(seed, count, op, colours, area=(0, 0, W, H * 0.6), share=0.8):
    """Twinkling stars in area, all well inside the stage ellipse."""
    rng = Rng(seed)
    items = []
    for n in range(count):
        x, y = rng.uniform(area[0], area[2]), rng.uniform(area[1], area[3])
        while not inside(x, y, share=share):
            x, y = rng.uniform(area[0], area[2]), rng.uniform(area[1], area[3])
        period = rng.choice([op // 2, op // 3, op // 4, op])
        phase = rng.uniform(0, 1)
        r = rng.uniform(1.2, 3.2)
        items.append(group("star %d" % n, [circle(r), fill(rng.choice(colours))], p=(x, y),
                           o=wave_keys(op, period, 15, 100, phase, steps=4)))
    return shape_layer("stars", items, op)


# ---------------------------------------------------------------------------
# aurora: curtains of light that sway over a snowy ridge

def make_aurora():
    op = 360
    curtains = []
    specs = [  # colour, base y, height, amplitude, period of sway, phase, opacity
        ((0.25, 1.0, 0.55), 330, 260, 60, 360, 0.0, 0.75),
        ((0.2, 0.85, 1.0), 300, 220, 45, 180, 0.3, 0.55),
        ((0.75, 0.35, 1.0), 250, 170, 70, 120, 0.6, 0.5),
        ((0.5, 1.0, 0.75), 380, 300, 35, 90, 0.15, 0.45),
    ]
    for ci, (col, base, height, amp, period, phase, alpha) in enumerate(specs):
        frames = []
        for t in range(0, op + 1, 6):
            u = t / period + phase
            top, bottom = [], []
            for k in range(13):
                # the curtain spans the middle of the frame and thins out to
                # nothing at both ends, rising as it goes, so its bright lower
                # edge meets the faint top at the tips
                x = 110 + k * (W - 220) / 12.0
                env = math.sin(math.pi * k / 12.0) ** 1.2
                a = math.sin(2 * math.pi * (u + k * 0.11)) * amp + math.sin(2 * math.pi * (k * 0.27 + ci)) * amp * 0.4
                y = base + a - 40 * math.sin(math.pi * k / 12.0) - (1 - env) * height * 0.95
                top.append((x, y - env * height * (0.75 + 0.25 * math.sin(2 * math.pi * (u + k * 0.07)))))
                bottom.append((x, y))
            pen = smooth_pen(top)
            pen.line(*bottom[-1])
            rest = smooth_pen(bottom[::-1])
            for i in range(1, len(rest.v)):
                pen.v.append(rest.v[i])
                pen.i.append(rest.i[i])
                pen.o.append(rest.o[i])
            pen.o[len(top)] = rest.o[0]
            pen.close()
            frames.append((t, pen))
        curtains.append(group("curtain %d" % ci, [
            path_keys(frames),
            gfill([(0, col, 0), (0.45, col, alpha * 0.6), (0.85, mixc(col, WHITE, 0.4), alpha), (1, WHITE, 0)],
                  (0, max(30, base - height - amp)), (0, base + amp)),
        ], o=wave_keys(op, op // (ci + 1), 55, 100, ci * 0.2)))
    ridge = Pen().move(-20, H + 20).line(-20, 610)
    for x, y in [(180, 560), (330, 600), (520, 520), (700, 590), (860, 545), (1040, 610), (1230, 540),
                 (1420, 590), (1620, 560)]:
        ridge.line(x, y)
    ridge.line(1620, H + 20).close()
    # the ridge melts into the picture at both sides and below
    snow_oval = ((CX, 470), 760.0, 290.0)
    snow = oval_group("ridge", [ridge.shape()], [oval_fill(
        [(0, (0.6, 0.68, 0.85), 1), (0.45, (0.36, 0.42, 0.62), 1), (0.72, (0.12, 0.15, 0.3), 1),
         (0.87, (0.06, 0.08, 0.18), 0.45), (1, (0.04, 0.05, 0.12), 0)], snow_oval)], snow_oval)
    layers = [
        shape_layer("ridge", [snow], op),
        shape_layer("curtains", curtains, op),
        twinkles(0xA11A, 70, op, [WHITE, (0.8, 0.9, 1.0)], (0, 0, W, 520)),
        sky("sky", op, (0.03, 0.07, 0.15), (0.01, 0.02, 0.07), 0.96, ((CX, 340), 760.0, 305.0)),
    ]
    return composition("aurora", W, H, op, layers)


# ---------------------------------------------------------------------------
# tunnel: squares rush towards the viewer, turning, in shifting colours

def make_tunnel():
    op, period, count = 240, 120, 16
    items = []
    cols = [(1.0, 0.25, 0.6), (1.0, 0.6, 0.1), (0.2, 0.9, 1.0), (0.6, 0.35, 1.0)]
    for n in range(count):
        off = n * period / count
        col = cols[n % len(cols)]

        # A frame at scale 100 reaches 190 px from the centre when turned
        # by 45 degrees (half its diagonal and half its glow): at its largest
        # it stays clear of the frame's top and bottom, and it fades out on
        # the way there.
        def scale(u):
            s = 4 + 188 * u ** 2.2
            return (s, s)

        def alpha(u):
            return 100 * min(1.0, u / 0.2, (1.0 - u) / 0.4)

        def spin(u, n=n):
            return n * 7.5 + u * 90

        items.append(group("frame %d" % n, [
            rect((260, 260), r=18), stroke(col, 7), stroke(col, 26, 18)],
            p=(CX, CY), s=particle_keys(period, off, op, scale), o=particle_keys(period, off, op, alpha),
            r=particle_keys(period, off, op, spin)))
    core = group("core", [circle(90), gfill([(0, WHITE, 0.9), (0.3, (1.0, 0.5, 0.9), 0.5), (1, (0.4, 0.1, 0.8), 0)],
                                             (0, 0), (90, 0), radial=True)],
                 p=(CX, CY), s=wave_keys2(op, 30, (85, 85), (120, 120)))
    layers = [shape_layer("frames", items[::-1], op), shape_layer("core", [core], op),
              sky("depth", op, (0.03, 0.0, 0.08), (0.05, 0.0, 0.12), 0.92, ((CX, CY), 600.0, 372.0))]
    return composition("tunnel", W, H, op, layers)


# ---------------------------------------------------------------------------
# kaleidoscope: mirrored petals turning against each other

def make_kaleidoscope():
    op = 480
    gold, rose, teal, ink = (1.0, 0.8, 0.3), (1.0, 0.35, 0.55), (0.2, 0.85, 0.8), (0.25, 0.1, 0.45)
    petal = Pen().move(0, 0).curve((40, -60), (30, -160), (0, -230)).curve((-30, -160), (-40, -60), (0, 0)).close()
    rings = [
        group("outer petals", [petal.shape(), gfill([(0, rose, 0.1), (0.6, rose, 0.7), (1, gold, 0.95)],
                                                   (0, 0), (0, -230)), stroke(gold, 3, 80), repeater(12, 30)],
              p=(CX, CY), r=turn(1, op), s=wave_keys2(op, 120, (92, 92), (108, 108))),
        group("inner petals", [petal.shape(), gfill([(0, teal, 0.2), (1, (0.6, 1.0, 0.9), 0.85)], (0, 0), (0, -230)),
                               stroke(WHITE, 2, 70), repeater(8, 45)],
              p=(CX, CY), r=turn(-2, op, 22.5), s=wave_keys2(op, 80, (45, 45), (62, 62), 0.25)),
        group("stars", [star(6, 40, 16, (0, -300)), fill(gold, 90), repeater(12, 30)],
              p=(CX, CY), r=turn(-1, op, 15), o=wave_keys(op, 60, 40, 100)),
        group("dots", [circle(9, (0, -345)), fill(teal), repeater(24, 15)], p=(CX, CY), r=turn(2, op)),
        group("centre", [star(12, 70, 38), fill(gold), circle(30), fill(rose)], p=(CX, CY), r=turn(-3, op)),
        group("lace", [circle(372), stroke(ink, 3, 60, dash=(10, 14))], p=(CX, CY), r=turn(1, op)),
    ]
    glow = group("glow", [circle(400), gfill([(0, ink, 0.9), (0.8, (0.1, 0.04, 0.2), 0.8), (1, BLACK, 0)],
                                             (0, 0), (400, 0), radial=True)], p=(CX, CY), s=(115, 93))
    return composition("kaleidoscope", W, H, op, [shape_layer("pattern", rings[::-1], op),
                                                  shape_layer("glow", [glow], op)])


# ---------------------------------------------------------------------------
# lava lamp: warm blobs rise, stretch and sink in a glass

def make_lava_lamp():
    op = 600
    rng = Rng(0x1A7A)
    # a tapered glass between a metal cap and a flared metal base
    top, bottom = 130, 640          # the glass
    hw_top, hw_bottom = 118, 212    # its half-widths there

    def half_width(y):
        return hw_top + (hw_bottom - hw_top) * (y - top) / float(bottom - top)

    blobs = []
    for n in range(11):
        period = rng.choice([600, 300, 200])
        phase = rng.uniform(0, 1)
        lane = rng.uniform(-1, 1)   # where across the glass the blob rises
        r = rng.uniform(30, 64)
        col = mixc((1.0, 0.25, 0.1), (1.0, 0.75, 0.2), rng.uniform(0, 1))
        pos = []
        size = []
        steps = op // period * 12
        hi, lo = top + 1.3 * r + 12, bottom - 0.5 * r
        for k in range(steps + 1):
            t = k * op / steps
            u = 2 * math.pi * (t / period + phase)
            y = (hi + lo) / 2 + math.cos(u) * (lo - hi) / 2
            # the blob keeps inside the glass, which narrows upwards
            x = CX + (0.75 * lane + 0.12 * math.sin(2 * u)) * (half_width(y) - r - 8)
            v = -math.sin(u)  # vertical speed: stretched while moving
            pos.append((t, (x, y)))
            size.append((t, (2 * r * (1 - 0.15 * abs(v)), 2 * r * (1 + 0.3 * abs(v)))))
        blobs.append(group("blob %d" % n, [
            ellipse(keys(size, SMOOTH)),
            gfill([(0, mixc(col, WHITE, 0.5), 1), (0.7, col, 1), (1, mixc(col, (0.5, 0.0, 0.1), 0.6), 1)],
                  (-r * 0.3, -r * 0.3), (r * 1.2, 0), radial=True)], p=keys(pos, SMOOTH)))
    pool = group("pool", [ellipse((hw_bottom * 1.8, 56), (CX, bottom - 8)), fill((1.0, 0.35, 0.1))])
    glass = (Pen().move(CX - hw_top, top + 18)
             .curve((CX - hw_top, top + 2), (CX - hw_top * 0.55, top), (CX, top))
             .curve((CX + hw_top * 0.55, top), (CX + hw_top, top + 2), (CX + hw_top, top + 18))
             .line(CX + hw_bottom, bottom - 24)
             .curve((CX + hw_bottom, bottom - 4), (CX + hw_bottom * 0.6, bottom), (CX, bottom))
             .curve((CX - hw_bottom * 0.6, bottom), (CX - hw_bottom, bottom - 4), (CX - hw_bottom, bottom - 24))
             .close()).shape()
    liquid = group("liquid", [glass, gfill([(0, (0.35, 0.02, 0.2), 1), (1, (0.72, 0.1, 0.15), 1)],
                                           (0, top), (0, bottom))])
    bulb = group("bulb glow", [circle(hw_bottom), gfill([(0, (1.0, 0.85, 0.4), 0.55), (1, (1.0, 0.4, 0.1), 0)],
                                                        (0, 0), (hw_bottom, 0), radial=True)],
                 p=(CX, bottom - 10), s=(100, 60))
    shine = group("shine", [polyline((CX - hw_top + 26, top + 40), (CX - hw_bottom + 34, bottom - 50)),
                            gstroke([(0, WHITE, 0), (0.5, WHITE, 0.3), (1, WHITE, 0)], (0, top + 40),
                                    (0, bottom - 50), 14)])
    rim = group("rim", [glass, stroke((1.0, 0.7, 0.5), 4, 55)])
    steel = [(0, (0.22, 0.2, 0.26), 1), (0.3, (0.85, 0.82, 0.88), 1), (0.55, (0.5, 0.48, 0.56), 1),
             (1, (0.16, 0.14, 0.2), 1)]
    cap = group("cap", [
        Pen().move(CX - 52, 64).curve((CX - 40, 56), (CX + 40, 56), (CX + 52, 64))
        .line(CX + hw_top + 6, top + 16).line(CX - hw_top - 6, top + 16).close().shape(),
        gfill(steel, (CX - hw_top, 0), (CX + hw_top, 0))])
    base = group("base", [
        Pen().move(CX - hw_bottom - 5, bottom - 16).line(CX + hw_bottom + 5, bottom - 16)
        .line(CX + 150, 690).line(CX + 232, 736).curve((CX + 200, 748), (CX - 200, 748), (CX - 232, 736))
        .line(CX - 150, 690).close().shape(),
        gfill(steel, (CX - 232, 0), (CX + 232, 0))])
    halo = group("halo", [circle(620), gfill([(0, (1.0, 0.3, 0.1), 0.45), (1, (0.3, 0.0, 0.1), 0)],
                                             (0, 0), (620, 0), radial=True)], p=(CX, CY), s=(100, 58),
                 o=wave_keys(op, 200, 65, 100))
    layers = [shape_layer("metal", [cap, base], op), shape_layer("glass", [rim, shine], op),
              shape_layer("blobs", blobs + [pool], op), shape_layer("light", [bulb], op),
              shape_layer("liquid", [liquid], op), shape_layer("halo", [halo], op)]
    return composition("lava lamp", W, H, op, layers)


# ---------------------------------------------------------------------------
# oscilloscope: a phosphor trace draws Lissajous figures on a graticule

def make_oscilloscope():
    op = 360
    green = (0.3, 1.0, 0.45)
    sw, sh = 1100, 680
    left, topy = CX - sw / 2, CY - sh / 2
    grid = []
    for i in range(11):
        x = left + i * sw / 10
        grid.append(polyline((x, topy), (x, topy + sh)))
    for j in range(9):
        y = topy + j * sh / 8
        grid.append(polyline((left, y), (left + sw, y)))
    ticks = []
    for i in range(51):
        x = left + i * sw / 50
        ticks.append(polyline((x, CY - 6), (x, CY + 6)))
    frames = []
    npts = 80
    for t in range(0, op + 1, 4):
        # the ratio glides from 1:2 to 3:4 and back while the phase turns
        mix = (1 - math.cos(2 * math.pi * t / op)) / 2
        ph = 2 * math.pi * t / 120
        pts = []
        for k in range(npts):
            s = 2 * math.pi * k / npts
            x = math.sin((1 + 2 * mix) * s + ph) * (1.0 - 0.15 * mix)
            y = math.sin((2 + 2 * mix) * s) * (0.95 - 0.1 * math.sin(ph))
            pts.append((CX + x * sw * 0.42, CY + y * sh * 0.42))
        frames.append((t, smooth_pen(pts, closed=True)))
    trace = path_keys(frames)
    items = [
        group("trace", [trace, stroke(mixc(green, WHITE, 0.6), 3), stroke(green, 10, 45), stroke(green, 28, 14)]),
    ]
    # no bezel: the graticule and the phosphor's glow fade out towards the
    # rim of an ellipse, as if the screen's edge were lost in the dark
    glass = ((CX, CY), 640.0, 372.0)
    scan_lo, scan_hi = topy + 10, topy + sh - 10
    scan = group("scan", [circle(560), gfill([(0, green, 0.1), (0.6, green, 0.06), (1, green, 0)], (0, 0), (560, 0),
                                             radial=True)],
                 s=(100, 5),
                 p=keys([(0, (CX, scan_lo)), (op / 4, (CX, scan_hi), HOLD), (op / 4 + 1, (CX, scan_lo)),
                         (op / 2, (CX, scan_hi), HOLD), (op / 2 + 1, (CX, scan_lo)),
                         (3 * op / 4, (CX, scan_hi), HOLD), (3 * op / 4 + 1, (CX, scan_lo)),
                         (op, (CX, scan_hi))], LINEAR))
    graticule = [oval_group("lines", grid, [oval_stroke(fading(green, 1, 0.5), 1.5, glass, 40)], glass),
                 oval_group("ticks", ticks, [oval_stroke(fading(green, 1, 0.5), 1.5, glass, 60)], glass)]
    layers = [shape_layer("scan", [scan], op),
              shape_layer("trace", items, op),
              shape_layer("graticule", graticule, op),
              sky("screen", op, (0.03, 0.17, 0.08), (0.0, 0.05, 0.02), 0.92, ((CX, CY), 740.0, 372.0))]
    return composition("oscilloscope", W, H, op, layers)


# ---------------------------------------------------------------------------
# fireworks: rockets rise and burst into rings of sparks

def make_fireworks():
    op, period = 300, 150
    rng = Rng(0xF1AE)
    bursts = []
    palette = [(1.0, 0.3, 0.35), (1.0, 0.85, 0.3), (0.35, 0.8, 1.0), (0.7, 0.45, 1.0), (0.4, 1.0, 0.5),
               (1.0, 0.5, 0.9)]
    for n in range(8):
        x = 220 + (n * 173) % 1160 + rng.uniform(-40, 40)
        y = rng.uniform(250, 380)
        start = (n * period / 8 + rng.uniform(0, 8)) % period
        col = palette[n % len(palette)]
        radius = rng.uniform(110, 170)
        rays = rng.choice([14, 18, 24])
        rise, burst = 26, 50

        def phase_frames(fn, start=start):
            """fn(local) for local frame 0..period-1 of this firework; held
            outside its flight."""
            frames = []
            for c in range(-1, op // period + 1):
                base = c * period + start
                for lt, e in ((0, SMOOTH), (rise, EASE_OUT), (rise + burst * 0.35, SMOOTH),
                              (rise + burst, HOLD)):
                    t = base + lt
                    if -period < t < op + period:
                        frames.append((t, fn(lt), e))
            frames.sort(key=lambda f: f[0])
            # clip into 0..op with values taken at the ends
            out = []
            for i, f in enumerate(frames):
                if 0 <= f[0] <= op:
                    out.append(f)
            if not out or out[0][0] > 0:
                out.insert(0, (0, fn(-1), HOLD))
            if out[-1][0] < op:
                out.append((op, fn(-1)))
            return keys(out)

        def ray_len(lt):
            return 100 if rise < lt <= rise + burst else (0.1 if lt <= rise else 100)

        def spread(lt, radius=radius):
            s = 0 if lt <= rise else min(1.0, (lt - rise) / (burst * 0.35))
            v = 5 + 95 * (1 - (1 - s) ** 3) if lt >= 0 else 5
            return (v, v)

        def fade(lt):
            if lt < 0 or lt <= rise:
                return 0
            if lt >= rise + burst:
                return 0
            return 100 if lt <= rise + burst * 0.35 else 70

        # rockets set off from among the roofs, their trails clear of the
        # frame's bottom edge
        def rocket(lt, x=x, y=y, y0=H - 80):
            if lt < 0:
                return (x, y0)
            u = min(1.0, lt / rise)
            return (x, y0 - (y0 - y) * (1 - (1 - u) ** 2))

        def rocket_alpha(lt):
            return 100 if 0 <= lt < rise else 0

        spark = group("spark", [polyline((0, -radius * 0.55), (0, -radius)), stroke(mixc(col, WHITE, 0.4), 5),
                                stroke(col, 16, 30), circle(6, (0, -radius)), fill(WHITE), repeater(rays, 360.0 / rays)],
                      s=phase_frames(spread), o=phase_frames(fade))
        glow = group("flash", [circle(radius * 0.9), gfill([(0, col, 0.45), (1, col, 0)], (0, 0), (radius * 0.9, 0),
                                                          radial=True)],
                     s=phase_frames(spread), o=phase_frames(fade))
        bursts.append(group("firework %d" % n, [spark, glow], p=(x, y)))
        bursts.append(group("rocket %d" % n, [circle(5), fill(WHITE), rect((3, 40), (0, 24)),
                                              gfill([(0, col, 1), (1, col, 0)], (0, 4), (0, 44))],
                            p=phase_frames(rocket), o=phase_frames(rocket_alpha)))
    skyline = Pen().move(-20, H + 20).line(-20, 700)
    xs = 0
    rng2 = Rng(0x5C1)
    windows = []
    while xs < W + 40:
        h = rng2.uniform(640, 715)
        wdt = rng2.uniform(50, 120)
        skyline.line(xs, h).line(xs + wdt, h)
        # a few lit windows on every floor
        for wy in range(int(h) + 10, H, 16):
            for wx in range(int(xs) + 8, int(xs + wdt) - 10, 14):
                if rng2.next() < 0.22:
                    windows.append(rect((6, 8), (wx + 3, wy + 4)))
        xs += wdt
    skyline.line(W + 40, H + 20).close()
    # the city and its lights fade out to both sides and below
    town = ((CX, 685), 760.0, 75.0)
    city = group("city", [
        oval_group("windows", windows, [oval_fill(fading((1.0, 0.8, 0.45), 0.85, 0.55), town)], town),
        oval_group("roofs", [skyline.shape()], [oval_fill(
            [(0, (0.16, 0.11, 0.26), 1), (0.6, (0.09, 0.06, 0.16), 1), (0.8, (0.05, 0.04, 0.1), 0.7),
             (1, (0.03, 0.02, 0.07), 0)], town)], town)])
    layers = [shape_layer("city", [city], op), shape_layer("fireworks", bursts, op),
              twinkles(0xF1, 40, op, [WHITE], (0, 0, W, 500)),
              sky("sky", op, (0.07, 0.03, 0.13), (0.01, 0.01, 0.05), 0.96)]
    return composition("fireworks", W, H, op, layers)


# ---------------------------------------------------------------------------
# ocean waves: rolling swells under the moon

def make_ocean_waves():
    op = 300
    bands = []
    specs = [  # base y, amplitude, wavelength, colour top, colour bottom, loops
        (470, 16, 400, (0.15, 0.35, 0.6), (0.05, 0.12, 0.3), 1),
        (530, 22, 500, (0.1, 0.3, 0.55), (0.03, 0.1, 0.25), 2),
        (600, 30, 640, (0.08, 0.25, 0.5), (0.02, 0.07, 0.2), 2),
        (680, 40, 800, (0.05, 0.2, 0.42), (0.01, 0.04, 0.14), 3),
    ]
    # the sea fades out to both sides and below; the swells roll through the
    # fixed gradient (their paths move, not their groups)
    sea = ((CX, 545), 760.0, 215.0)
    for n, (base, amp, wl, ctop, cbot, loops) in enumerate(specs):
        reps = int(math.ceil((W + (2 + loops) * wl) / wl))
        pens, crests = [], []
        for shift in (0, -wl * loops):
            pts = []
            for k in range(reps * 8 + 1):
                x = -wl + k * wl / 8.0 + shift
                u = 2 * math.pi * k / 8.0
                y = base - amp * (math.sin(u) + 0.35 * math.sin(2 * u + 0.8))
                pts.append((x, y))
            pen = smooth_pen(pts)
            pen.line(pts[-1][0], H + 30).line(pts[0][0], H + 30).close()
            pens.append(pen)
            crests.append(smooth_pen(pts))
        body = path_keys([(0, pens[0]), (op, pens[1])])
        crest = path_keys([(0, crests[0]), (op, crests[1])])
        bands.append(group("swell %d" % n, [
            oval_group("body", [body], [oval_fill(
                [(0, ctop, 1), (0.55, mixc(ctop, cbot, 0.45), 1), (0.76, mixc(ctop, cbot, 0.7), 0.9),
                 (0.9, mixc(ctop, cbot, 0.7), 0.4), (1, mixc(ctop, cbot, 0.7), 0)],
                sea)], sea),
            oval_group("foam", [crest], [oval_stroke(fading(mixc(ctop, WHITE, 0.55), 0.7, 0.55), 3, sea)], sea),
        ]))
    moon = group("moon", [circle(70), gfill([(0, (1.0, 0.98, 0.9), 1), (1, (0.85, 0.85, 0.8), 1)], (-20, -20), (70, 0),
                                            radial=True),
                          circle(170), gfill([(0, (0.8, 0.85, 1.0), 0.35), (1, (0.4, 0.5, 0.9), 0)], (0, 0), (170, 0),
                                             radial=True)], p=(1150, 205))
    glints = []
    rng = Rng(0x6117)
    for k in range(14):
        y = 450 + k * 22
        w = 30 + k * 9
        x = 1150 + rng.uniform(-12, 12)
        period, phase = rng.choice([op // 5, op // 6, op // 10]), rng.uniform(0, 1)
        # dimmer where the sea fades out
        (sx, sy), srx, sry = sea
        r = math.hypot((x - sx) / srx, (y - sy) / sry)
        if r > 0.86:
            continue
        peak = (75 - k * 3) * min(1.0, (0.92 - r) / 0.25)
        glints.append(group("glint %d" % k, [rect((w, 3 + k * 0.4), (0, 0), 2), fill((1.0, 1.0, 0.88))],
                            p=(x, y), o=wave_keys(op, period, 5, peak, phase, steps=4)))
    path = group("moon path", glints)
    layers = [shape_layer("moon path", [path], op), shape_layer("swells", bands[::-1], op),
              shape_layer("moon", [moon], op),
              twinkles(0x0CEA, 50, op, [WHITE, (0.8, 0.85, 1.0)], (0, 0, W, 420)),
              sky("sky", op, (0.08, 0.12, 0.27), (0.02, 0.03, 0.1), 0.95)]
    return composition("ocean waves", W, H, op, layers)


# ---------------------------------------------------------------------------
# neon grid: a road of light runs towards a striped sun

def make_neon_grid():
    op, period = 120, 60
    horizon = 430
    pink, cyan, orange = (1.0, 0.2, 0.75), (0.2, 0.95, 1.0), (1.0, 0.6, 0.15)
    rays = []
    for k in range(-14, 15):
        rays.append(polyline((CX + k * 14, horizon), (CX + k * 150, H + 40)))
    # the floor, its rays and its lines fade out towards the rim of one
    # ellipse around the horizon's middle: the road runs off into the picture
    ground = ((CX, horizon), 760.0, 330.0)
    lines = []
    for n in range(8):
        off = n * period / 8

        def ypos(u):
            return (0, horizon + (H + 40 - horizon) * u ** 2.2)

        def alpha(u):
            return 100 * min(1.0, u / 0.15)
        # the line's path moves, not its group, so the fade stays put
        track = particle_keys(period, off, op, ypos)
        for k in track["k"]:
            y = k["s"][1]
            k["s"] = [{"i": [[0, 0], [0, 0]], "o": [[0, 0], [0, 0]], "v": [[-100, y], [W + 100, y]], "c": False}]
        lines.append(oval_group("line %d" % n, [{"ty": "sh", "ks": track}],
                                [oval_stroke(fading(cyan, 1, 0.6), 4, ground),
                                 oval_stroke(fading(cyan, 1, 0.6), 14, ground, 25)],
                                ground, o=particle_keys(period, off, op, alpha)))
    sun_items = [circle(190), gfill([(0, (1.0, 0.9, 0.3), 1), (0.55, orange, 1), (1, pink, 1)], (0, -190), (0, 190))]
    stripes = []
    for j in range(6):
        y = 30 + j * 28
        hgt = 4 + j * 3

        # each stripe is as wide as the sun where its lower edge lies, so it
        # never sticks out of the disc as it rises
        def chord(t, y=y, hgt=hgt):
            yy = min(190.0, y - 28 * t / op + hgt / 2.0)
            return (2 * math.sqrt(190.0 ** 2 - yy ** 2), hgt)
        stripes.append(group("stripe %d" % j, [
            rect(keys([(t, chord(t)) for t in range(0, op + 1, op // 8)], LINEAR), (0, y)),
            fill((0.1, 0.0, 0.18))],
            p=keys([(0, (0, 0), LINEAR), (op, (0, -28), LINEAR)], LINEAR)))
    sun = group("sun", [group("stripes", stripes)] + sun_items, p=(CX, horizon - 60))
    sun_glow = group("sun glow", [circle(330), gfill([(0, pink, 0.5), (1, pink, 0)], (0, 0), (330, 0), radial=True)],
                     p=(CX, horizon - 60), s=(125, 100), o=wave_keys(op, 60, 70, 100))
    hills = Pen().move(-20, horizon + 2)
    for x, y in [(120, 380), (260, 330), (380, 400), (520, 350), (640, horizon)]:
        hills.line(x, y)
    hills.line(960, horizon).line(1080, 360).line(1200, 390).line(1330, 320).line(1480, 390).line(1620, 360)
    hills.line(1620, horizon + 2).close()
    mountains = oval_group("mountains", [hills.shape()],
                           [oval_stroke(fading(pink, 0.8, 0.6), 3, ground), oval_fill(fading((0.12, 0.0, 0.2), 1, 0.6), ground)],
                           ground)
    floor = oval_group("floor", [rect((W + 40, H - horizon + 40), (CX, (horizon + H + 40) / 2))],
                       [oval_fill([(0, (0.25, 0.0, 0.3), 1), (0.5, (0.14, 0.0, 0.2), 1), (0.75, (0.05, 0.0, 0.1), 0.85),
                                   (1, (0.03, 0.0, 0.08), 0)], ground)], ground)
    rays_group = oval_group("rays", rays, [oval_stroke(fading(pink, 0.85, 0.55), 3, ground),
                                           oval_stroke(fading(pink, 0.2, 0.55), 12, ground)], ground)
    layers = [shape_layer("lines", lines, op),
              shape_layer("rays", [rays_group], op),
              shape_layer("floor", [floor], op), shape_layer("mountains", [mountains], op),
              shape_layer("sun", [sun], op), shape_layer("sun glow", [sun_glow], op),
              twinkles(0x9E0, 45, op, [WHITE, cyan], (0, 0, W, 330)),
              sky("sky", op, (0.3, 0.05, 0.35), (0.04, 0.0, 0.1), 0.85, ((CX, 400), 760.0, 355.0))]
    return composition("neon grid", W, H, op, layers)


# ---------------------------------------------------------------------------
# spirograph: pens of light trace rolling-circle curves

def make_spirograph():
    op = 450
    specs = [  # R, r, d, colour, scale, turns of the figure, draw speed (whole cycles in the loop)
        (5, 3, 5, (1.0, 0.4, 0.7), 50, 1, 1),  # reaches 350 px from the centre
        (7, 2, 4, (0.3, 0.85, 1.0), 38, -1, 2),
        (8, 5, 6, (1.0, 0.85, 0.35), 30, 1, 1),
        (9, 4, 2.5, (0.6, 1.0, 0.5), 34, -2, 3),
    ]
    items = []
    for n, (R, r, d, col, sc, turns, cycles) in enumerate(specs):
        g = math.gcd(R, r)
        laps = r // g
        npts = 60 * laps
        pts = []
        for k in range(npts):
            t = 2 * math.pi * laps * k / npts
            x = (R - r) * math.cos(t) + d * math.cos((R - r) / r * t)
            y = (R - r) * math.sin(t) - d * math.sin((R - r) / r * t)
            pts.append((x * sc, y * sc))
        curve = smooth_pen(pts, closed=True).shape()
        head = keys([(0, 0, LINEAR), (op, 100 * cycles)], LINEAR)
        items.append(group("figure %d" % n, [
            group("faint", [curve, stroke(col, 1.5, 20)]),
            group("pen", [curve, trim(0, 35, remap(head, lambda v: v * 3.6)),
                          stroke(mixc(col, WHITE, 0.5), 4), stroke(col, 14, 30)]),
        ], p=(CX, CY), r=turn(turns, op, n * 20)))
    hub = group("hub", [circle(14), fill(WHITE), circle(60), gfill([(0, WHITE, 0.6), (1, WHITE, 0)], (0, 0), (60, 0),
                                                                   radial=True)], p=(CX, CY),
                s=wave_keys2(op, 45, (80, 80), (130, 130)))
    paper = group("paper", [circle(380), gfill([(0, (0.12, 0.08, 0.25), 1), (0.8, (0.04, 0.03, 0.1), 0.9),
                                                (1, BLACK, 0)], (0, 0), (380, 0), radial=True)], p=(CX, CY), s=(140, 100))
    return composition("spirograph", W, H, op, [shape_layer("hub", [hub], op), shape_layer("figures", items, op),
                                                shape_layer("paper", [paper], op)])


# ---------------------------------------------------------------------------
# orbits: a small solar system, every planet on its own clock

def make_orbits():
    op = 720
    sun = group("sun", [star(16, 120, 80), fill((1.0, 0.6, 0.1), 55), circle(78),
                        gfill([(0, (1.0, 1.0, 0.8), 1), (0.6, (1.0, 0.75, 0.2), 1), (1, (1.0, 0.45, 0.05), 1)],
                              (-20, -20), (78, 0), radial=True)], p=(CX, CY), r=turn(1, op))
    corona = group("corona", [circle(230), gfill([(0, (1.0, 0.6, 0.1), 0.55), (1, (1.0, 0.3, 0.0), 0)], (0, 0),
                                                  (230, 0), radial=True)], p=(CX, CY),
                   s=wave_keys2(op, 90, (92, 92), (110, 110)))
    planets = []
    orbits = []
    specs = [  # orbit radius, size, colour, revolutions in the loop, has ring, moons
        (170, 12, (0.75, 0.7, 0.65), 8, False, 0),
        (240, 20, (0.95, 0.75, 0.45), 5, False, 0),
        (320, 24, (0.3, 0.6, 1.0), 3, False, 1),
        (410, 18, (1.0, 0.4, 0.3), 2, False, 2),
        (520, 40, (0.9, 0.75, 0.5), 1, True, 0),
        (620, 30, (0.5, 0.85, 0.95), -1, True, 1),
    ]
    tilt = 42  # the orbits are seen at a slant: squashed to this share of their width
    for n, (rad, size, col, revs, ring, moons) in enumerate(specs):
        orbits.append(group("orbit %d" % n, [circle(rad), stroke((0.6, 0.65, 0.9), 1.5, 35)]))
        body = [circle(size),
                gfill([(0, mixc(col, WHITE, 0.5), 1), (0.7, col, 1), (1, mixc(col, BLACK, 0.6), 1)],
                      (-size * 0.4, -size * 0.4), (size * 1.1, 0), radial=True)]
        if ring:
            body = [group("ring", [ellipse((size * 4.2, size * 1.1)), stroke(mixc(col, WHITE, 0.3), 4, 80)], r=-18)] + body
        for m in range(moons):
            body = [group("moon %d" % m, [circle(5, (size + 16 + 12 * m, 0)), fill((0.85, 0.85, 0.9))],
                          r=turn(12 - 5 * m, op, m * 140))] + body
        # the planet stays upright while its carrier turns: counter-rotate it
        carrier = group("carrier %d" % n, [group("planet", body, p=(rad, 0), r=turn(-revs, op, -n * 47),
                                                 s=(100, 100 * 100.0 / tilt))],
                        r=turn(revs, op, n * 47))
        planets.append(carrier)
    system = group("system", planets + orbits, p=(CX, CY), s=(100, tilt))
    layers = [shape_layer("sun", [sun], op), shape_layer("system", [system], op),
              shape_layer("corona", [corona], op),
              twinkles(0x0B17, 90, op, [WHITE, (0.8, 0.85, 1.0), (1.0, 0.9, 0.8)], (0, 0, W, H)),
              sky("space", op, (0.04, 0.03, 0.1), (0.0, 0.0, 0.04), 0.96)]
    return composition("orbits", W, H, op, layers)


# ---------------------------------------------------------------------------
# glow letters: a dot-matrix sign spelling words, drawn from glyph outlines
# the movie carries (a text layer with its own "chars"), one word after another

DOT_FONT = {  # our own 5 x 7 dot-matrix letters, top row first
    "A": [".###.", "#...#", "#...#", "#####", "#...#", "#...#", "#...#"],
    "D": ["####.", "#...#", "#...#", "#...#", "#...#", "#...#", "####."],
    "E": ["#####", "#....", "#....", "####.", "#....", "#....", "#####"],
    "G": [".####", "#....", "#....", "#.###", "#...#", "#...#", ".###."],
    "L": ["#....", "#....", "#....", "#....", "#....", "#....", "#####"],
    "M": ["#...#", "##.##", "#.#.#", "#.#.#", "#...#", "#...#", "#...#"],
    "O": [".###.", "#...#", "#...#", "#...#", "#...#", "#...#", ".###."],
    "P": ["####.", "#...#", "#...#", "####.", "#....", "#....", "#...."],
    "R": ["####.", "#...#", "#...#", "####.", "#.#..", "#..#.", "#...#"],
    "S": [".####", "#....", "#....", ".###.", "....#", "....#", "####."],
    "T": ["#####", "..#..", "..#..", "..#..", "..#..", "..#..", "..#.."],
    "W": ["#...#", "#...#", "#...#", "#.#.#", "#.#.#", "##.##", "#...#"],
}
DOT_FAMILY = "Qrv Dots"


def dot_path(cx, cy, r):
    """A round dot as four bezier quarters (clockwise, like every dot)."""
    k = 0.5523 * r
    return {"ty": "sh", "ks": {"a": 0, "k": {
        "i": [[0, -k], [k, 0], [0, k], [-k, 0]], "o": [[0, k], [-k, 0], [0, -k], [k, 0]],
        "v": [[cx + r, cy], [cx, cy + r], [cx - r, cy], [cx, cy - r]], "c": True}}}


def dot_chars():
    """Glyph outlines at size 100: cells of 10 units, the baseline at 0 and
    the letters 70 units tall; each glyph advances 60 units."""
    chars = [{"ch": " ", "size": 100, "style": "Regular", "w": 40, "fFamily": DOT_FAMILY,
              "data": {"shapes": [{"ty": "gr", "nm": " ", "it": []}]}}]  # players expect a group, even empty
    for ch, rows in sorted(DOT_FONT.items()):
        dots = [dot_path(c * 10 + 5, r * 10 - 65, 4.2)
                for r, row in enumerate(rows) for c, on in enumerate(row) if on == "#"]
        chars.append({"ch": ch, "size": 100, "style": "Regular", "w": 60, "fFamily": DOT_FAMILY,
                      "data": {"shapes": [{"ty": "gr", "nm": ch, "it": dots}]}})
    return chars


def make_glow_letters():
    op = 480
    words = [  # frame, text, fill, stroke, tracking, baseline shift; the loop ends on its first word
        (0, "DREAM", (1.0, 0.35, 0.85), (1.0, 0.85, 1.0), 60, 0),
        (100, "SLEEP", (0.3, 0.85, 1.0), (0.85, 1.0, 1.0), 120, 0),
        (200, "SWEET\rDREAMS", (0.55, 1.0, 0.7), (0.9, 1.0, 0.9), 40, 100),
        (300, "GLOW", (1.0, 0.75, 0.25), (1.0, 0.95, 0.8), 200, 0),
        (400, "DREAM", (1.0, 0.35, 0.85), (1.0, 0.85, 1.0), 60, 0),
    ]
    docs = [{"t": t, "s": {"s": 150, "f": "QrvDots-Regular", "t": text, "j": 2, "tr": tr, "lh": 200, "ls": ls,
                           "fc": list(fc), "sc": list(sc), "sw": 3, "of": False}}
            for t, text, fc, sc, tr, ls in words]
    # each word breathes in as it appears
    pulse = keys([(f, (100, 100, 100)) if f % 100 == 0 or f == op else (f, (106, 106, 100))
                  for f in (0, 50, 100, 150, 200, 250, 300, 350, 400, 440, op)])
    text = {"ddd": 0, "ty": 5, "nm": "sign", "sr": 1, "ao": 0, "ip": 0, "op": op, "st": 0, "bm": 0,
            "ks": transform(p=(CX, CY + 52), s=pulse),
            "t": {"d": {"k": docs}, "p": {}, "m": {"g": 1, "a": {"a": 0, "k": [0, 0]}}, "a": []}}
    halo = oval_group("halo", [rect((W, H), (CX, CY))],
                      [oval_fill([(0, (0.35, 0.12, 0.55), 0.85), (0.55, (0.12, 0.05, 0.3), 0.6),
                                  (1, BLACK, 0)])],
                      oval=((CX, CY), 620.0, 300.0))
    frame = group("frame", [rect((900, 420), r=36), stroke((0.7, 0.5, 1.0), 3, 55),
                            rect((930, 450), r=44), stroke((0.7, 0.5, 1.0), 1.5, 25)], p=(CX, CY))
    movie = composition("glow letters", W, H, op, [text, shape_layer("frame", [frame], op),
                                                   shape_layer("halo", [halo], op)])
    movie["fonts"] = {"list": [{"fName": "QrvDots-Regular", "fFamily": DOT_FAMILY, "fStyle": "Regular",
                                "ascent": 70}]}
    movie["chars"] = dot_chars()
    return movie


# ---------------------------------------------------------------------------

VISUALISATIONS = [
    # name, maker, one line for the catalogue
    ("aurora", make_aurora, "Curtains of northern light sway over a snowy ridge."),
    ("tunnel", make_tunnel, "Neon frames rush at you, turning as they come."),
    ("kaleidoscope", make_kaleidoscope, "Gold and rose petals turn against each other."),
    ("lava lamp", make_lava_lamp, "Warm blobs rise, stretch and sink, slow as a Sunday."),
    ("oscilloscope", make_oscilloscope, "A phosphor trace draws Lissajous figures on the graticule."),
    ("fireworks", make_fireworks, "Rockets climb over the city and burst into rings of sparks."),
    ("ocean waves", make_ocean_waves, "Swells roll in under the moon and its silver path."),
    ("neon grid", make_neon_grid, "A road of light runs on towards a striped sunset."),
    ("spirograph", make_spirograph, "Pens of light trace rolling-circle curves."),
    ("orbits", make_orbits, "A little solar system, every planet on its own clock."),
    ("glow letters", make_glow_letters, "A dot-matrix sign spells sleepy words in coloured light."),
]

CODE_TABLE = {" ": 1}
CODE_TABLE.update({chr(ord("a") + i): 2 + i for i in range(14)})  # a..n
CODE_TABLE.update({chr(ord("o") + i): 17 + i for i in range(12)})  # o..z
CODE_TABLE.update({str(d): 29 + d for d in range(10)})
CODE_TABLE["\u00f1"] = 16


def encode_name(name):
    return "".join("%02d" % CODE_TABLE[ch] for ch in name)


def decode_code(code):
    back = {v: k for k, v in CODE_TABLE.items()}
    return "".join(back.get(int(code[i:i + 2]), "#Err") for i in range(0, len(code), 2))


STILL_W, STILL_H = 320, 154


def still_frame(movie):
    return int(float(movie["ip"]) + (float(movie["op"]) - float(movie["ip"])) * 0.4)


CSS = """body { margin: 0; background: #0b0718; color: #e8e2ff; font-family: Tahoma, Verdana, Arial, sans-serif;
  font-size: 13px; }
.head { padding: 14px 18px 10px 18px; background: #1b1038; border-bottom: 2px solid #7a4dff; }
.head h1 { margin: 0; font-size: 22px; color: #ffffff; letter-spacing: 1px; }
.head p { margin: 4px 0 0 0; color: #b9a8ff; }
table.cat { border-collapse: separate; border-spacing: 12px; margin: 0 6px; }
td.vis { width: 336px; vertical-align: top; background: #170f2e; border: 1px solid #3a2a6e; padding: 7px; }
td.vis img { display: block; width: 320px; height: 154px; border: 1px solid #000000; background: #000000; }
td.vis h2 { margin: 6px 0 2px 0; font-size: 15px; color: #ffffff; text-transform: capitalize; }
td.vis p { margin: 0 0 5px 0; color: #c9c0ee; }
.code { font-family: "Courier New", Courier, monospace; font-size: 16px; font-weight: bold; color: #5ff0ff;
  letter-spacing: 1px; }
.how { margin: 4px 18px 16px 18px; color: #b9a8ff; }
.get { margin: 10px 18px 0 18px; }
.get h2 { margin: 0 0 4px 0; font-size: 15px; color: #ffffff; }
.get ul { margin: 0; padding-left: 18px; color: #c9c0ee; }
a { color: #8fe8ff; }
"""


# The installers, the 64-bit one first: they sit at the site's root, beside
# index.html (copied there from dist/ when the site is hosted).
INSTALLERS = ("QrvSaver2006-setup-x64.exe", "QrvSaver2006-setup-x86.exe")


def page(entries):
    cells = []
    # No link to the movie files: their .exe names would make a browser save
    # them as programs. The code is what the screensaver needs.
    for name, code, blurb, img, _exe in entries:
        cells.append(
            '<td class="vis"><img src="%s" width="320" height="154" alt="%s"><h2>%s</h2><p>%s</p>'
            '<p>Download code: <span class="code">%s</span></p></td>'
            % (html.escape(img, True), html.escape(name, True), html.escape(name), html.escape(blurb), code))
    rows = []
    for i in range(0, len(cells), 2):
        rows.append("<tr>" + "".join(cells[i:i + 2]) + "</tr>")
    return """<!DOCTYPE html>
<html lang="en">
<head>
<meta charset="utf-8">
<meta http-equiv="X-UA-Compatible" content="IE=edge">
<title>QrvSaver2006 visualisations</title>
<link rel="stylesheet" type="text/css" href="style.css">
</head>
<body>
<div class="head"><h1>QrvSaver2006 visualisations</h1>
<p>Type a download code into the screensaver's &quot;Get More&quot; window and press Ok.</p></div>
<div class="get"><h2>Get the screensaver</h2>
<ul>
<li><a href="../%s">%s</a>: for 64-bit Windows, which is all of Windows 11 and most of Windows 10.</li>
<li><a href="../%s">%s</a>: for 32-bit Windows only.</li>
</ul></div>
<table class="cat">
%s
</table>
<p class="how">Every code spells the visualisation's name, two digits a letter. Copy a code and click the code box:
the screensaver picks it up from the clipboard.</p>
</body>
</html>
""" % (INSTALLERS[0], INSTALLERS[0], INSTALLERS[1], INSTALLERS[1], "\n".join(rows))


def our_movies():
    """(name, file bytes, movie, blurb) of each of our visualisations."""
    for name, maker, blurb in VISUALISATIONS:
        movie = maker()
        yield name, encode(movie), movie, blurb


def folder_movies(folder):
    """(name, file bytes, movie, blurb) of each .vsi file in folder, named by
    its file name. Files whose names the download codes cannot spell, or that
    are not movies, are left out with a word on stderr."""
    for fn in sorted(os.listdir(folder)):
        if not fn.lower().endswith(".vsi"):
            continue
        name = fn[:-4]
        if not (2 <= len(name) <= 14 and all(ch in CODE_TABLE for ch in name)):
            print("make_site: %s left out: a name is 2 to 14 small letters, digits and blanks" % fn,
                  file=sys.stderr)
            continue
        with open(os.path.join(folder, fn), "rb") as f:
            data = f.read()
        try:
            movie = json.loads(data.decode("utf-8"))
            float(movie["op"]) - float(movie["ip"])
        except (ValueError, KeyError, TypeError, UnicodeDecodeError):
            print("make_site: %s left out: not a movie" % fn, file=sys.stderr)
            continue
        yield name, data, movie, movie.get("nm", "") if isinstance(movie.get("nm"), str) else ""


def build(sitedir, vsi2png, verbose=False, movies=None):
    vis = os.path.join(sitedir, "VelmaraScreensaver")
    dwn, img = os.path.join(vis, "DWN"), os.path.join(vis, "img")
    os.makedirs(dwn, exist_ok=True)
    os.makedirs(img, exist_ok=True)
    entries = []
    for name, data, movie, blurb in (our_movies() if movies is None else movies):
        assert 2 <= len(name) <= 14 and all(ch in CODE_TABLE for ch in name), name
        exe = os.path.join(dwn, name + ".exe")
        with open(exe, "wb") as f:
            f.write(data)
        png = os.path.join(img, name.replace(" ", "_") + ".png")
        if vsi2png:
            subprocess.run([vsi2png, exe, str(still_frame(movie)), "%dx%d" % (STILL_W, STILL_H), png,
                            "--bg", "0b0718"], check=True)
        if verbose:
            print("%-14s %s  %7d bytes" % (name, encode_name(name), len(data)))
        entries.append((name, encode_name(name), blurb, "img/" + os.path.basename(png), "DWN/" + name + ".exe"))
    with open(os.path.join(vis, "index.html"), "w", encoding="utf-8") as f:
        f.write(page(entries))
    with open(os.path.join(vis, "style.css"), "w", encoding="utf-8") as f:
        f.write(CSS)
    with open(os.path.join(sitedir, "index.html"), "w", encoding="utf-8") as f:
        f.write('<!DOCTYPE html>\n<html><head><meta charset="utf-8">'
                '<meta http-equiv="X-UA-Compatible" content="IE=edge">'
                '<meta http-equiv="refresh" content="0; url=VelmaraScreensaver/">'
                '<title>QrvSaver2006</title></head>\n<body><p><a href="VelmaraScreensaver/">'
                'QrvSaver2006 visualisations</a></p></body></html>\n')


def main(argv):
    args = argv[1:]
    vsi2png = None
    folder = None
    while args[:1] in (["--vsi2png"], ["--from"]) and len(args) >= 2:
        if args[0] == "--vsi2png":
            vsi2png = args[1]
        else:
            folder = args[1]
        args = args[2:]
    sitedir = args[0] if args else os.path.join(ROOT, "site")
    build(sitedir, vsi2png, verbose=True, movies=folder_movies(folder) if folder else None)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
