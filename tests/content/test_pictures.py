"""Checks for the built-in pictures and the application icon.

Run from the repository root:
    python3 -m unittest discover -s tests/content -p 'test_pictures.py'
"""

import hashlib
import os
import struct
import subprocess
import sys
import tempfile
import unittest
import zlib

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
TOOL = os.path.join(ROOT, "tools", "make_pictures.py")
RES = os.path.join(ROOT, "src", "win", "res")

PNG_SIZES = {
    "background.png": (800, 600),
    "preview.png": (153, 112),
    "dialog_bg.png": (585, 411),
    "banner.png": (300, 80),
    "about.png": (213, 100),
    "previcon0.png": (25, 25),
    "previcon1.png": (25, 25),
    "previcon2.png": (25, 25),
    "previcon3.png": (25, 25),
}
ALL_FILES = sorted(list(PNG_SIZES) + ["app.ico"])


def read_png(data):
    """Minimal reader for 8-bit truecolour PNGs. Returns (w, h, rgb bytes)
    and raises ValueError on anything malformed."""
    if data[:8] != b"\x89PNG\r\n\x1a\n":
        raise ValueError("bad signature")
    pos = 8
    ihdr = None
    idat = b""
    seen_end = False
    while pos < len(data):
        length, tag = struct.unpack(">I4s", data[pos:pos + 8])
        body = data[pos + 8:pos + 8 + length]
        crc, = struct.unpack(">I", data[pos + 8 + length:pos + 12 + length])
        if len(body) != length or zlib.crc32(tag + body) & 0xFFFFFFFF != crc:
            raise ValueError("bad chunk %r" % tag)
        if tag == b"IHDR":
            ihdr = struct.unpack(">IIBBBBB", body)
        elif tag == b"IDAT":
            idat += body
        elif tag == b"IEND":
            seen_end = True
            pos += 12 + length
            break
        pos += 12 + length
    if ihdr is None or not seen_end or pos != len(data):
        raise ValueError("missing IHDR/IEND or trailing bytes")
    w, h, depth, ctype, comp, filt, interlace = ihdr
    if (depth, ctype, comp, filt, interlace) != (8, 2, 0, 0, 0):
        raise ValueError("unexpected format %r" % (ihdr,))
    raw = zlib.decompress(idat)
    stride = w * 3
    if len(raw) != h * (stride + 1):
        raise ValueError("IDAT inflates to %d bytes, want %d" % (len(raw), h * (stride + 1)))
    out = bytearray()
    prev = bytearray(stride)
    for y in range(h):
        ftype = raw[y * (stride + 1)]
        line = bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
        for i in range(stride):
            a = line[i - 3] if i >= 3 else 0
            b = prev[i]
            c = prev[i - 3] if i >= 3 else 0
            if ftype == 0:
                pred = 0
            elif ftype == 1:
                pred = a
            elif ftype == 2:
                pred = b
            elif ftype == 3:
                pred = (a + b) >> 1
            elif ftype == 4:
                p = a + b - c
                pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
                pred = a if pa <= pb and pa <= pc else (b if pb <= pc else c)
            else:
                raise ValueError("bad filter %d" % ftype)
            line[i] = (line[i] + pred) & 255
        out += line
        prev = line
    return w, h, bytes(out)


def luminance(rgb):
    return [0.2126 * rgb[i] + 0.7152 * rgb[i + 1] + 0.0722 * rgb[i + 2]
            for i in range(0, len(rgb), 3)]


