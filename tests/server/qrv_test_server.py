#!/usr/bin/env python3
"""A local HTTP(S) server for the download tests, the end-to-end runs and
scripts/run.sh.

    qrv_test_server.py --state DIR [--site DIR] [--daemon] [--port N]
    qrv_test_server.py --state DIR --stop

It listens on 127.0.0.1 only: one plain HTTP port, one HTTPS port whose
certificate is signed by a test CA (DIR/ca.der, for the client to trust),
and one HTTPS port whose certificate nobody trusts. The ports go to
DIR/ports as "http https untrusted" once all three listen.

Besides the static files of --site, /t/ routes misbehave on purpose:
    /t/good.bin?n=N      200, N pattern bytes (default 10000), true length
    /t/nolength          200, 5000 bytes, no Content-Length
    /t/longer            announces 8000, sends 5000, closes
    /t/shorter           announces 3000, sends 5000
    /t/huge              announces 2000000000, sends 5000, closes
    /t/reset             announces 10000, sends 4000, resets the connection
    /t/drip              600 bytes in steps of 60, 100 ms apart (?nolength=1: unannounced)
    /t/slow/PATH         the file PATH (as /t/file/) in steps of 1 KiB, 50 ms apart
    /t/status/NNN        that status with a short text body (204 without)
    /t/redirect          302 to /t/good.bin (?hops=N: N redirects in a row;
                         ?pad=N: the address carries N more characters)
    /t/to-http           302 to the plain HTTP port's /t/good.bin (?pad=N as above)
    /t/to-https          302 to the trusted HTTPS port's /t/good.bin, host localhost
    /t/stall             ?head=S: waits S seconds before the headers; ?body=S:
                         announces 1000 bytes, sends 10, waits S seconds, sends the rest
    /t/silent            the headers (1000 bytes announced), then nothing until the
                         client goes (at most MAX_HOLD_S)
    /t/trickle?n=N&every=MS   N bytes, one every MS milliseconds
    /t/bigheader         good body, a Content-Type and a header over 1024 bytes
    /t/html              200 with an HTML page (a captive portal's answer)
    /t/headers           200, the request's headers as the body (?set=NAME: also
                         sets the cookie NAME=1)
    /t/file/PATH         the bytes of the file PATH under --files (default: the site)
    /t/seen?path=P       how many requests for the path P arrived so far

Pointed at as the system proxy, the plain port stands in for any site:
requests in absolute form ("GET http://host/path", as sent to a proxy) are
answered as if the path alone had been asked for, and a tunnel asked for
with CONNECT (how a client reaches an https site through a proxy) speaks
TLS with the trusted certificate, which names qrvsaver.example besides
localhost, and then answers as the other ports do. Without TLS (--no-tls)
a CONNECT is refused. The log marks each tunnelled request with "tunnel".
"""

import argparse
import http.server
import os
import signal
import socket
import ssl
import struct
import subprocess
import sys
import threading
import time
import urllib.parse

SEEN = {}
# Every size and wait that a request can ask for is bounded, so that no
# request can make the server allocate or sleep without end.
MAX_BODY = 64 * 1024 * 1024
MAX_WAIT_S = 30.0
MAX_HOLD_S = 150.0
MAX_PAD = 64 * 1024
SEEN_LOCK = threading.Lock()
PORTS = {}


def pattern(n):
    return bytes((i * 7 + 3) % 251 for i in range(n))


