#!/usr/bin/env python3
"""Generate the built-in pictures and the application icon.

Usage: python3 tools/make_pictures.py [outdir]

Writes background.png, preview.png, dialog_bg.png, banner.png,
previcon0..3.png, about.png and app.ico into outdir (default: src/win/res
under the repository root). Pure standard library; the output is the same
bytes on every run.

Everything is drawn procedurally: a dark club scene (haze gradient, laser
fan, bokeh light spots, a perspective floor grid) and a small neon stroke
font. Smooth layers are computed at a reduced resolution and upscaled
bilinearly; sharp shapes use analytic per-pixel coverage.
"""

import math
import os
import random
import struct
import sys
import zlib

# ---------------------------------------------------------------------------
# Palette (display-referred RGB, 0..1)

CYAN = (0.15, 0.85, 1.0)
MAGENTA = (1.0, 0.22, 0.82)
VIOLET = (0.58, 0.32, 1.0)
BLUE = (0.25, 0.45, 1.0)
TEAL = (0.2, 1.0, 0.75)
WHITE = (1.0, 1.0, 1.0)

BEAM_COLOURS = (CYAN, MAGENTA, VIOLET, BLUE, MAGENTA, TEAL, CYAN, VIOLET)


def mix(a, b, t):
    return (a[0] + (b[0] - a[0]) * t,
            a[1] + (b[1] - a[1]) * t,
            a[2] + (b[2] - a[2]) * t)


def clamp01(v):
    return 0.0 if v < 0.0 else (1.0 if v > 1.0 else v)


def smoothstep(e0, e1, x):
    t = clamp01((x - e0) / (e1 - e0))
    return t * t * (3.0 - 2.0 * t)


# ---------------------------------------------------------------------------
# Raster primitives

def segment_pixels(w, h, x0, y0, x1, y1, reach):
    """Yield (index, distance, t) for pixel centres within `reach` of the
    segment (x0,y0)-(x1,y1). t is the position along the segment, 0..1.

    Walks the major axis and only visits the narrow band around the line,
    so long thin strokes stay cheap."""
    dx = x1 - x0
    dy = y1 - y0
    l2 = dx * dx + dy * dy
    if l2 < 1e-12:
        dx = dy = 0.0
        l2 = 1.0
    length = math.sqrt(l2) if (dx or dy) else 0.0
    horizontal = abs(dx) >= abs(dy)
    if horizontal:
        a0, a1 = (x0, x1) if x0 <= x1 else (x1, x0)
        lo = max(0, int(math.floor(a0 - reach)))
        hi = min(w - 1, int(math.ceil(a1 + reach)))
        half = reach * length / abs(dx) if dx else reach
        for x in range(lo, hi + 1):
            px = x + 0.5
            cx = a0 if px < a0 else (a1 if px > a1 else px)
            cy = y0 + (cx - x0) * dy / dx if dx else y0
            ylo = max(0, int(math.floor(cy - half - 0.5)))
            yhi = min(h - 1, int(math.ceil(cy + half)))
            for y in range(ylo, yhi + 1):
                py = y + 0.5
                t = ((px - x0) * dx + (py - y0) * dy) / l2
                t = 0.0 if t < 0.0 else (1.0 if t > 1.0 else t)
                ex = px - (x0 + t * dx)
                ey = py - (y0 + t * dy)
                d = math.sqrt(ex * ex + ey * ey)
                if d <= reach:
                    yield y * w + x, d, t
    else:
        a0, a1 = (y0, y1) if y0 <= y1 else (y1, y0)
        lo = max(0, int(math.floor(a0 - reach)))
        hi = min(h - 1, int(math.ceil(a1 + reach)))
        half = reach * length / abs(dy)
        for y in range(lo, hi + 1):
            py = y + 0.5
            cy = a0 if py < a0 else (a1 if py > a1 else py)
            cx = x0 + (cy - y0) * dx / dy
            xlo = max(0, int(math.floor(cx - half - 0.5)))
            xhi = min(w - 1, int(math.ceil(cx + half)))
            row = y * w
            for x in range(xlo, xhi + 1):
                px = x + 0.5
                t = ((px - x0) * dx + (py - y0) * dy) / l2
                t = 0.0 if t < 0.0 else (1.0 if t > 1.0 else t)
                ex = px - (x0 + t * dx)
                ey = py - (y0 + t * dy)
                d = math.sqrt(ex * ex + ey * ey)
                if d <= reach:
                    yield row + x, d, t


