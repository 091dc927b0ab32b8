#!/usr/bin/env bash
# /p <hwnd>: the preview fills the parent's client area, and the process ends
# when the parent is destroyed. /p without a number ends at once.
source "$(dirname "$0")/lib.sh"
e2e_begin preview

start_app /p
wait_exit 15 || fail "/p without a handle did not end"

host="$E2E_ROOT/build/win/tests/win/preview_host.exe"
(cd "$E2E_DIR" && exec wine "$host" 'Z:'"$(echo "$E2E_DIR/hwnd.txt" | tr / '\\')" >/dev/null 2>&1) &
HOST_PID=$!
E2E_PIDS+=("$HOST_PID")
wait_until 30 test -s "$E2E_DIR/hwnd.txt" || fail "the preview host did not start"
hwnd=$(tr -d '\r\n' < "$E2E_DIR/hwnd.txt")
start_app /p "$hwnd"
# The host's area lies at (150,150) to (302,262) on the screen; white until the preview covers it.
covered() { shot preview >/dev/null; [ "$(region_mean "$SCREENS/preview.png" 152x112+150+150)" -lt 200 ]; }
wait_until 20 covered || fail "the preview did not cover the parent's area ($SCREENS/preview.png)"
# Every corner of the area shows the picture, not the host's white.
for xy in "151 151" "300 151" "151 260" "300 260"; do
  set -- $xy
  rgb=$(pixel "$SCREENS/preview.png" "$1" "$2")
  [ "$rgb" != "255 255 255" ] || fail "corner $xy is still white"
done
app_running || fail "the preview ended on its own"
log "preview fills the parent: ok"

hostwin=$(xdotool search --name '^QrvPreviewHost$' | head -1)
xdotool windowclose "$hostwin" 2>/dev/null || kill "$HOST_PID"
wait_exit 15 || fail "the preview did not end with its parent"
echo "PASS preview"
