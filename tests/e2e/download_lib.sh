# Helpers of the download end-to-end scripts and the download benchmark.
# Source after lib.sh and e2e_begin.

# site_server_start [FILES_DIR]: serves site/ (and FILES_DIR under /t/file/)
# on loopback, ending with this script; sets SITE_PORT. Then points the
# prefix's system proxy at it and makes the server's test CA trusted in this
# prefix alone, so that the program's built-in https address reaches this
# server through a CONNECT tunnel with a certificate for that name: the
# binary under test keeps its own address and its certificate checks.
site_server_start() {
  local files=()
  [ -n "${1:-}" ] && files=(--files "$1")
  SITE_PORT=$(python3 "$E2E_ROOT/tests/server/qrv_test_server.py" --state "$E2E_DIR/server" \
    --site "$E2E_ROOT/site" "${files[@]}" --daemon --parent $$ | cut -d' ' -f1)
  [ -n "$SITE_PORT" ] || fail "site server did not start"
  local key='HKCU\Software\Microsoft\Windows\CurrentVersion\Internet Settings'
  wine reg add "$key" /v ProxyEnable /t REG_DWORD /d 1 /f >/dev/null
  wine reg add "$key" /v ProxyServer /t REG_SZ /d "127.0.0.1:$SITE_PORT" /f >/dev/null
  wine reg add "$key" /v ProxyOverride /t REG_SZ /d "" /f >/dev/null
  wine "$HELPERS/trust_ca.exe" "$(winepath -w "$E2E_DIR/server/ca.der")" || fail "the test CA was not trusted"
}

# site_tunnelled PATH: the server answered PATH inside a TLS tunnel, as an
# https address asks for through a proxy.
site_tunnelled() { grep -q "tunnel \"GET $1 " "$E2E_DIR/server/server.log"; }

# The built-in site address of the program under test.
SITE_URL="${QRV_SITE_URL:-https://qrvsaver.example}"

# start_download URL WINFILE [SITE TITLE]: the real download dialog, alone;
# its changes go to $E2E_DIR/watch.log. Sets DL_PID and WATCH_PID.
start_download() {
  : >"$E2E_DIR/watch.log"
  (exec "$QRV_WINE" "$HELPERS/dlg_watch.exe" 240 ${WATCH_OPTS:-} >"$E2E_DIR/watch.log" 2>/dev/null) &
  WATCH_PID=$!
  E2E_PIDS+=("$WATCH_PID")
  (cd "$E2E_DIR/app" && exec "$QRV_WINE" "$HELPERS/download_host.exe" "$1" "$2" "${3:-QrvSaver2006 site}" \
    "${4:-TEST}" >"$E2E_DIR/host.log" 2>&1) &
  DL_PID=$!
  E2E_PIDS+=("$DL_PID")
}

watched() { grep -q -- "$1" "$E2E_DIR/watch.log"; }
# watched_at TEXT: milliseconds at which the watcher first saw TEXT.
watched_at() { grep -m1 -- "$1" "$E2E_DIR/watch.log" | cut -d' ' -f1; }
download_ended() { ! kill -0 "$DL_PID" 2>/dev/null; }
