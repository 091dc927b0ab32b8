#!/usr/bin/env python3
"""Runs vsicheck as makers do and checks what it reports.

    vsicheck_test.py DATA_DIR OUT_DIR COMMAND...

COMMAND runs vsicheck: the native program, or the Windows one under Wine.
"""
import json
import os
import struct
import subprocess
import sys

data, out, cmd = sys.argv[1], sys.argv[2], sys.argv[3:]
os.makedirs(out, exist_ok=True)
failures = []


def check(cond, what):
    if not cond:
        failures.append(what)


def run(*args):
    p = subprocess.run(cmd + list(args), stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=300)
    return p.returncode, p.stdout.decode("utf-8", "replace"), p.stderr.decode("utf-8", "replace")


moving = os.path.join(data, "moving_box.json")
invisible = os.path.join(data, "invisible_box.json")
wild = os.path.join(data, "wild_easing.json")
sheet = os.path.join(out, "sheet.png")
if os.path.exists(sheet):
    os.remove(sheet)

# Accepted files: exit 0, one JSON object per file with every field.
rc, text, err = run("--json", "--sheet", sheet, "--size", "160x90", moving)
check(rc == 0, "accepted file: exit %d, stderr %r" % (rc, err))
lines = [l for l in text.splitlines() if l.strip()]
check(len(lines) == 1, "one line per file: %r" % text)
r = json.loads(lines[0]) if lines else {}
fields = ["file", "accepted", "reason", "frames", "fps", "w", "h", "unsupported",
          "render_ms_1080p", "cpu_estimate", "empty"]
check(list(r) == fields, "fields: %r" % list(r))
check(r.get("accepted") is True and r.get("reason") == "", "accepted: %r" % r)
check((r.get("frames"), r.get("fps"), r.get("w"), r.get("h")) == (30, 30, 80, 60), "figures: %r" % r)
check(r.get("unsupported") == ["effects"], "unsupported: %r" % r.get("unsupported"))
ms = r.get("render_ms_1080p") or 0
check(ms > 0 and abs(r.get("cpu_estimate", 0) - ms * 30 / 1000) < 0.002, "timing: %r" % r)
check(r.get("empty") is False, "a visible movie is not empty: %r" % r)
# The contact sheet: 4 x 3 frames of 160 x 90.
try:
    with open(sheet, "rb") as f:
        head = f.read(24)
    check(head[:8] == b"\x89PNG\r\n\x1a\n" and struct.unpack(">II", head[16:24]) == (640, 270),
          "sheet size: %r" % (struct.unpack(">II", head[16:24]),))
except OSError as e:
    check(False, "no sheet: %s" % e)

# A refused file among accepted ones: exit 2, the reason with its JSON path.
rc, text, err = run("--json", invisible, wild)
check(rc == 2, "refused file: exit %d" % rc)
rs = [json.loads(l) for l in text.splitlines() if l.strip()]
check(len(rs) == 2, "two lines: %r" % text)
if len(rs) == 2:
    check(rs[0]["accepted"] is True and rs[0]["empty"] is True, "invisible movie is empty: %r" % rs[0])
    check(rs[1]["accepted"] is False and
          rs[1]["reason"] == "layers[0].shapes[0].it[0].p.k[0].i.y[0]: a number out of range",
          "refusal: %r" % rs[1])

# The plain form: one line per file, and bad arguments exit 1.
rc, text, err = run(moving, wild)
plain = text.splitlines()
check(rc == 2 and len(plain) == 2 and "accepted" in plain[0] and "refused: layers[0]" in plain[1],
      "plain lines: %r" % text)
rc, text, err = run("--size", "big", moving)
check(rc == 1, "bad --size: exit %d" % rc)

for f in failures:
    print("FAIL:", f)
print("vsicheck: %d failures" % len(failures))
sys.exit(1 if failures else 0)