class Mask:
    """Single-channel coverage, combined with max() so that overlapping
    strokes of one shape do not brighten at their joints."""

    def __init__(self, w, h):
        self.w = w
        self.h = h
        self.a = [0.0] * (w * h)

    def stroke(self, pts, radius, glow=0.0):
        """Polyline of the given half-width. With glow > 0 the profile is a
        Gaussian of that sigma instead of a hard anti-aliased edge."""
        a = self.a
        if glow > 0.0:
            reach = radius + 3.0 * glow
            k = 1.0 / (2.0 * glow * glow)
        else:
            reach = radius + 0.5
        for (x0, y0), (x1, y1) in zip(pts, pts[1:]):
            for i, d, _ in segment_pixels(self.w, self.h, x0, y0, x1, y1, reach):
                if glow > 0.0:
                    e = d - radius
                    v = 1.0 if e <= 0.0 else math.exp(-e * e * k)
                else:
                    v = radius + 0.5 - d
                    if v > 1.0:
                        v = 1.0
                if v > a[i]:
                    a[i] = v

    def fill_polygon(self, pts, ss=4):
        """Even-odd polygon fill, anti-aliased by ss x ss supersampling."""
        xs = [p[0] for p in pts]
        ys = [p[1] for p in pts]
        x_lo = max(0, int(math.floor(min(xs))))
        x_hi = min(self.w - 1, int(math.ceil(max(xs))))
        y_lo = max(0, int(math.floor(min(ys))))
        y_hi = min(self.h - 1, int(math.ceil(max(ys))))
        edges = list(zip(pts, pts[1:] + pts[:1]))
        inv = 1.0 / (ss * ss)
        for y in range(y_lo, y_hi + 1):
            for sy in range(ss):
                py = y + (sy + 0.5) / ss
                cross = []
                for (ax, ay), (bx, by) in edges:
                    if (ay <= py < by) or (by <= py < ay):
                        cross.append(ax + (py - ay) * (bx - ax) / (by - ay))
                cross.sort()
                for j in range(0, len(cross) - 1, 2):
                    for x in range(x_lo, x_hi + 1):
                        hits = 0
                        for sx in range(ss):
                            px = x + (sx + 0.5) / ss
                            if cross[j] <= px < cross[j + 1]:
                                hits += 1
                        if hits:
                            self.a[y * self.w + x] += hits * inv
        self.a = [v if v < 1.0 else 1.0 for v in self.a]

    def rounded_rect(self, x0, y0, x1, y1, r):
        cx = (x0 + x1) * 0.5
        cy = (y0 + y1) * 0.5
        hx = (x1 - x0) * 0.5 - r
        hy = (y1 - y0) * 0.5 - r
        a = self.a
        for y in range(max(0, int(y0) - 1), min(self.h, int(y1) + 2)):
            qy = abs(y + 0.5 - cy) - hy
            for x in range(max(0, int(x0) - 1), min(self.w, int(x1) + 2)):
                qx = abs(x + 0.5 - cx) - hx
                ox = qx if qx > 0.0 else 0.0
                oy = qy if qy > 0.0 else 0.0
                sd = math.sqrt(ox * ox + oy * oy) + min(max(qx, qy), 0.0) - r
                v = clamp01(0.5 - sd)
                i = y * self.w + x
                if v > a[i]:
                    a[i] = v