class Handler(http.server.SimpleHTTPRequestHandler):
    protocol_version = "HTTP/1.0"
    site = None
    files = None

    tunnel = False

    def log_message(self, fmt, *args):
        # One line per request in the state folder's server.log: the port
        # tells which listener (plain, trusted or untrusted TLS) answered.
        sys.stderr.write("%d%s %s\n" % (self.server.server_address[1], " tunnel" if self.tunnel else "",
                                         (fmt % args)[:300]))
        sys.stderr.flush()

    def do_CONNECT(self):
        """A tunnel through this proxy: the answer 200, then TLS on the same
        connection, and the requests inside it answered like any other."""
        if TUNNEL_CONTEXT is None or self.tunnel:
            return self.reply(405, b"no tunnel\n", 10, "text/plain")
        self.send_response(200, "Connection established")
        self.end_headers()
        self.close_connection = True
        try:
            tls = TUNNEL_CONTEXT.wrap_socket(self.connection, server_side=True)
        except (ssl.SSLError, OSError):
            return None  # the client did not trust the certificate, or left
        try:
            TunnelHandler(tls, self.client_address, self.server, directory=self.directory)
        except (BrokenPipeError, ConnectionResetError, ssl.SSLError, OSError):
            pass
        finally:
            try:
                tls.close()
            except OSError:
                pass
        return None

    def send_head(self):
        return super().send_head()

    def do_GET(self):
        # absolute form, as a client sends it to a proxy
        if "://" in self.path.split("?", 1)[0]:
            u = urllib.parse.urlsplit(self.path)
            self.path = urllib.parse.urlunsplit(("", "", u.path or "/", u.query, ""))
        u = urllib.parse.urlsplit(self.path)
        q = urllib.parse.parse_qs(u.query)
        with SEEN_LOCK:
            SEEN[self.path] = SEEN.get(self.path, 0) + 1
        p = u.path
        if not p.startswith("/t/"):
            return super().do_GET()
        try:
            self.route(p[3:], q)
        except (BrokenPipeError, ConnectionResetError):
            pass

    def reply(self, code, body, length=None, ctype="application/octet-stream", extra=()):
        self.send_response(code)
        self.send_header("Content-Type", ctype)
        for k, v in extra:
            self.send_header(k, v)
        if length is not None:
            self.send_header("Content-Length", str(length))
        self.end_headers()
        if body:
            self.wfile.write(body)
            self.wfile.flush()

    def number(self, q, name, default, top):
        """The query's number NAME, within 0..top; the default when absent or not a number."""
        try:
            v = float(q.get(name, [default])[0])
        except ValueError:
            v = default
        return max(0, min(top, v))

    def route(self, r, q):
        if r == "good.bin":
            n = int(self.number(q, "n", 10000, MAX_BODY))
            body = pattern(n)
            return self.reply(200, body, len(body))
        if r == "nolength":
            return self.reply(200, pattern(5000))
        if r == "longer":
            return self.reply(200, pattern(5000), 8000)
        if r == "shorter":
            return self.reply(200, pattern(5000), 3000)
        if r == "huge":
            return self.reply(200, pattern(5000), 2000000000)
        if r == "reset":
            self.reply(200, pattern(4000), 10000)
            # A reset drops whatever the client has not read yet, headers
            # included: give it time to take them, so the cut comes mid-body.
            time.sleep(1.0)
            self.connection.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
            self.connection.close()
            self.close_connection = True
            return None
        if r == "drip":
            body = pattern(600)
            self.reply(200, b"", None if "nolength" in q else 600)
            for k in range(0, 600, 60):
                self.wfile.write(body[k:k + 60])
                self.wfile.flush()
                time.sleep(0.1)
            return None
        if r.startswith("status/"):
            code = int(r[7:]) if r[7:].isdigit() and len(r) <= 10 else 0
            if not 100 <= code <= 599:
                return self.reply(400, b"bad status\n", 11, "text/plain")
            if code == 204:
                return self.reply(204, b"", None)
            body = b"status %d\n" % code
            return self.reply(code, body, len(body), "text/plain")
        pad = "x" * int(self.number(q, "pad", 0, MAX_PAD))
        tag = q.get("tag", [""])[0][:64]
        after = ("?tag=" + urllib.parse.quote(tag) if tag else "") + ("&pad=" + pad if pad else "")
        if after.startswith("&"):
            after = "?" + after[1:]
        if r == "redirect":
            hops = int(self.number(q, "hops", 1, 100))
            target = "/t/redirect?hops=%d" % (hops - 1) if hops > 1 else "/t/good.bin" + after
            return self.reply(302, b"", 0, extra=[("Location", target)])
        if r == "to-http":
            target = "http://127.0.0.1:%d/t/good.bin%s" % (PORTS["http"], after)
            return self.reply(302, b"", 0, extra=[("Location", target)])
        if r == "to-https":
            target = "https://localhost:%d/t/good.bin%s" % (PORTS["https"], after)
            return self.reply(302, b"", 0, extra=[("Location", target)])
        if r == "stall":
            time.sleep(self.number(q, "head", 0, MAX_WAIT_S))
            body = pattern(1000)
            self.reply(200, body[:10], len(body))
            time.sleep(self.number(q, "body", 0, MAX_WAIT_S))
            self.wfile.write(body[10:])
            self.wfile.flush()
            return None
        if r == "silent":
            self.reply(200, b"", 1000)
            # Nothing more: wait for the client to close, which a recv sees.
            end = time.monotonic() + MAX_HOLD_S
            self.connection.settimeout(0.5)
            while time.monotonic() < end:
                try:
                    if not self.connection.recv(1024):
                        break
                except socket.timeout:
                    continue
                except (OSError, ssl.SSLError):
                    break
            self.close_connection = True
            return None
        if r == "trickle":
            n = int(self.number(q, "n", 100, 10000))
            every = self.number(q, "every", 100, MAX_WAIT_S * 1000) / 1000.0
            body = pattern(n)
            self.reply(200, b"", n)
            for k in range(n):
                self.wfile.write(body[k:k + 1])
                self.wfile.flush()
                time.sleep(every)
            return None
        if r == "bigheader":
            body = pattern(10000)
            return self.reply(200, body, len(body), "application/x-" + "q" * 1100,
                              extra=[("X-Filler", "f" * 1500), ("Server", "QrvTest")])
        if r == "headers":
            body = str(self.headers).encode("latin-1", "replace")
            name = "".join(c for c in q.get("set", [""])[0] if c.isalnum())[:32]
            extra = [("Set-Cookie", name + "=1; Path=/")] if name else []
            return self.reply(200, body, len(body), "text/plain", extra=extra)
        if r == "html":
            body = (b"<!DOCTYPE html><html><head><title>Sign in</title></head>"
                    b"<body><h1>Welcome to the hotel network</h1><p>Please sign in.</p></body></html>\n")
            return self.reply(200, body, len(body), "text/html")
        if r.startswith("file/") or r.startswith("slow/"):
            slow = r.startswith("slow/")
            base = Handler.files or Handler.site
            path = os.path.realpath(os.path.join(base, urllib.parse.unquote(r[5:])))
            if not path.startswith(os.path.realpath(base) + os.sep) or not os.path.isfile(path):
                return self.reply(404, b"no\n", 3, "text/plain")
            with open(path, "rb") as f:
                body = f.read()
            if not slow:
                return self.reply(200, body, len(body))
            self.reply(200, b"", len(body))
            for k in range(0, len(body), 1024):
                self.wfile.write(body[k:k + 1024])
                self.wfile.flush()
                time.sleep(0.05)
            return None
        if r == "seen":
            path = q.get("path", [""])[0]
            with SEEN_LOCK:
                body = str(SEEN.get(path, 0)).encode()
            return self.reply(200, body, len(body), "text/plain")
        return self.reply(404, b"no such route\n", 14, "text/plain")

    def guess_type(self, path):
        # The site's movie files keep their .exe names (the program asks for
        # them so), but they are JSON: served as such, a browser that follows
        # one shows text instead of saving a program.
        if path.lower().endswith(".exe") and "/DWN/" in path.replace(os.sep, "/"):
            return "application/json"
        return super().guess_type(path)

    def translate_path(self, path):
        if Handler.site is None:
            return "/nonexistent"
        return http.server.SimpleHTTPRequestHandler.translate_path(self, path)


