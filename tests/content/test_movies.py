"""Checks of the shipped movies and of their generator, tools/make_movies.py.

Run from the repository root:
    python3 -m unittest discover -s tests/content -p 'test_movies.py'

With QRV_VSI2PNG set to a built vsi2png, frames are also rendered and their
pixels checked.
"""

import json
import os
import runpy
import struct
import subprocess
import sys
import tempfile
import unittest
import zlib

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
DATA = os.path.join(ROOT, "data", "QR06V2XLM")


def load_generator():
    """The generator's functions and constants, by name."""
    return runpy.run_path(os.path.join(ROOT, "tools", "make_movies.py"), run_name="make_movies")


GEN = load_generator()

LOADER, TITLE, DEFAULT = "QrvLoad.is", "QrvTtl.is", "(Default).vsi"

# name: (w, h, fr, ip, op)
HEADERS = {
    LOADER: (113, 43, 30, 0, 180),
    TITLE: (1920, 1080, 30, 0, 90),
    DEFAULT: (1600, 770, 30, 0, 416),
}

# The player's validator refuses files beyond these; ours stay well inside.
MAX_BYTES = 500 * 1024
MAX_DEPTH = 64
MAX_LAYERS = 1000
MAX_GROUP_NESTING = 16
MAX_FPS = 60
MAX_FRAMES = 10000
MAX_REPEATER_COPIES = 1000


def read_movie(name):
    with open(os.path.join(DATA, name), "rb") as f:
        raw = f.read()
    return raw, json.loads(raw)


def json_depth(node):
    """Nesting depth of objects and arrays, walked without recursion."""
    deepest, stack = 0, [(node, 1)]
    while stack:
        n, d = stack.pop()
        if isinstance(n, dict):
            deepest = max(deepest, d)
            stack.extend((v, d + 1) for v in n.values())
        elif isinstance(n, list):
            deepest = max(deepest, d)
            stack.extend((v, d + 1) for v in n)
    return deepest


def shape_items(shapes, depth=1):
    """(item, group nesting depth) for every shape item, groups included."""
    for item in shapes:
        yield item, depth
        if item.get("ty") == "gr":
            yield from shape_items(item["it"], depth + 1)


def all_layers(movie):
    yield from movie["layers"]
    for asset in movie.get("assets", []):
        yield from asset.get("layers", [])


def animated_props(node, key=None, parent=None):
    """(key, property, owner) for every keyframed property."""
    if isinstance(node, dict):
        if node.get("a") == 1 and isinstance(node.get("k"), list) and node["k"] \
                and isinstance(node["k"][0], dict):
            yield key, node, parent
            return
        for k, v in node.items():
            yield from animated_props(v, k, node)
    elif isinstance(node, list):
        for v in node:
            yield from animated_props(v, key, parent)


def is_transform(owner):
    return owner is not None and (owner.get("ty") == "tr" or {"a", "p", "s", "r", "o"} <= set(owner))


class GeneratorTest(unittest.TestCase):
    def test_output_is_deterministic_and_matches_the_committed_files(self):
        first, second = GEN["build_all"](), GEN["build_all"]()
        self.assertEqual(first, second)
        self.assertEqual(set(first), set(HEADERS))
        for name, data in first.items():
            with self.subTest(name=name):
                raw, _ = read_movie(name)
                self.assertEqual(raw, data, "%s differs from the generator's output: "
                                 "run python3 tools/make_movies.py" % name)

    def test_writes_into_a_given_folder(self):
        with tempfile.TemporaryDirectory() as tmp:
            out = os.path.join(tmp, "sub")
            subprocess.run([sys.executable, os.path.join(ROOT, "tools", "make_movies.py"), out],
                           check=True, capture_output=True)
            self.assertEqual(sorted(os.listdir(out)), sorted(HEADERS))


