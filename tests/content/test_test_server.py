"""Checks of the download tests' own server, tests/server/qrv_test_server.py:
its stop touches no process but its own, and no request makes it allocate or
wait without bound.

Run from the repository root:
    python3 -m unittest discover -s tests/content -p 'test_test_server.py'
"""

import http.client
import os
import ssl
import subprocess
import sys
import tempfile
import time
import unittest
import urllib.request

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
SERVER = os.path.join(ROOT, "tests", "server", "qrv_test_server.py")


def run(*args):
    return subprocess.run([sys.executable, SERVER] + list(args), capture_output=True, text=True, timeout=120)


class StopTouchesOnlyItsOwnProcess(unittest.TestCase):
    def test_a_stale_pid_of_another_process_is_left_alone(self):
        with tempfile.TemporaryDirectory() as state:
            other = subprocess.Popen(["sleep", "60"])
            try:
                with open(os.path.join(state, "pid"), "w") as f:
                    f.write("%d\n" % other.pid)
                run("--state", state, "--stop")
                time.sleep(0.3)
                self.assertIsNone(other.poll(), "stop killed a process it did not start")
            finally:
                other.kill()
                other.wait()

    def test_its_own_server_stops(self):
        with tempfile.TemporaryDirectory() as state:
            r = run("--state", state, "--daemon", "--no-tls")
            self.assertEqual(r.returncode, 0, r.stderr)
            with open(os.path.join(state, "pid")) as f:
                pid = int(f.read())
            run("--state", state, "--stop")
            self.assertFalse(os.path.exists("/proc/%d" % pid) and
                             open("/proc/%d/stat" % pid).read().split()[2] != "Z", "the server still runs")


