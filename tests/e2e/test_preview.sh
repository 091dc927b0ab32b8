#!/usr/bin/env bash
# /p <hwnd>: the preview becomes a child filling the parent's client area, and the process ends
# when the parent is destroyed. /p without a number ends at once.
source "$(dirname "$0")/lib.sh"
e2e_begin preview

start_app /p
wait_exit 15 || fail "/p without a handle did not end"

host="$HELPERS/preview_host.exe"
(cd "$E2E_DIR" && exec "$QRV_WINE" "$host" 'Z:'"$(echo "$E2E_DIR/hwnd.txt" | tr / '\\')" >/dev/null 2>&1) &
HOST_PID=$!
E2E_PIDS+=("$HOST_PID")
wait_until 30 test -s "$E2E_DIR/hwnd.txt" || fail "the preview host did not start"
hwnd=$(tr -d '\r\n' < "$E2E_DIR/hwnd.txt")
start_app /p "$hwnd"
# The host reports what is embedded in its area. Wine draws no window of one
# process inside a window of another, so the check reads the child's class,
# size and visibility from the parent's side instead of its pixels.
embedded() { grep -q '^QrvSaver2006Preview 152x112 area 152x112 visible 1' "$E2E_DIR/hwnd.txt.child" 2>/dev/null; }
wait_until 20 embedded || fail "the preview is not a visible child filling the area: $(cat "$E2E_DIR/hwnd.txt.child" 2>/dev/null)"
shot preview >/dev/null
app_running || fail "the preview ended on its own"
log "preview fills the parent: ok"
# The host also prints the child into a bitmap and counts what is not its
# own white. Under Wine a window of another process prints nothing (the
# message carries a device context that only the host's process knows), so
# there the figure is 0 and the picture itself is checked by the Windows
# test Preview.ShowsItsPictureOverTheWholeAreaOfItsParent, with the form in
# a parent of the same process. Where printing works, most of the area
# must be coloured.
coloured=$(tr -d '\r' <"$E2E_DIR/hwnd.txt.child" | sed -nE 's/.* coloured (-?[0-9]+)$/\1/p')
[ -n "$coloured" ] || fail "the host reported no coloured count: $(cat "$E2E_DIR/hwnd.txt.child")"
if [ "$coloured" -gt 0 ] || [ -n "${QRV_PREVIEW_PRINTS:-}" ]; then
  [ "$coloured" -ge $((152 * 112 * 9 / 10)) ] || fail "only $coloured of 152x112 pixels of the preview are drawn"
  log "the preview draws its picture over the area ($coloured pixels): ok"
else
  log "the preview's pixels cannot be printed across processes here (coloured $coloured)"
fi

touch "$E2E_DIR/hwnd.txt.close"
wait_until 15 eval '! kill -0 $HOST_PID 2>/dev/null' || fail "the host did not close"
wait_exit 15 || fail "the preview did not end with its parent"
echo "PASS preview"
