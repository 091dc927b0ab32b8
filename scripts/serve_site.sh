#!/usr/bin/env bash
# Serves the download site (site/) on loopback, for trying the download
# without a web host:  scripts/serve_site.sh [PORT]   (default 8080)
# It is a proxy too: requests in proxy form ("GET http://qrvsaver.example/...")
# are answered, and so are CONNECT tunnels to https://qrvsaver.example, with a
# certificate from a test CA (build/serve-site/ca.der, kept between runs), so
# a Wine prefix whose system proxy points here and that trusts that CA
# fetches the site under the program's built-in address. Ctrl+C ends it.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
port="${1:-8080}"
[ -f "$root/site/VelmaraScreensaver/index.html" ] || { echo "site/ is missing: run python3 tools/make_site.py" >&2; exit 1; }
state="$root/build/serve-site"
mkdir -p "$state"
echo "serving $root/site on http://127.0.0.1:$port/VelmaraScreensaver/ (test CA: $state/ca.der once it listens)"
python3 "$root/tests/server/qrv_test_server.py" --state "$state" --site "$root/site" --port "$port"