class RequestsAreBounded(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.state = tempfile.TemporaryDirectory()
        r = run("--state", cls.state.name, "--daemon", "--no-tls", "--site", os.path.join(ROOT, "site"))
        assert r.returncode == 0, r.stderr
        cls.port = int(r.stdout.split()[0])

    @classmethod
    def tearDownClass(cls):
        run("--state", cls.state.name, "--stop")
        cls.state.cleanup()

    def get(self, path):
        with urllib.request.urlopen("http://127.0.0.1:%d%s" % (self.port, path), timeout=60) as r:
            return r.status, r.headers.get("Content-Length"), r.read(0)

    def test_sizes_and_waits_are_capped(self):
        cases = [
            ("/t/good.bin?n=99999999999", str(64 * 1024 * 1024)),  # no 100 GB body
            ("/t/good.bin?n=-5", "0"),
            ("/t/good.bin?n=abc", "10000"),
            ("/t/trickle?n=99999999&every=0", "10000"),
        ]
        for path, length in cases:
            with self.subTest(path=path):
                with urllib.request.urlopen("http://127.0.0.1:%d%s" % (self.port, path), timeout=60) as r:
                    self.assertEqual(r.headers.get("Content-Length"), length)
        # An absurd wait is cut to the bound: the headers still come within it.
        t0 = time.monotonic()
        with urllib.request.urlopen("http://127.0.0.1:%d/t/stall?head=1e9" % self.port, timeout=60) as r:
            self.assertEqual(r.status, 200)
        self.assertLess(time.monotonic() - t0, 45)

    def test_movie_files_are_served_as_json(self):
        dwn = os.path.join(ROOT, "site", "VelmaraScreensaver", "DWN")
        name = sorted(os.listdir(dwn))[0]
        url = "http://127.0.0.1:%d/VelmaraScreensaver/DWN/%s" % (self.port, urllib.request.quote(name))
        with urllib.request.urlopen(url, timeout=30) as r:
            self.assertEqual(r.headers.get("Content-Type"), "application/json")
            with open(os.path.join(dwn, name), "rb") as f:
                self.assertEqual(r.read(), f.read())

    def test_bad_status_numbers_get_400(self):
        for path in ("/t/status/99999999999999999999", "/t/status/abc", "/t/status/42"):
            with self.subTest(path=path):
                try:
                    urllib.request.urlopen("http://127.0.0.1:%d%s" % (self.port, path), timeout=30)
                    self.fail("no error status")
                except urllib.error.HTTPError as e:
                    self.assertEqual(e.code, 400)


class TunnelToTheSiteAddress(unittest.TestCase):
    """Through the plain port as a proxy, https://qrvsaver.example is reached
    with TLS and a certificate for that name from the test CA; without TLS
    no tunnel opens."""

    def fetch(self, state, host, path, ca=True):
        with open(os.path.join(state, "ports")) as f:
            port = int(f.read().split()[0])
        ctx = ssl.create_default_context(cafile=os.path.join(state, "trusted-ca.pem") if ca else None)
        c = http.client.HTTPSConnection("127.0.0.1", port, timeout=30, context=ctx)
        c.set_tunnel(host, 443)
        try:
            c.request("GET", path)
            r = c.getresponse()
            return r.status, r.read()
        finally:
            c.close()

    def test_the_site_address_through_the_tunnel(self):
        with tempfile.TemporaryDirectory() as state:
            r = run("--state", state, "--daemon", "--site", os.path.join(ROOT, "site"))
            self.assertEqual(r.returncode, 0, r.stderr)
            try:
                status, body = self.fetch(state, "qrvsaver.example", "/t/good.bin?n=50")
                self.assertEqual((status, len(body)), (200, 50))
                # The certificate names only its own hosts, and only the test CA vouches for it.
                with self.assertRaises(ssl.SSLCertVerificationError):
                    self.fetch(state, "other.example", "/t/good.bin")
                with self.assertRaises(ssl.SSLCertVerificationError):
                    self.fetch(state, "qrvsaver.example", "/t/good.bin", ca=False)
                with open(os.path.join(state, "server.log")) as f:
                    self.assertIn('tunnel "GET /t/good.bin?n=50', f.read())
            finally:
                run("--state", state, "--stop")

    def test_no_tunnel_without_tls(self):
        with tempfile.TemporaryDirectory() as state:
            r = run("--state", state, "--daemon", "--no-tls")
            self.assertEqual(r.returncode, 0, r.stderr)
            try:
                with self.assertRaises(OSError):
                    self.fetch(state, "qrvsaver.example", "/t/good.bin")
            finally:
                run("--state", state, "--stop")


class SiteAddressRule(unittest.TestCase):
    """The configure-time rule of the site address: https, or plain http for
    a loopback host or when insecure sites are allowed on purpose."""

    def check(self, url, allow=False):
        args = ["cmake"]
        if url is not None:
            args.append("-DQRV_SITE_URL=" + url)
        if allow:
            args.append("-DQRV_ALLOW_INSECURE_SITE=ON")
        r = subprocess.run(args + ["-P", os.path.join(ROOT, "cmake", "site_url.cmake")],
                           capture_output=True, text=True, timeout=60)
        return r.returncode == 0, r.stdout + r.stderr

    def test_table(self):
        cases = [
            (None, False, True),  # the default
            ("https://qrvsaver.example", False, True),
            ("https://downloads.example.org/saver", False, True),
            ("http://qrvsaver.example", False, False),
            ("http://downloads.example.org", False, False),
            ("http://downloads.example.org", True, True),
            ("http://127.0.0.1:8080", False, True),
            ("http://localhost", False, True),
            ("http://[::1]:8080", False, True),
            ("http://127.0.0.1@evil.example", False, False),
            ("http://localhost:80@evil.example", False, False),
            ("http://evil.example/127.0.0.1", False, False),
            ("https://qrvsaver.example/", False, False),
            ("ftp://qrvsaver.example", True, False),
            ("", False, False),
        ]
        for url, allow, ok in cases:
            with self.subTest(url=url, allow=allow):
                accepted, out = self.check(url, allow)
                self.assertEqual(accepted, ok, out)
                if url is None:
                    self.assertIn("QRV_SITE_URL https://qrvsaver.example: accepted", out)
                if not ok:
                    self.assertIn("QRV_SITE_URL", out)


if __name__ == "__main__":
    unittest.main()