class TunnelHandler(Handler):
    tunnel = True


# The TLS context of CONNECT tunnels (the trusted certificate), or None.
TUNNEL_CONTEXT = None


class Server(http.server.ThreadingHTTPServer):
    daemon_threads = True
    allow_reuse_address = True

    def handle_error(self, request, client_address):
        pass  # failed TLS handshakes and dropped clients are part of the tests


def openssl(*args):
    subprocess.run(["openssl"] + list(args), check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


# The names of the server certificates: the site's built-in address, reached
# through a tunnel, and the loopback names of the direct ports.
CERT_NAMES = "subjectAltName=DNS:localhost,IP:127.0.0.1,DNS:qrvsaver.example\n"


def make_certificates(state):
    """A test CA and a server certificate it signs, and an untrusted pair.
    Certificates of an older state folder with other names are made anew."""
    for kind in ("trusted", "untrusted"):
        ca_key, ca_pem = os.path.join(state, kind + "-ca.key"), os.path.join(state, kind + "-ca.pem")
        key, pem = os.path.join(state, kind + ".key"), os.path.join(state, kind + ".pem")
        csr, ext = os.path.join(state, kind + ".csr"), os.path.join(state, kind + ".ext")
        try:
            with open(ext) as f:
                current = f.read().startswith(CERT_NAMES)
        except OSError:
            current = False
        if os.path.exists(pem) and current:
            continue
        openssl("req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", ca_key, "-out", ca_pem,
                "-days", "3650", "-subj", "/CN=QrvSaver2006 %s test CA" % kind,
                "-addext", "basicConstraints=critical,CA:TRUE",
                "-addext", "keyUsage=critical,keyCertSign,cRLSign")
        with open(ext, "w") as f:
            f.write(CERT_NAMES + "extendedKeyUsage=serverAuth\nbasicConstraints=CA:FALSE\n"
                    "keyUsage=critical,digitalSignature,keyEncipherment\n")
        openssl("req", "-newkey", "rsa:2048", "-nodes", "-keyout", key, "-out", csr, "-subj", "/CN=localhost")
        openssl("x509", "-req", "-in", csr, "-CA", ca_pem, "-CAkey", ca_key, "-CAcreateserial",
                "-out", pem, "-days", "3650", "-sha256", "-extfile", ext)
        if kind == "trusted":
            openssl("x509", "-in", ca_pem, "-outform", "der", "-out", os.path.join(state, "ca.der"))


def serve(args):
    os.makedirs(args.state, exist_ok=True)
    Handler.site = os.path.abspath(args.site) if args.site else None
    Handler.files = os.path.abspath(args.files) if args.files else None
    if Handler.site:
        Handler.directory = Handler.site

    def handler(*a, **kw):
        return Handler(*a, directory=Handler.site or "/nonexistent", **kw)

    global TUNNEL_CONTEXT
    servers = {}
    servers["http"] = Server(("127.0.0.1", args.port), handler)
    if not args.no_tls:
        make_certificates(args.state)
        TUNNEL_CONTEXT = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        TUNNEL_CONTEXT.load_cert_chain(os.path.join(args.state, "trusted.pem"),
                                       os.path.join(args.state, "trusted.key"))
        for kind in ("trusted", "untrusted"):
            s = Server(("127.0.0.1", 0), handler)
            ctx = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
            ctx.load_cert_chain(os.path.join(args.state, kind + ".pem"), os.path.join(args.state, kind + ".key"))
            s.socket = ctx.wrap_socket(s.socket, server_side=True, do_handshake_on_connect=True)
            servers[kind] = s
    for k, s in servers.items():
        PORTS[k if k != "trusted" else "https"] = s.server_address[1]
        threading.Thread(target=s.serve_forever, daemon=True).start()
    with open(os.path.join(args.state, "pid"), "w") as f:
        f.write("%d\n" % os.getpid())
    tmp = os.path.join(args.state, "ports.tmp")
    with open(tmp, "w") as f:
        f.write("%d %d %d\n" % (PORTS["http"], PORTS.get("https", 0), PORTS.get("untrusted", 0)))
    os.replace(tmp, os.path.join(args.state, "ports"))
    stop = threading.Event()
    signal.signal(signal.SIGTERM, lambda *_: stop.set())
    signal.signal(signal.SIGINT, lambda *_: stop.set())
    while not stop.wait(0.5):
        if args.parent and not os.path.exists("/proc/%d" % args.parent):
            break
    for s in servers.values():
        s.shutdown()
    try:
        os.unlink(os.path.join(args.state, "ports"))
    except OSError:
        pass
    return 0


def ours(pid, state):
    """Whether pid is this script serving the state folder state: a pid file
    outlives its server, and the number may by now be another process's."""
    try:
        with open("/proc/%d/cmdline" % pid, "rb") as f:
            argv = f.read().split(b"\0")
    except OSError:
        return False
    script = os.path.basename(os.path.abspath(__file__)).encode()
    want = os.path.abspath(state).encode()
    return (any(os.path.basename(a) == script for a in argv)
            and any(a == b"--state" and i + 1 < len(argv) and os.path.abspath(argv[i + 1]) == want
                    for i, a in enumerate(argv)))


def stop(state):
    pidfile = os.path.join(state, "pid")
    try:
        with open(pidfile) as f:
            pid = int(f.read())
    except (OSError, ValueError):
        return 0
    if pid <= 1 or not ours(pid, state):
        # Someone else's process now: the stale pid file goes, the process stays.
        try:
            os.unlink(pidfile)
        except OSError:
            pass
        return 0
    try:
        os.kill(pid, signal.SIGTERM)
    except ProcessLookupError:
        pass
    for _ in range(50):
        if not os.path.exists("/proc/%d" % pid):
            break
        time.sleep(0.1)
    return 0


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--state", required=True)
    ap.add_argument("--site")
    ap.add_argument("--files")
    ap.add_argument("--port", type=int, default=0)
    ap.add_argument("--no-tls", action="store_true")
    ap.add_argument("--daemon", action="store_true", help="serve in the background; return once listening")
    ap.add_argument("--parent", type=int, default=0, help="end when this process has gone")
    ap.add_argument("--stop", action="store_true")
    args = ap.parse_args()
    if args.stop:
        return stop(args.state)
    if args.daemon:
        os.makedirs(args.state, exist_ok=True)
        ports = os.path.join(args.state, "ports")
        stop(args.state)
        if os.path.exists(ports):
            os.unlink(ports)
        cmd = [sys.executable, os.path.abspath(__file__), "--state", args.state, "--port", str(args.port)]
        for opt in ("site", "files"):
            if getattr(args, opt):
                cmd += ["--" + opt, getattr(args, opt)]
        if args.no_tls:
            cmd.append("--no-tls")
        if args.parent:
            cmd += ["--parent", str(args.parent)]
        log = open(os.path.join(args.state, "server.log"), "ab")
        p = subprocess.Popen(cmd, stdin=subprocess.DEVNULL, stdout=log, stderr=log, start_new_session=True)
        for _ in range(300):
            if os.path.exists(ports):
                print(open(ports).read().strip())
                return 0
            if p.poll() is not None:
                break
            time.sleep(0.1)
        sys.stderr.write("qrv_test_server: did not start (see %s)\n" % os.path.join(args.state, "server.log"))
        return 1
    return serve(args)


if __name__ == "__main__":
    sys.exit(main())