class MovieFileTest(unittest.TestCase):
    def test_header(self):
        for name, (w, h, fr, ip, op) in HEADERS.items():
            with self.subTest(name=name):
                _, m = read_movie(name)
                self.assertEqual((m["w"], m["h"], m["fr"], m["ip"], m["op"]), (w, h, fr, ip, op))

    def test_within_the_player_limits(self):
        for name in HEADERS:
            with self.subTest(name=name):
                raw, m = read_movie(name)
                self.assertLess(len(raw), MAX_BYTES)
                self.assertLessEqual(json_depth(m), MAX_DEPTH)
                self.assertLessEqual(len(list(all_layers(m))), MAX_LAYERS)
                self.assertLessEqual(m["fr"], MAX_FPS)
                self.assertLessEqual(m["op"] - m["ip"], MAX_FRAMES)
                copies = 0
                for layer in all_layers(m):
                    for item, depth in shape_items(layer.get("shapes", [])):
                        self.assertLessEqual(depth, MAX_GROUP_NESTING)
                        if item["ty"] == "rp":
                            copies += item["c"]["k"]
                self.assertLessEqual(copies, MAX_REPEATER_COPIES)

    def test_assets_are_precompositions_that_exist(self):
        for name in HEADERS:
            with self.subTest(name=name):
                _, m = read_movie(name)
                ids = set()
                for asset in m["assets"]:
                    # an image asset would carry a file name or data URL in "p"
                    self.assertNotIn("p", asset)
                    self.assertNotIn("u", asset)
                    self.assertIn("layers", asset)
                    ids.add(asset["id"])
                for layer in all_layers(m):
                    self.assertNotEqual(layer["ty"], 2, "image layer")
                    if layer["ty"] == 0:
                        self.assertIn(layer["refId"], ids)

    def test_shape_items_name_their_type_first(self):
        # rlottie ignores the keys of a shape item that come before "ty".
        for name in HEADERS:
            _, m = read_movie(name)
            for layer in all_layers(m):
                for item, _ in shape_items(layer.get("shapes", [])):
                    self.assertEqual(next(iter(item)), "ty", "%s: %s" % (name, item.get("nm")))

    def test_keyframes_run_forward_within_the_timeline(self):
        for name in HEADERS:
            with self.subTest(name=name):
                _, m = read_movie(name)
                # keyframes inside a precomposition count from its own start
                spans = [(m["layers"], m["op"])]
                spans += [(a["layers"], max(l["op"] for l in a["layers"])) for a in m["assets"]]
                for layers, end in spans:
                    for key, p, _ in animated_props(layers):
                        times = [k["t"] for k in p["k"]]
                        self.assertEqual(times, sorted(times), key)
                        self.assertGreaterEqual(times[0], 0)
                        self.assertLessEqual(times[-1], end)


class LoopTest(unittest.TestCase):
    """The looping movies must end in the state they start in."""

    def assert_ends_where_it_starts(self, layers, where):
        for key, p, owner in animated_props(layers):
            first, last = p["k"][0]["s"], p["k"][-1].get("s", p["k"][-2].get("e"))
            if key == "r" and is_transform(owner):
                # a rotation may end any number of whole turns away
                self.assertEqual((last[0] - first[0]) % 360, 0, "%s: rotation %s" % (where, p))
            else:
                self.assertEqual(first, last, "%s: %s %s" % (where, key, json.dumps(p)[:200]))

    def test_animated_properties_end_at_their_start_values(self):
        for name in (DEFAULT, LOADER):
            with self.subTest(name=name):
                _, m = read_movie(name)
                self.assert_ends_where_it_starts(m["layers"], name)
                for asset in m["assets"]:
                    self.assert_ends_where_it_starts(asset["layers"], "%s/%s" % (name, asset["id"]))

    def test_precomposition_instances_tile_the_loop(self):
        _, m = read_movie(DEFAULT)
        lengths = {a["id"]: max(l["op"] for l in a["layers"]) for a in m["assets"]}
        for ref, length in lengths.items():
            with self.subTest(asset=ref):
                spans = sorted((l["ip"], l["op"], l["st"]) for l in m["layers"]
                               if l["ty"] == 0 and l["refId"] == ref)
                self.assertTrue(spans)
                edge = m["ip"]
                for ip, op, st in spans:
                    # each instance starts its cycle where the previous ended
                    self.assertEqual((ip, st, op - ip), (edge, edge, length))
                    edge = op
                self.assertEqual(edge, m["op"])

    def test_title_settles_before_its_last_frame(self):
        # the title plays once and then holds its last frame
        _, m = read_movie(TITLE)
        last = m["op"] - 1
        for key, p, _ in animated_props(m["layers"]):
            self.assertLessEqual(p["k"][-1]["t"], last, key)


# ---------------------------------------------------------------------------
# Rendering through vsi2png

def decode_png(path):
    """(width, height, rows of RGBA bytes) of an 8-bit RGBA, non-interlaced PNG."""
    with open(path, "rb") as f:
        data = f.read()
    assert data[:8] == b"\x89PNG\r\n\x1a\n"
    pos, idat = 8, b""
    while pos < len(data):
        (n,) = struct.unpack(">I", data[pos:pos + 4])
        kind, body = data[pos + 4:pos + 8], data[pos + 8:pos + 8 + n]
        pos += 12 + n
        if kind == b"IHDR":
            w, h, depth, colour, _, _, interlace = struct.unpack(">IIBBBBB", body)
            assert (depth, colour, interlace) == (8, 6, 0)
        elif kind == b"IDAT":
            idat += body
    raw = zlib.decompress(idat)
    bpp, stride = 4, w * 4
    rows, prev, i = [], bytearray(stride), 0
    for _ in range(h):
        ftype, line = raw[i], bytearray(raw[i + 1:i + 1 + stride])
        i += 1 + stride
        for x in range(stride):
            a = line[x - bpp] if x >= bpp else 0
            b = prev[x]
            c = prev[x - bpp] if x >= bpp else 0
            if ftype == 1:
                line[x] = (line[x] + a) & 255
            elif ftype == 2:
                line[x] = (line[x] + b) & 255
            elif ftype == 3:
                line[x] = (line[x] + ((a + b) >> 1)) & 255
            elif ftype == 4:
                pa, pb, pc = abs(b - c), abs(a - c), abs(a + b - 2 * c)
                pred = a if pa <= pb and pa <= pc else (b if pb <= pc else c)
                line[x] = (line[x] + pred) & 255
        rows.append(bytes(line))
        prev = line
    return w, h, rows


