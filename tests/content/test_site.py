"""Checks of the download site (site/) and its generator, tools/make_site.py.

Run from the repository root:
    python3 -m unittest discover -s tests/content -p 'test_site.py'

With QRV_VSI2PNG set to a built vsi2png, every movie is also rendered at a
few frames to see that it draws something, moves, and loops without a jump.
"""

import html.parser
import json
import os
import runpy
import struct
import subprocess
import tempfile
import unittest
import zlib

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
VIS = os.path.join(ROOT, "site", "VelmaraScreensaver")
GEN = runpy.run_path(os.path.join(ROOT, "tools", "make_site.py"), run_name="make_site")

# The player refuses files beyond these.
MAX_BYTES = 4 * 1024 * 1024


# The installers the catalogue offers, in the order it must offer them.
INSTALLER_LINKS = ("../QrvSaver2006-setup-x64.exe", "../QrvSaver2006-setup-x86.exe")


class Catalogue(html.parser.HTMLParser):
    def __init__(self):
        super().__init__()
        self.imgs, self.codes, self.links, self.meta, self.scripts = [], [], [], [], 0
        self._in_code = False

    def handle_starttag(self, tag, attrs):
        a = dict(attrs)
        if tag == "img":
            self.imgs.append(a.get("src"))
        elif tag == "span" and a.get("class") == "code":
            self._in_code = True
        elif tag == "a":
            self.links.append(a.get("href"))
        elif tag == "meta":
            self.meta.append(a)
        elif tag == "script":
            self.scripts += 1

    def handle_endtag(self, tag):
        if tag == "span":
            self._in_code = False

    def handle_data(self, data):
        if self._in_code and data.strip():
            self.codes.append(data.strip())


def parse_page():
    with open(os.path.join(VIS, "index.html"), encoding="utf-8") as f:
        p = Catalogue()
        p.feed(f.read())
    return p


def png_info(path):
    with open(path, "rb") as f:
        raw = f.read()
    assert raw[:8] == b"\x89PNG\r\n\x1a\n", path
    w, h, depth, colour = struct.unpack(">IIBB", raw[16:26])
    pos, idat = 8, b""
    while pos < len(raw):
        n, kind = struct.unpack(">I4s", raw[pos:pos + 8])
        if kind == b"IDAT":
            idat += raw[pos + 8:pos + 8 + n]
        pos += 12 + n
    return w, h, depth, colour, zlib.decompress(idat)