class Canvas:
    """RGB float image (three planes), composited additively or with
    source-over, written out with a soft highlight roll-off and ordered
    dithering."""

    def __init__(self, w, h, alpha=False):
        self.w = w
        self.h = h
        n = w * h
        self.r = [0.0] * n
        self.g = [0.0] * n
        self.b = [0.0] * n
        self.alpha = [0.0] * n if alpha else None

    # -- smooth fields -----------------------------------------------------
    def add_field(self, low, lw, lh):
        """Bilinearly upscale a low-resolution canvas (lists r,g,b of lw*lh)
        and add it."""
        w, h = self.w, self.h
        fx = lw / w
        fy = lh / h
        xi = []
        for x in range(w):
            u = (x + 0.5) * fx - 0.5
            u = 0.0 if u < 0.0 else (lw - 1.0 if u > lw - 1.0 else u)
            i0 = int(u)
            i1 = i0 + 1 if i0 + 1 < lw else i0
            xi.append((i0, i1, u - i0))
        # horizontal pass into lh rows of width w
        rows = []
        for plane in low:
            out = []
            for y in range(lh):
                base = y * lw
                src = plane[base:base + lw]
                out.append([src[i0] + (src[i1] - src[i0]) * f for i0, i1, f in xi])
            rows.append(out)
        for plane, hrows in zip((self.r, self.g, self.b), rows):
            for y in range(h):
                v = (y + 0.5) * fy - 0.5
                v = 0.0 if v < 0.0 else (lh - 1.0 if v > lh - 1.0 else v)
                j0 = int(v)
                j1 = j0 + 1 if j0 + 1 < lh else j0
                f = v - j0
                ra = hrows[j0]
                rb = hrows[j1]
                base = y * w
                if f == 0.0 or j0 == j1:
                    for x in range(w):
                        plane[base + x] += ra[x]
                else:
                    g = 1.0 - f
                    for x in range(w):
                        plane[base + x] += ra[x] * g + rb[x] * f

    # -- compositing ---------------------------------------------------------
    def add_mask(self, mask, colour, gain=1.0):
        cr, cg, cb = colour[0] * gain, colour[1] * gain, colour[2] * gain
        r, g, b = self.r, self.g, self.b
        for i, v in enumerate(mask.a):
            if v > 0.0:
                r[i] += cr * v
                g[i] += cg * v
                b[i] += cb * v

    def over_mask(self, mask, colour_at, opacity=1.0):
        """Source-over with a per-pixel colour function colour_at(x, y)."""
        w = self.w
        r, g, b, al = self.r, self.g, self.b, self.alpha
        for i, v in enumerate(mask.a):
            if v > 0.0:
                v *= opacity
                c = colour_at(i % w + 0.5, i // w + 0.5)
                k = 1.0 - v
                r[i] = r[i] * k + c[0] * v
                g[i] = g[i] * k + c[1] * v
                b[i] = b[i] * k + c[2] * v
                if al is not None:
                    al[i] = al[i] * k + v

    def add_glow(self, cx, cy, sigma, colour, gain):
        reach = 3.0 * sigma
        k = 1.0 / (2.0 * sigma * sigma)
        w = self.w
        for y in range(max(0, int(cy - reach)), min(self.h, int(cy + reach) + 2)):
            dy = y + 0.5 - cy
            for x in range(max(0, int(cx - reach)), min(w, int(cx + reach) + 2)):
                dx = x + 0.5 - cx
                v = math.exp(-(dx * dx + dy * dy) * k) * gain
                if v > 0.002:
                    i = y * w + x
                    self.r[i] += colour[0] * v
                    self.g[i] += colour[1] * v
                    self.b[i] += colour[2] * v

    def add_disc(self, cx, cy, radius, colour, gain, soft=1.0, rim=0.35):
        """A bokeh spot: flat disc, soft edge, slightly brighter rim."""
        w = self.w
        reach = radius + soft
        for y in range(max(0, int(cy - reach)), min(self.h, int(cy + reach) + 2)):
            dy = y + 0.5 - cy
            for x in range(max(0, int(cx - reach)), min(w, int(cx + reach) + 2)):
                dx = x + 0.5 - cx
                d = math.sqrt(dx * dx + dy * dy)
                if d >= reach:
                    continue
                cov = 1.0 - smoothstep(radius - soft, radius + soft, d)
                q = d / radius
                v = cov * (1.0 - rim + rim * q * q * q * q) * gain
                i = y * w + x
                self.r[i] += colour[0] * v
                self.g[i] += colour[1] * v
                self.b[i] += colour[2] * v

    def add_beam(self, x0, y0, x1, y1, radius, colour, gain, decay):
        """Thin additive laser core fading with distance from its source."""
        reach = radius + 1.0
        length = math.hypot(x1 - x0, y1 - y0)
        for i, d, t in segment_pixels(self.w, self.h, x0, y0, x1, y1, reach):
            cov = clamp01(radius + 0.5 - d)
            if d < radius:
                cov *= 1.0 + 0.6 * (1.0 - d / radius)
            v = cov * gain * math.exp(-t * length / decay)
            self.r[i] += colour[0] * v
            self.g[i] += colour[1] * v
            self.b[i] += colour[2] * v

    def add_line_fade(self, x0, y0, x1, y1, radius, colour, gain_at):
        """Anti-aliased additive line whose gain depends on t (0..1)."""
        reach = radius + 0.5
        for i, d, t in segment_pixels(self.w, self.h, x0, y0, x1, y1, reach):
            v = clamp01(radius + 0.5 - d) * gain_at(t)
            self.r[i] += colour[0] * v
            self.g[i] += colour[1] * v
            self.b[i] += colour[2] * v

    # -- output --------------------------------------------------------------
    BAYER = (0, 8, 2, 10, 12, 4, 14, 6, 3, 11, 1, 9, 15, 7, 13, 5)

    def to_bytes(self, vignette=0.0, bgra=False):
        """8-bit rows: RGB (or BGRA when bgra=True), top row first."""
        w, h = self.w, self.h
        vx = [1.0 - vignette * ((x + 0.5) / w * 2.0 - 1.0) ** 2 for x in range(w)]
        vy = [1.0 - vignette * ((y + 0.5) / h * 2.0 - 1.0) ** 2 for y in range(h)]
        table = [(b + 0.5) / 16.0 for b in self.BAYER]
        out = bytearray()
        r, g, b, al = self.r, self.g, self.b, self.alpha
        for y in range(h):
            row = bytearray()
            brow = (y & 3) * 4
            for x in range(w):
                i = y * w + x
                f = vx[x] * vy[y]
                dith = table[brow + (x & 3)]
                px = []
                for v in (r[i], g[i], b[i]):
                    v *= f
                    if v > 0.8:
                        v = 0.8 + 0.2 * (1.0 - math.exp(-(v - 0.8) * 5.0))
                    q = int(v * 255.0 + dith)
                    px.append(0 if q < 0 else (255 if q > 255 else q))
                if bgra:
                    aq = int(al[i] * 255.0 + 0.5)
                    row += bytes((px[2], px[1], px[0], 0 if aq < 0 else min(aq, 255)))
                else:
                    row += bytes(px)
            out += row
        return bytes(out)


# ---------------------------------------------------------------------------
# File writers

def png_bytes(w, h, rgb):
    """Truecolour 8-bit PNG; each row uses the Sub or None filter, whichever
    has the smaller sum of absolute values."""
    stride = w * 3
    raw = bytearray()
    for y in range(h):
        row = rgb[y * stride:(y + 1) * stride]
        sub = bytes((row[i] - (row[i - 3] if i >= 3 else 0)) & 255 for i in range(stride))
        cost_none = sum(v if v < 128 else 256 - v for v in row)
        cost_sub = sum(v if v < 128 else 256 - v for v in sub)
        if cost_sub < cost_none:
            raw.append(1)
            raw += sub
        else:
            raw.append(0)
            raw += row

    def chunk(tag, data):
        return (struct.pack(">I", len(data)) + tag + data
                + struct.pack(">I", zlib.crc32(tag + data) & 0xFFFFFFFF))

    ihdr = struct.pack(">IIBBBBB", w, h, 8, 2, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", ihdr)
            + chunk(b"IDAT", zlib.compress(bytes(raw), 9)) + chunk(b"IEND", b""))


def ico_bytes(images):
    """images: list of (size, bgra top-down bytes). Classic 32-bit DIB entries
    with an AND mask (bit set where fully transparent)."""
    blobs = []
    for size, bgra in images:
        rows = [bgra[y * size * 4:(y + 1) * size * 4] for y in range(size)]
        xor = b"".join(reversed(rows))
        mask_stride = ((size + 31) // 32) * 4
        mask = bytearray()
        for y in reversed(range(size)):
            line = bytearray(mask_stride)
            for x in range(size):
                if bgra[(y * size + x) * 4 + 3] == 0:
                    line[x >> 3] |= 0x80 >> (x & 7)
            mask += line
        header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0,
                             len(xor) + len(mask), 0, 0, 0, 0)
        blobs.append((size, header + xor + bytes(mask)))
    out = struct.pack("<HHH", 0, 1, len(blobs))
    offset = 6 + 16 * len(blobs)
    for size, blob in blobs:
        out += struct.pack("<BBBBHHII", size & 255, size & 255, 0, 0, 1, 32,
                           len(blob), offset)
        offset += len(blob)
    for _, blob in blobs:
        out += blob
    return out


# ---------------------------------------------------------------------------
# Stroke font. Units: cap height 10, x-height 6, baseline y = 0, y up.

def arc(cx, cy, rx, ry, a0, a1, step=12.0):
    n = max(2, int(abs(a1 - a0) / step) + 1)
    return [(cx + rx * math.cos(math.radians(a0 + (a1 - a0) * k / n)),
             cy + ry * math.sin(math.radians(a0 + (a1 - a0) * k / n)))
            for k in range(n + 1)]


GLYPHS = {
    # char: (advance, [polyline, ...])
    "Q": (7.4, [arc(3.2, 5, 3.2, 5, 0, 360),
                [(3.8, 2.2), (6.6, -0.6)]]),
    "R": (6.6, [[(0, 0), (0, 10), (3.4, 10)] + arc(3.4, 7.5, 2.5, 2.5, 90, -90)
                + [(0, 5)],
                [(2.8, 5), (5.6, 0)]]),
    "V": (7.0, [[(0, 10), (3.2, 0), (6.4, 10)]]),
    "S": (6.4, [arc(3.0, 7.5, 2.8, 2.5, 20, 270) + arc(3.0, 2.5, 2.8, 2.5, 90, -160)]),
    "a": (5.8, [arc(2.5, 3, 2.5, 3, 0, 360), [(5.0, 6), (5.0, 0)]]),
    "v": (5.8, [[(0, 6), (2.6, 0), (5.2, 6)]]),
    "e": (5.8, [[(0, 3), (5.0, 3)] + arc(2.5, 3, 2.5, 3, 0, 315)]),
    "r": (4.4, [[(0, 0), (0, 6)], arc(3.0, 3.2, 3.0, 2.8, 180, 60)]),
    "2": (6.6, [arc(3.0, 7, 3.0, 3, 160, -35) + [(0, 0), (6.0, 0)]]),
    "0": (6.6, [arc(3.0, 5, 3.0, 5, 0, 360)]),
    "6": (6.6, [arc(3.0, 5, 3.0, 5, 55, 180) + [(0, 3)],
                arc(3.0, 3, 3.0, 3, 0, 360)]),
    " ": (3.6, []),
}

SLANT = 0.16
TRACKING = 1.2


def text_width(text):
    return sum(GLYPHS[c][0] + TRACKING for c in text) - TRACKING


def text_polylines(text, x, baseline, scale):
    """Polylines in pixel coordinates (y down) for text starting at x."""
    out = []
    pen = 0.0
    for c in text:
        adv, strokes = GLYPHS[c]
        for pl in strokes:
            out.append([(x + (pen + px + SLANT * py) * scale, baseline - py * scale)
                        for px, py in pl])
        pen += adv + TRACKING
    return out


def draw_neon_text(canvas, text, x, baseline, scale, colour, core=WHITE, gain=1.0):
    """Neon tube lettering: wide halo, tinted tube, hot white core."""
    w, h = canvas.w, canvas.h
    lines = text_polylines(text, x, baseline, scale)
    radius = max(0.55, 0.62 * scale)
    halo = Mask(w, h)
    tube = Mask(w, h)
    hot = Mask(w, h)
    for pl in lines:
        halo.stroke(pl, radius, glow=2.2 * radius + 1.0)
        tube.stroke(pl, radius)
        hot.stroke(pl, max(0.3, radius * 0.45))
    canvas.add_mask(halo, colour, 0.45 * gain)
    canvas.add_mask(tube, colour, 0.75 * gain)
    canvas.add_mask(hot, core, 0.5 * gain)


# ---------------------------------------------------------------------------
# The club scene

def render_scene(w, h, seed, horizon=0.6, source=None, beams=13, fan=(-172.0, -8.0),
                 grid=True, bokeh=40, dim=1.0, low=4):
    """Dark club scene: haze gradient, laser fan from `source` (fractions of
    w, h; defaults to the vanishing point), bokeh spots and a floor grid."""
    rnd = random.Random(seed)
    scale = math.sqrt(w * h / (800.0 * 600.0))
    hy = horizon * h
    sx, sy = (0.5 * w, hy) if source is None else (source[0] * w, source[1] * h)
    cv = Canvas(w, h)

    # Low-resolution field: base gradient, haze glow, beam halos.
    lw = max(2, (w + low - 1) // low)
    lh = max(2, (h + low - 1) // low)
    fx = w / lw
    fy = h / lh
    top = (0.012, 0.014, 0.05)
    mid = (0.14, 0.05, 0.26)
    floor_far = (0.045, 0.014, 0.10)
    floor_near = (0.008, 0.006, 0.025)
    lr = [0.0] * (lw * lh)
    lg = [0.0] * (lw * lh)
    lb = [0.0] * (lw * lh)
    for j in range(lh):
        y = (j + 0.5) * fy
        if y < hy:
            t = (y / hy) ** 1.6
            base = mix(top, mid, t)
        else:
            t = ((y - hy) / max(1.0, h - hy)) ** 0.6
            base = mix(floor_far, floor_near, t)
        for i in range(lw):
            x = (i + 0.5) * fx
            dx = (x - sx) / w
            dy = (y - sy) / h
            # elliptical haze around the source, and a reflection streak below
            haze = math.exp(-(dx * dx * 5.0 + dy * dy * 14.0))
            streak = 0.0
            line = math.exp(-((y - hy) / (0.012 * h + 1.0)) ** 2)
            if y > hy:
                haze *= 0.55
                streak = math.exp(-dx * dx * 160.0) * math.exp(-(y - hy) / (0.5 * h))
            k = j * lw + i
            lr[k] = base[0] + 0.20 * haze + 0.10 * streak + 0.10 * line
            lg[k] = base[1] + 0.06 * haze + 0.05 * streak + 0.04 * line
            lb[k] = base[2] + 0.30 * haze + 0.16 * streak + 0.18 * line

    low_cv = Canvas(lw, lh)
    low_cv.r, low_cv.g, low_cv.b = lr, lg, lb

    # Laser fan geometry.
    beam_list = []
    reach = 1.6 * math.hypot(w, h)
    for n in range(beams):
        f = (n + 0.5) / beams
        ang = fan[0] + (fan[1] - fan[0]) * f + rnd.uniform(-3.0, 3.0)
        colour = BEAM_COLOURS[(n + seed) % len(BEAM_COLOURS)]
        strength = rnd.uniform(0.55, 1.0)
        ex = sx + math.cos(math.radians(ang)) * reach
        ey = sy + math.sin(math.radians(ang)) * reach
        beam_list.append((ex, ey, colour, strength))
    decay = 0.55 * math.hypot(w, h)

    # Beam halos in the low-resolution field.
    for ex, ey, colour, strength in beam_list:
        for sigma, gain in ((1.6 * scale / fx * 6.0, 0.13), (0.6 * scale / fx * 6.0, 0.2)):
            sg = max(0.6, sigma)
            k = 1.0 / (2.0 * sg * sg)
            for i, d, t in segment_pixels(lw, lh, sx / fx, sy / fy, ex / fx, ey / fy, 3.0 * sg):
                v = math.exp(-d * d * k) * gain * strength * math.exp(-t * reach / decay)
                low_cv.r[i] += colour[0] * v
                low_cv.g[i] += colour[1] * v
                low_cv.b[i] += colour[2] * v
    # Big soft glow at the source.
    low_cv.add_glow(sx / fx, sy / fy, 40.0 * scale / fx, (0.75, 0.35, 1.0), 0.35)

    cv.add_field((low_cv.r, low_cv.g, low_cv.b), lw, lh)

    # Floor grid in perspective (vanishing point at the horizon centre).
    if grid and hy < h - 2:
        vx = 0.5 * w
        depth = h - hy
        gcol = (0.75, 0.25, 1.0)
        spacing = 0.16 * w
        for k in range(-14, 15):
            bx = vx + k * spacing
            cv.add_line_fade(vx, hy, bx, h, 0.45 * max(1.0, scale * 1.3), gcol,
                             lambda t: 0.28 * t ** 1.6)
        z = 1.0
        while True:
            y = hy + depth / z
            if y - hy < 1.2:
                break
            near = (y - hy) / depth
            cv.add_line_fade(0, y, w, y, 0.45 * max(1.0, scale * 1.3), gcol,
                             lambda t, n=near: 0.28 * n ** 1.6
                             * (1.0 - 0.5 * abs(t * 2.0 - 1.0)))
            z += 0.55

    # Bokeh spots: mostly in the upper part, a few everywhere.
    for _ in range(bokeh):
        bx = rnd.uniform(0.0, w)
        by = rnd.uniform(0.0, hy * 1.05) if rnd.random() < 0.85 else rnd.uniform(0.0, h)
        rad = rnd.uniform(3.0, 24.0) * scale + 1.0
        colour = mix(rnd.choice(BEAM_COLOURS), WHITE, rnd.uniform(0.0, 0.35))
        gain = rnd.uniform(0.05, 0.16) * (1.6 if rad < 6 else 1.0)
        cv.add_disc(bx, by, rad, colour, gain, soft=max(0.6, rad * 0.12))

    # Laser cores.
    for ex, ey, colour, strength in beam_list:
        cv.add_beam(sx, sy, ex, ey, max(0.35, 0.9 * scale), mix(colour, WHITE, 0.2),
                    0.85 * strength, decay)

    # Twinkles: tiny star points with a faint cross.
    for _ in range(int(30 * scale + 6)):
        px = rnd.uniform(0.0, w)
        py = rnd.uniform(0.0, hy)
        colour = mix(rnd.choice(BEAM_COLOURS), WHITE, 0.6)
        size = rnd.uniform(0.6, 1.3) * max(0.7, scale * 1.5)
        cv.add_glow(px, py, size, colour, rnd.uniform(0.25, 0.6))

    # Hot source point.
    cv.add_glow(sx, sy, 6.0 * scale + 1.0, (0.9, 0.7, 1.0), 0.9)
    cv.add_glow(sx, sy, 2.0 * scale + 0.6, WHITE, 0.8)

    if dim != 1.0:
        for plane in (cv.r, cv.g, cv.b):
            for i in range(len(plane)):
                plane[i] *= dim
    return cv


# ---------------------------------------------------------------------------
# Emblem: glowing ring with equaliser bars on a dark rounded square

def eq_colour(t):
    """Vertical gradient for equaliser bars: magenta at the bottom, cyan top."""
    return mix(MAGENTA, CYAN, clamp01(t))


def draw_emblem(cv, x0, y0, size, backing=True):
    w, h = cv.w, cv.h
    cx = x0 + size * 0.5
    cy = y0 + size * 0.5
    if backing:
        sq = Mask(w, h)
        m = size * 0.03
        sq.rounded_rect(x0 + m, y0 + m, x0 + size - m, y0 + size - m, size * 0.2)

        def square_colour(x, y):
            t = clamp01((y - y0) / size)
            base = mix((0.17, 0.07, 0.34), (0.03, 0.02, 0.09), t)
            d = math.hypot(x - cx, y - cy) / size
            g = math.exp(-d * d * 9.0) * 0.2
            return (base[0] + 0.6 * g, base[1] + 0.15 * g, base[2] + 0.9 * g)
        cv.over_mask(sq, square_colour)
        edge = Mask(w, h)
        pts = []
        r_in = size * 0.2
        a = x0 + m + 0.5
        b = x0 + size - m - 0.5
        c = y0 + m + 0.5
        d = y0 + size - m - 0.5
        for ccx, ccy, a0 in ((b - r_in, c + r_in, -90), (b - r_in, d - r_in, 0),
                             (a + r_in, d - r_in, 90), (a + r_in, c + r_in, 180)):
            pts += arc(ccx, ccy, r_in - 0.5, r_in - 0.5, a0, a0 + 90, step=10)
        pts.append(pts[0])
        edge.stroke(pts, max(0.35, size * 0.012))
        cv.add_mask(edge, (0.55, 0.4, 1.0), 0.45)

    # ring
    ring_r = size * 0.33
    ring_w = max(0.6, size * 0.035)
    ring_pts = arc(cx, cy, ring_r, ring_r, 0, 360, step=4)
    halo = Mask(w, h)
    halo.stroke(ring_pts, ring_w, glow=ring_w * 1.6 + 0.6)
    tube = Mask(w, h)
    tube.stroke(ring_pts, ring_w)

    def ring_colour(x, y):
        t = 0.5 + 0.5 * math.sin(math.atan2(y - cy, x - cx) * 1.0 + 0.8)
        return mix(CYAN, MAGENTA, t)
    for mask, gain in ((halo, 0.55), (tube, 0.85)):
        r, g, b = cv.r, cv.g, cv.b
        for i, v in enumerate(mask.a):
            if v > 0.0:
                c = ring_colour(i % w + 0.5, i // w + 0.5)
                r[i] += c[0] * v * gain
                g[i] += c[1] * v * gain
                b[i] += c[2] * v * gain

    # equaliser bars, symmetric about the centre line
    heights = (0.30, 0.58, 0.86, 0.52, 0.26)
    # whole-pixel widths and positions keep the bars crisp at icon sizes
    bar_w = max(2.0, round(size * 0.065))
    gap = max(1.0, round(size * 0.045))
    total = len(heights) * bar_w + (len(heights) - 1) * gap
    bx = round(cx - total * 0.5)
    for hgt in heights:
        half = hgt * ring_r * 0.85
        bar = Mask(w, h)
        bar.rounded_rect(bx, cy - half, bx + bar_w, cy + half, min(bar_w * 0.5, size * 0.03))
        cv.over_mask(bar, lambda x, y, half=half: mix(eq_colour(0.5 - (y - cy) / (2 * half + 1e-9)),
                                                      WHITE, 0.12))
        bx += bar_w + gap
    cv.add_glow(cx, cy, size * 0.16, VIOLET, 0.12)


# ---------------------------------------------------------------------------
# Pictures

def make_background():
    cv = render_scene(800, 600, seed=7, horizon=0.62, beams=14, bokeh=46)
    return 800, 600, cv.to_bytes(vignette=0.22)


def make_preview():
    w, h = 153, 112
    cv = render_scene(w, h, seed=3, horizon=0.66, beams=11, bokeh=16, low=2)
    scale = 2.7
    tw = text_width("QRV") * scale
    draw_neon_text(cv, "QRV", (w - tw) * 0.5 - 2.0, h * 0.5 + 6.0, scale, MAGENTA)
    return w, h, cv.to_bytes(vignette=0.2)


def make_dialog_bg():
    cv = render_scene(585, 411, seed=11, horizon=0.72, beams=10, bokeh=30,
                      dim=0.62, fan=(-165.0, -15.0))
    return 585, 411, cv.to_bytes(vignette=0.18)


def make_banner():
    w, h = 300, 80
    cv = render_scene(w, h, seed=5, horizon=0.92, source=(0.86, 0.55), beams=9,
                      fan=(-200.0, -20.0), bokeh=14, grid=False, low=2)
    scale = 2.35
    text = "QrvSaver 2006"
    draw_neon_text(cv, text, 12.0, h * 0.5 + 11.5, scale, CYAN)
    return w, h, cv.to_bytes(vignette=0.12)


def make_about():
    w, h = 213, 100
    cv = render_scene(w, h, seed=9, horizon=0.8, source=(0.3, 0.5), beams=8,
                      bokeh=12, grid=False, low=2, dim=0.8)
    draw_emblem(cv, 8, 14, 72)
    scale = 1.95
    draw_neon_text(cv, "QrvSaver", 90.0, 46.0, scale, CYAN)
    draw_neon_text(cv, "2006", 116.0, 80.0, scale, MAGENTA)
    return w, h, cv.to_bytes()


def make_previcon(frame):
    """Speaker with three sound waves; frame k lights the first k waves."""
    w = h = 25
    cv = Canvas(w, h)
    bg = Mask(w, h)
    bg.a = [1.0] * (w * h)
    cv.over_mask(bg, lambda x, y: mix((0.10, 0.04, 0.22), (0.02, 0.01, 0.07), y / h))
    body = Mask(w, h)
    body.fill_polygon([(3.0, 9.5), (7.0, 9.5), (12.0, 5.0), (12.0, 20.0),
                       (7.0, 15.5), (3.0, 15.5)])
    cv.over_mask(body, lambda x, y: mix((0.85, 0.95, 1.0), VIOLET, clamp01((y - 5) / 18)))
    glow = Mask(w, h)
    glow.stroke([(3.0, 9.5), (7.0, 9.5), (12.0, 5.0), (12.0, 20.0), (7.0, 15.5),
                 (3.0, 15.5), (3.0, 9.5)], 0.4, glow=1.3)
    cv.add_mask(glow, VIOLET, 0.25)
    for k, rad in enumerate((4.0, 7.5, 11.0)):
        pts = arc(12.5, 12.5, rad, rad, -48, 48, step=6)
        lit = k < frame
        colour = mix(CYAN, MAGENTA, k / 2.0)
        halo = Mask(w, h)
        tube = Mask(w, h)
        tube.stroke(pts, 0.85)
        if lit:
            halo.stroke(pts, 0.85, glow=1.4)
            cv.add_mask(halo, colour, 0.35)
            cv.add_mask(tube, mix(colour, WHITE, 0.35), 0.9)
        else:
            cv.add_mask(tube, colour, 0.16)
    return w, h, cv.to_bytes()


def make_icon(size):
    cv = Canvas(size, size, alpha=True)
    draw_emblem(cv, 0, 0, size)
    # The canvas holds premultiplied colour; the icon format wants straight
    # alpha. Additive glow outside the square has no coverage and is dropped.
    for i, a in enumerate(cv.alpha):
        if a <= 0.0:
            cv.r[i] = cv.g[i] = cv.b[i] = 0.0
        elif a < 1.0:
            cv.r[i] /= a
            cv.g[i] /= a
            cv.b[i] /= a
    return cv.to_bytes(bgra=True)


def build(outdir):
    os.makedirs(outdir, exist_ok=True)
    files = {}
    files["background.png"] = png_bytes(*make_background())
    files["preview.png"] = png_bytes(*make_preview())
    files["dialog_bg.png"] = png_bytes(*make_dialog_bg())
    files["banner.png"] = png_bytes(*make_banner())
    for k in range(4):
        files["previcon%d.png" % k] = png_bytes(*make_previcon(k))
    files["about.png"] = png_bytes(*make_about())
    files["app.ico"] = ico_bytes([(48, make_icon(48)), (32, make_icon(32))])
    for name, data in sorted(files.items()):
        with open(os.path.join(outdir, name), "wb") as f:
            f.write(data)
    return sorted(files)


def main(argv):
    if len(argv) > 2:
        sys.stderr.write("usage: make_pictures.py [outdir]\n")
        return 2
    root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    outdir = argv[1] if len(argv) > 1 else os.path.join(root, "src", "win", "res")
    for name in build(outdir):
        print(os.path.join(outdir, name))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