def alphas(rows):
    return [row[3::4] for row in rows]


@unittest.skipUnless(os.environ.get("QRV_VSI2PNG"), "QRV_VSI2PNG (a built vsi2png) not set")
class RenderTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.tool = os.environ["QRV_VSI2PNG"]
        cls.tmp = tempfile.TemporaryDirectory()

    @classmethod
    def tearDownClass(cls):
        cls.tmp.cleanup()

    def render(self, name, frame, size):
        out = os.path.join(self.tmp.name, "%s-%s.png" % (name, frame))
        res = subprocess.run([self.tool, os.path.join(DATA, name), str(frame), size, out, "--bg", "none"],
                             capture_output=True, text=True)
        self.assertEqual(res.returncode, 0, "%s frame %s: %s" % (name, frame, res.stderr))
        return decode_png(out)

    def test_info_reports_the_header(self):
        for name, (w, h, fr, ip, op) in HEADERS.items():
            with self.subTest(name=name):
                res = subprocess.run([self.tool, os.path.join(DATA, name), "info"],
                                     capture_output=True, text=True, check=True)
                self.assertIn("width: %d\nheight: %d\nframe rate: %d\ntotal frames: %d\n"
                              % (w, h, fr, op - ip), res.stdout)

    def test_a_file_that_is_not_a_movie_is_refused(self):
        bad = os.path.join(self.tmp.name, "bad.vsi")
        for content in (b"", b"not json", b'{"v":"5.7.0","layers":[{"ty":4'):
            with self.subTest(content=content):
                with open(bad, "wb") as f:
                    f.write(content)
                res = subprocess.run([self.tool, bad, "0", "32x32", bad + ".png"],
                                     capture_output=True, text=True)
                self.assertEqual(res.returncode, 2)
                self.assertIn("bad.vsi", res.stderr)
                self.assertFalse(os.path.exists(bad + ".png"))

    def test_loader_is_opaque_and_moves(self):
        frames = [self.render(LOADER, f, "113x43")[2] for f in (0, 9, 18)]
        for rows in frames:
            # rlottie's blending over an opaque pixel may round its alpha to 254
            self.assertGreaterEqual(min(min(row) for row in alphas(rows)), 250)
        self.assertNotEqual(frames[0], frames[1])
        self.assertNotEqual(frames[1], frames[2])

    def test_title_holds_in_the_band_above_the_visualisation(self):
        w, h, rows = self.render(TITLE, HEADERS[TITLE][4] - 1, "480x270")
        band = int(h * 0.155)  # the visualisation's frame starts at 15.5 %
        a = alphas(rows)
        lit = sum(1 for row in a[:band] for v in row if v >= 128)
        self.assertGreater(lit, w * band // 50, "title too faint or missing")
        self.assertTrue(all(v == 0 for row in a[band + 1:] for v in row),
                        "title reaches into the visualisation's frame")
        # left of the title the overlay stays clear too
        self.assertTrue(all(row[0] == 0 for row in a))

    def test_default_is_transparent_around_moving_content(self):
        w, h, first = self.render(DEFAULT, 0, "400x193")
        _, _, later = self.render(DEFAULT, 100, "400x193")
        a = alphas(first)
        self.assertEqual(a[0][0], 0, "corner should show the background")
        clear = sum(1 for row in a for v in row if v == 0)
        self.assertGreater(clear, w * h // 50)
        self.assertGreater(sum(1 for row in a for v in row if v == 255), 0)
        self.assertNotEqual(first, later)

    def test_default_fades_out_before_the_edges_of_its_frame(self):
        # Anything still visible on the composition's outermost pixels is cut
        # off there by a hard straight edge over the background picture.
        # Rendered at exact fractions of 1600x770, so the image's border is
        # the composition's border (vsi2png letterboxes other proportions).
        # Frames: downbeats, the beats' light peaks, the shockwaves at their
        # widest, stars at the end of their flight, the loop's last frame.
        frames = sorted({0, 2, 8, 14, 28, 41, 53, 94, 150, 198, 221, 302, 313, 365, 415})
        cases = [(f, "320x154") for f in frames] + [(2, "800x385"), (94, "800x385")]
        for frame, size in cases:
            with self.subTest(frame=frame, size=size):
                w, h, rows = self.render(DEFAULT, frame, size)
                a = alphas(rows)
                lit = [("top", x, a[0][x]) for x in range(w) if a[0][x]]
                lit += [("bottom", x, a[-1][x]) for x in range(w) if a[-1][x]]
                lit += [("left", y, a[y][0]) for y in range(h) if a[y][0]]
                lit += [("right", y, a[y][-1]) for y in range(h) if a[y][-1]]
                self.assertEqual(lit, [], "(edge, position, alpha) of lit border pixels")


if __name__ == "__main__":
    unittest.main()