def region_means(lum, w, h, n=4):
    """Mean luminance of each cell of an n x n grid."""
    out = []
    for ry in range(n):
        for rx in range(n):
            cell = [lum[y * w + x]
                    for y in range(ry * h // n, (ry + 1) * h // n)
                    for x in range(rx * w // n, (rx + 1) * w // n)]
            out.append(sum(cell) / len(cell))
    return out


def read(name):
    with open(os.path.join(RES, name), "rb") as f:
        return f.read()


class GeneratorOutput(unittest.TestCase):
    """The committed files are exactly what the generator makes now."""

    @classmethod
    def setUpClass(cls):
        cls.tmp = tempfile.TemporaryDirectory()
        subprocess.run([sys.executable, TOOL, cls.tmp.name], check=True,
                       stdout=subprocess.DEVNULL)

    @classmethod
    def tearDownClass(cls):
        cls.tmp.cleanup()

    def test_writes_exactly_the_expected_files(self):
        self.assertEqual(sorted(os.listdir(self.tmp.name)), ALL_FILES)

    def test_committed_files_equal_fresh_output(self):
        for name in ALL_FILES:
            with self.subTest(name=name):
                with open(os.path.join(self.tmp.name, name), "rb") as f:
                    fresh = f.read()
                self.assertTrue(os.path.exists(os.path.join(RES, name)),
                                "missing; run tools/make_pictures.py")
                # Digests keep the failure message short.
                self.assertEqual(hashlib.sha256(read(name)).hexdigest(),
                                 hashlib.sha256(fresh).hexdigest(),
                                 "stale; rerun tools/make_pictures.py")


class Pictures(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.decoded = {name: read_png(read(name)) for name in PNG_SIZES}

    def test_sizes(self):
        for name, size in PNG_SIZES.items():
            with self.subTest(name=name):
                w, h, rgb = self.decoded[name]
                self.assertEqual((w, h), size)
                self.assertEqual(len(rgb), w * h * 3)

    def test_scenes_are_lit_and_varied(self):
        # Floors on 0..255 luminance: mean, standard deviation, brightest
        # pixel, and the spread between the darkest and brightest cell of a
        # 4x4 grid (large-scale variation, which dithering noise cannot fake).
        # The background must read as a picture, not as a black screen.
        cases = {
            "background.png": (15.0, 15.0, 240.0, 30.0),
            "preview.png": (20.0, 25.0, 240.0, 50.0),
            "dialog_bg.png": (8.0, 8.0, 200.0, 20.0),
            "banner.png": (30.0, 30.0, 220.0, 60.0),
            "about.png": (30.0, 30.0, 220.0, 60.0),
        }
        for name, (min_mean, min_std, min_peak, min_spread) in cases.items():
            with self.subTest(name=name):
                w, h, rgb = self.decoded[name]
                lum = luminance(rgb)
                mean = sum(lum) / len(lum)
                std = (sum((v - mean) ** 2 for v in lum) / len(lum)) ** 0.5
                cells = region_means(lum, w, h)
                self.assertGreater(mean, min_mean)
                self.assertGreater(std, min_std)
                self.assertGreater(max(lum), min_peak)
                self.assertGreater(max(cells) - min(cells), min_spread)

    def test_preview_icon_frames_all_differ(self):
        frames = [self.decoded["previcon%d.png" % k][2] for k in range(4)]
        for a in range(4):
            for b in range(a + 1, 4):
                with self.subTest(frames=(a, b)):
                    self.assertNotEqual(frames[a], frames[b])


class Icon(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.data = read("app.ico")

    def entries(self):
        reserved, kind, count = struct.unpack("<HHH", self.data[:6])
        self.assertEqual((reserved, kind), (0, 1))
        out = []
        for k in range(count):
            out.append(struct.unpack("<BBBBHHII", self.data[6 + 16 * k:22 + 16 * k]))
        return out

    def test_directory(self):
        entries = self.entries()
        self.assertEqual(sorted(e[0] for e in entries), [32, 48])
        end = 6 + 16 * len(entries)
        for w, h, colours, reserved, planes, bits, length, offset in entries:
            with self.subTest(size=w):
                self.assertEqual((w, h, colours, reserved, planes, bits), (w, w, 0, 0, 1, 32))
                self.assertEqual(offset, end, "images must follow each other")
                end = offset + length
        self.assertEqual(end, len(self.data))

    def test_images_are_32bit_dibs_with_consistent_masks(self):
        for size, _, _, _, _, _, length, offset in self.entries():
            with self.subTest(size=size):
                blob = self.data[offset:offset + length]
                (hdr, w, h, planes, bits, compression, image_size) = struct.unpack(
                    "<IiiHHII", blob[:24])
                self.assertEqual((hdr, w, h, planes, bits, compression),
                                 (40, size, 2 * size, 1, 32, 0))
                mask_stride = ((size + 31) // 32) * 4
                xor_len = size * size * 4
                self.assertEqual(length, 40 + xor_len + mask_stride * size)
                self.assertEqual(image_size, xor_len + mask_stride * size)
                xor = blob[40:40 + xor_len]
                mask = blob[40 + xor_len:]
                alpha = [xor[i * 4 + 3] for i in range(size * size)]
                # Both planes are stored bottom-up, so row indices line up.
                for y in range(size):
                    for x in range(size):
                        bit = (mask[y * mask_stride + (x >> 3)] >> (7 - (x & 7))) & 1
                        self.assertEqual(bit, int(alpha[y * size + x] == 0), (x, y))
                # A rounded square: clear corners, opaque middle.
                corners = [alpha[0], alpha[size - 1], alpha[size * (size - 1)], alpha[-1]]
                self.assertEqual(corners, [0, 0, 0, 0])
                self.assertEqual(alpha[(size // 2) * size + size // 2], 255)


if __name__ == "__main__":
    unittest.main()
