#!/bin/sh
# Real-world movies nobody here made: fetches npm packages that ship Lottie
# files (pinned versions) into build/corpus/, exports Debian's Synfig examples
# with Synfig's Lottie exporter when both are installed, and checks every
# Lottie file with vsicheck. Prints one line per file and an accepted/refused table.
#   scripts/corpus.sh [VSICHECK]
# VSICHECK defaults to the test build's (build/host, with ASan and UBSan), so
# that the run also shows any sanitizer report: vsicheck stops on the first.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
vsicheck=${1:-$root/build/host/tools/vsicheck/vsicheck}
dir=$root/build/corpus
packages="@coinbase/cds-lottie-files@3.3.4 lottie-web@5.12.2"
mkdir -p "$dir/pkgs" "$dir/files"
for p in $packages; do
  name=$(echo "$p" | sed 's|^@||; s|/|-|; s|@.*||')
  if [ ! -d "$dir/files/$name" ]; then
    (cd "$dir/pkgs" && npm pack --silent "$p" >/dev/null)
    mkdir -p "$dir/files/$name"
    tar xzf "$dir/pkgs/$name"-*.tgz -C "$dir/files/$name"
  fi
done
# Debian's Synfig examples (synfig-examples), exported to Lottie by Synfig's
# own exporter as a maker would; the exporter fails on some, listed apart.
exporter=/usr/share/synfig/plugins/lottie-exporter/lottie-exporter.py
examples=/usr/share/doc/synfig-examples/examples
: >"$dir/synfig-failed.txt"
if [ -f "$exporter" ] && [ -d "$examples" ]; then
  sx=$dir/files/synfig-examples
  [ -d "$sx" ] || { mkdir -p "$sx" && cp -r "$examples"/. "$sx"/; }
  for sif in "$sx"/*.sif; do
    n=${sif%.sif}
    [ -s "$n.json" ] && continue
    if ! (cd "$sx" && timeout 300 /usr/bin/python3 "$exporter" "$sif" "$n.json") >"$n.log" 2>&1; then
      rm -f "$n.json"; basename "$sif" >>"$dir/synfig-failed.txt"
    fi
  done
fi
# Lottie files: a JSON object with layers and a frame rate (leaves out the
# format's schema pages and package metadata).
list=$dir/list.txt
python3 - "$dir/files" >"$list" <<'PY'
import json, os, sys
for base, _, names in sorted(os.walk(sys.argv[1])):
    for n in sorted(names):
        if not n.endswith(".json"):
            continue
        p = os.path.join(base, n)
        try:
            d = json.load(open(p, encoding="utf-8"))
        except Exception:
            continue
        if isinstance(d, dict) and "layers" in d and "fr" in d:
            print(p)
PY
out=$dir/report.jsonl
: >"$out"
while IFS= read -r f; do
  "$vsicheck" --json "$f" >>"$out" 2>"$dir/stderr.txt" || [ $? -eq 2 ] || {
    echo "corpus: vsicheck failed on $f:"; cat "$dir/stderr.txt"; exit 1; }
  if [ -s "$dir/stderr.txt" ]; then echo "corpus: report on $f:"; cat "$dir/stderr.txt"; exit 1; fi
done <"$list"
python3 - "$out" "$dir/files/" <<'PY'
import json, sys
rows = [json.loads(l) for l in open(sys.argv[1]) if l.strip()]
print("| file | accepted | frames | fps | size | ms/frame at 1080p | will not show / reason |")
print("|---|---|---|---|---|---|---|")
for r in rows:
    f = r["file"].replace(sys.argv[2], "")
    if r["accepted"]:
        print("| %s | yes | %d | %g | %dx%d | %.2f | %s |" % (f, r["frames"], r["fps"], r["w"], r["h"],
              r["render_ms_1080p"], ", ".join(r["unsupported"]) + (" (empty)" if r["empty"] else "")))
    else:
        print("| %s | no | | | | | %s |" % (f, r["reason"]))
ok = sum(r["accepted"] for r in rows)
print("\ncorpus: %d files, %d accepted, %d refused" % (len(rows), ok, len(rows) - ok))
PY
if [ -s "$dir/synfig-failed.txt" ]; then
  echo "Synfig's exporter failed on $(wc -l <"$dir/synfig-failed.txt") examples: $(tr '\n' ' ' <"$dir/synfig-failed.txt")"
fi
