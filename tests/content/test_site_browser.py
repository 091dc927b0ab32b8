"""The download site in a real browser: Debian's chromium, headless.

Run from the repository root:
    python3 -m unittest discover -s tests/content -p 'test_site_browser.py'

Serves site/ on loopback with tests/server/qrv_test_server.py, takes a
screenshot of the catalogue (dist/screens/site_catalogue.png), checks that
the browser fetched every picture and that the page as the browser built it
shows codes that decode to files the server hands out. Skipped where
chromium is not installed.
"""

import os
import re
import runpy
import shutil
import subprocess
import tempfile
import unittest
import urllib.parse
import urllib.request

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
VIS = os.path.join(ROOT, "site", "VelmaraScreensaver")
SERVER = os.path.join(ROOT, "tests", "server", "qrv_test_server.py")
SCREENS = os.path.join(ROOT, "dist", "screens")
GEN = runpy.run_path(os.path.join(ROOT, "tools", "make_site.py"), run_name="make_site")
CHROMIUM = shutil.which("chromium")


def chromium(profile, *args):
    cmd = [CHROMIUM, "--headless", "--no-sandbox", "--disable-gpu", "--disable-background-networking",
           "--disable-extensions", "--disable-sync", "--no-first-run", "--no-default-browser-check",
           "--disable-dev-shm-usage", "--mute-audio", "--hide-scrollbars", "--user-data-dir=" + profile] + list(args)
    return subprocess.run(cmd, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, timeout=180, check=True).stdout


@unittest.skipUnless(CHROMIUM, "chromium is not installed")
class SiteInBrowser(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.tmp = tempfile.mkdtemp(prefix="qrv-site-")
        state = os.path.join(cls.tmp, "server")
        port = subprocess.run(["python3", SERVER, "--state", state, "--site", os.path.join(ROOT, "site"),
                               "--no-tls", "--daemon", "--parent", str(os.getpid())],
                              stdout=subprocess.PIPE, check=True, text=True).stdout.split()[0]
        cls.state = state
        cls.base = "http://127.0.0.1:%s" % port

    @classmethod
    def tearDownClass(cls):
        subprocess.run(["python3", SERVER, "--state", cls.state, "--stop"], check=False)
        shutil.rmtree(cls.tmp, ignore_errors=True)

    def get(self, path):
        with urllib.request.urlopen(self.base + path, timeout=30) as r:
            return r.status, r.read()

    def test_catalogue_renders_with_every_picture_and_working_codes(self):
        os.makedirs(SCREENS, exist_ok=True)
        shot = os.path.join(SCREENS, "site_catalogue.png")
        if os.path.exists(shot):
            os.unlink(shot)
        url = self.base + "/VelmaraScreensaver/"
        chromium(os.path.join(self.tmp, "p1"), "--window-size=1280,1450", "--screenshot=" + shot, url)
        self.assertTrue(os.path.getsize(shot) > 10000)
        dom = chromium(os.path.join(self.tmp, "p2"), "--dump-dom", url).decode("utf-8")
        imgs = re.findall(r'<img src="([^"]+)"', dom)
        codes = re.findall(r'<span class="code">(\d+)</span>', dom)
        self.assertGreaterEqual(len(imgs), 10)
        self.assertEqual(len(imgs), len(codes))
        for src in imgs:
            path = "/VelmaraScreensaver/" + src
            status, body = self.get("/t/seen?" + urllib.parse.urlencode({"path": path}))
            self.assertGreaterEqual(int(body), 1, "the browser did not fetch " + src)
            with open(os.path.join(VIS, src), "rb") as f:
                self.assertEqual(self.get(path), (200, f.read()), src)
        for code in codes:
            name = GEN["decode_code"](code)
            status, body = self.get("/VelmaraScreensaver/DWN/" + urllib.parse.quote(name) + ".exe")
            with open(os.path.join(VIS, "DWN", name + ".exe"), "rb") as f:
                self.assertEqual((status, body), (200, f.read()), name)
        # the screenshot shows pictures, not an empty page: the stills are
        # colourful where the page itself is one dark colour
        out = subprocess.run(["convert", shot, "-crop", "700x400+0+80", "+repage", "-colorspace", "HSL",
                              "-channel", "G", "-separate", "-format", "%[fx:mean]", "info:"],
                             stdout=subprocess.PIPE, check=True, text=True).stdout
        self.assertGreater(float(out), 0.05)


if __name__ == "__main__":
    unittest.main()