def pixels(path, channels=3):
    """Rows of (r, g, b) of an 8-bit RGB or RGBA PNG (filters undone); with
    channels=4 (RGBA only), rows of (r, g, b, a)."""
    w, h, depth, colour, data = png_info(path)
    bpp = {2: 3, 6: 4}[colour]
    stride = w * bpp
    rows, prev, pos = [], bytearray(stride), 0
    for _ in range(h):
        ft = data[pos]
        line = bytearray(data[pos + 1:pos + 1 + stride])
        pos += 1 + stride
        for i in range(stride):
            a = line[i - bpp] if i >= bpp else 0
            b = prev[i]
            c = prev[i - bpp] if i >= bpp else 0
            if ft == 1:
                line[i] = (line[i] + a) & 255
            elif ft == 2:
                line[i] = (line[i] + b) & 255
            elif ft == 3:
                line[i] = (line[i] + (a + b) // 2) & 255
            elif ft == 4:
                p = a + b - c
                pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
                line[i] = (line[i] + (a if pa <= pb and pa <= pc else b if pb <= pc else c)) & 255
        rows.append([tuple(line[k:k + channels]) for k in range(0, stride, bpp)])
        prev = line
    return rows


def spread(rows):
    """How much the picture varies: standard deviation of brightness."""
    vals = [sum(p) / 3.0 for row in rows for p in row]
    m = sum(vals) / len(vals)
    return (sum((v - m) ** 2 for v in vals) / len(vals)) ** 0.5


def difference(a, b):
    n = tot = 0
    for ra, rb in zip(a, b):
        for pa, pb in zip(ra, rb):
            tot += sum(abs(x - y) for x, y in zip(pa, pb))
            n += 3
    return tot / n


class SiteTest(unittest.TestCase):
    def test_catalogue_lists_every_movie_by_a_code_that_spells_its_file(self):
        page = parse_page()
        self.assertGreaterEqual(len(page.codes), 10)
        self.assertEqual(len(page.codes), len(page.imgs))
        names = []
        for code in page.codes:
            self.assertTrue(code.isdigit() and len(code) % 2 == 0, code)
            name = GEN["decode_code"](code)
            self.assertNotIn("#Err", name)
            self.assertTrue(2 <= len(name) <= 14, name)
            # the clipboard takes codes of 6 to 28 characters whose first six
            # digits stay within three valid pairs
            self.assertTrue(6 <= len(code) <= 28 and int(code[:6]) <= 383838, code)
            self.assertTrue(os.path.isfile(os.path.join(VIS, "DWN", name + ".exe")), name)
            names.append(name)
        self.assertEqual(len(set(names)), len(names))
        self.assertEqual(sorted(n + ".exe" for n in names), sorted(os.listdir(os.path.join(VIS, "DWN"))))

    def test_page_links_no_movie_file_and_shows_each_code_with_its_still(self):
        # A browser would save a linked .exe as a program: the page gives
        # codes, never the files. The only programs it links are the
        # installers at the site's root.
        page = parse_page()
        for href in page.links:
            if href in INSTALLER_LINKS:
                continue
            self.assertFalse((href or "").lower().split("?")[0].endswith(".exe"), href)
            self.assertNotIn("DWN/", href or "")
        self.assertEqual(len(page.codes), len(page.imgs))
        for img in page.imgs:
            self.assertTrue(os.path.isfile(os.path.join(VIS, img)), img)

    def test_page_needs_no_script_and_asks_for_the_newest_engine(self):
        page = parse_page()
        self.assertEqual(page.scripts, 0)
        self.assertIn({"http-equiv": "X-UA-Compatible", "content": "IE=edge"}, page.meta)
        for link in page.links:
            if link not in INSTALLER_LINKS:  # placed at the root when the site is hosted
                self.assertTrue(os.path.isfile(os.path.join(VIS, link)), link)

    def test_page_offers_the_64_bit_installer_first(self):
        page = parse_page()
        installers = [link for link in page.links if link in INSTALLER_LINKS]
        self.assertEqual(installers, list(INSTALLER_LINKS))

    def test_stills_are_pictures_of_the_right_size_with_something_in_them(self):
        for src in parse_page().imgs:
            path = os.path.join(VIS, src)
            w, h, depth, colour, _ = png_info(path)
            self.assertEqual((w, h, depth), (GEN["STILL_W"], GEN["STILL_H"], 8), src)
            self.assertGreater(spread(pixels(path)), 12, src)

    def test_movies_are_valid_lottie_within_the_player_limits(self):
        for name in os.listdir(os.path.join(VIS, "DWN")):
            with open(os.path.join(VIS, "DWN", name), "rb") as f:
                raw = f.read()
            self.assertLess(len(raw), MAX_BYTES, name)
            m = json.loads(raw)
            self.assertEqual((m["w"], m["h"], m["fr"], m["ip"]), (1600, 770, 30, 0), name)
            self.assertTrue(30 <= m["op"] <= 10000, name)
            self.assertLess(len(m["layers"]), 1000, name)

    def test_generator_reproduces_the_shipped_movies_and_page(self):
        with tempfile.TemporaryDirectory() as tmp:
            GEN["build"](tmp, None)
            out = os.path.join(tmp, "VelmaraScreensaver")
            for rel in ["index.html", "style.css"] + ["DWN/" + n for n in os.listdir(os.path.join(VIS, "DWN"))]:
                with open(os.path.join(out, rel), "rb") as a, open(os.path.join(VIS, rel), "rb") as b:
                    self.assertEqual(a.read(), b.read(), rel)

    def test_catalogue_from_a_folder_of_anyones_movies(self):
        # Two movies by other makers, one whose name no code spells, one that is no movie.
        with open(os.path.join(VIS, "DWN", "orbits.exe"), "rb") as f:
            orbits = f.read()
        files = {"my orbits.vsi": orbits, "b2.vsi": orbits.replace(b'"nm":"orbits"', b'"nm":"Second"'),
                 "Capital.vsi": orbits, "broken.vsi": b"{", "notes.txt": b"x"}
        with tempfile.TemporaryDirectory() as tmp:
            src, out = os.path.join(tmp, "in"), os.path.join(tmp, "out")
            os.makedirs(src)
            for n, data in files.items():
                with open(os.path.join(src, n), "wb") as f:
                    f.write(data)
            r = subprocess.run(["python3", os.path.join(ROOT, "tools", "make_site.py"), "--from", src, out],
                               stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
            self.assertEqual(r.returncode, 0, r.stderr)
            self.assertIn("Capital.vsi left out", r.stderr)
            self.assertIn("broken.vsi left out: not a movie", r.stderr)
            vis = os.path.join(out, "VelmaraScreensaver")
            self.assertEqual(sorted(os.listdir(os.path.join(vis, "DWN"))), ["b2.exe", "my orbits.exe"])
            with open(os.path.join(vis, "DWN", "my orbits.exe"), "rb") as f:
                self.assertEqual(f.read(), orbits)
            with open(os.path.join(vis, "index.html"), encoding="utf-8") as f:
                page_text = f.read()
            page = Catalogue()
            page.feed(page_text)
            self.assertEqual(page.codes, [GEN["encode_name"]("b2"), GEN["encode_name"]("my orbits")])
            self.assertIn("Second", page_text)

    @unittest.skipUnless(os.environ.get("QRV_VSI2PNG"), "needs QRV_VSI2PNG")
    def test_movies_move_loop_and_differ_from_each_other(self):
        tool = os.environ["QRV_VSI2PNG"]
        stills = {}
        with tempfile.TemporaryDirectory() as tmp:
            for name in sorted(os.listdir(os.path.join(VIS, "DWN"))):
                path = os.path.join(VIS, "DWN", name)
                with open(path, "rb") as f:
                    op = json.load(f)["op"]
                frames = {}
                for t in (0, op // 3, op - 1):
                    png = os.path.join(tmp, "f.png")
                    subprocess.run([tool, path, str(t), "160x77", png, "--bg", "000000"], check=True)
                    frames[t] = pixels(png)
                # it moves
                self.assertGreater(difference(frames[0], frames[op // 3]), 0.5, name)
                # the last frame runs into the first: closer than a third of the way on
                self.assertLess(difference(frames[op - 1], frames[0]),
                                difference(frames[op // 3], frames[0]), name)
                stills[name] = frames[op // 3]
        names = sorted(stills)
        for i, a in enumerate(names):
            for b in names[i + 1:]:
                self.assertGreater(difference(stills[a], stills[b]), 4, (a, b))

    @unittest.skipUnless(os.environ.get("QRV_VSI2PNG"), "needs QRV_VSI2PNG")
    def test_movies_fade_out_before_the_edges_of_their_frame(self):
        # The player draws a movie over the screensaver's picture: whatever is
        # still visible on the frame's outermost pixels (a sky filling the
        # frame, a landscape or a flying shape cut off there) shows as a hard
        # straight edge over the picture. Rendered at exact fractions of
        # 1600x770, so the image's border is the frame's border. Frames: six
        # across the loop, the last one, and the catalogue's still.
        tool = os.environ["QRV_VSI2PNG"]
        with tempfile.TemporaryDirectory() as tmp:
            png = os.path.join(tmp, "f.png")
            for name in sorted(os.listdir(os.path.join(VIS, "DWN"))):
                path = os.path.join(VIS, "DWN", name)
                with open(path, "rb") as f:
                    op = json.load(f)["op"]
                frames = sorted({op * k // 6 for k in range(6)} | {op - 1, int(op * 0.4)})
                cases = [(t, "320x154") for t in frames] + [(int(op * 0.4), "800x385")]
                for frame, size in cases:
                    with self.subTest(movie=name, frame=frame, size=size):
                        subprocess.run([tool, path, str(frame), size, png, "--bg", "none"], check=True)
                        rows = pixels(png, 4)
                        border = rows[0] + rows[-1] + [row[0] for row in rows] + [row[-1] for row in rows]
                        lit = [p[3] for p in border if p[3]]
                        self.assertEqual(lit, [], "alphas of lit border pixels")


if __name__ == "__main__":
    unittest.main()
