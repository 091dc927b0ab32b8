# Shared helpers of the Linux hack's end-to-end scripts: a private Xvfb on a
# free display, the package under test, screenshots and measures of regions,
# waits on conditions. Source it; call x11_begin first. A script exits 0 when
# it passes, 77 when it cannot run here (skipped), anything else when it fails.
set -euo pipefail
X11_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
SCREENS="$X11_ROOT/dist/screens"
X11_NAME=""
X11_DIR=""
X11_PIDS=()
XVFB_PID=""
DISPLAY_NUM=""

log() { echo "[$X11_NAME] $*"; }
fail() { echo "[$X11_NAME] FAIL: $*" >&2; exit 1; }
skip() { echo "[$X11_NAME] SKIP: $*"; exit 77; }

# The package under test: $QRV_DEB, or the one scripts/build.sh left in dist/.
x11_deb() {
  local deb="${QRV_DEB:-}"
  [ -n "$deb" ] || deb=$(ls "$X11_ROOT"/dist/qrvsaver_*_amd64.deb 2>/dev/null | tail -1 || true)
  [ -n "$deb" ] && [ -f "$deb" ] || skip "no dist/qrvsaver_*_amd64.deb: run scripts/build.sh"
  echo "$deb"
}

# x11_begin NAME [WIDTHxHEIGHT] [extra Xvfb arguments...]
x11_begin() {
  X11_NAME="$1"
  local size="${2:-1024x768}"
  shift 2 || shift $#
  X11_DIR="$(mktemp -d "/tmp/qrv-x11-$X11_NAME.XXXXXX")"
  chmod 755 "$X11_DIR"
  mkdir -p "$SCREENS"
  trap x11_end EXIT
  # -displayfd: the server picks a free display and tells us which.
  Xvfb -displayfd 3 -screen 0 "${size}x24" -ac -nolisten tcp "$@" 3>"$X11_DIR/displayfd" \
    >"$X11_DIR/xvfb.log" 2>&1 &
  XVFB_PID=$!
  wait_for 10 '[ -s "$X11_DIR/displayfd" ]' || fail "Xvfb did not start"
  DISPLAY_NUM=$(head -1 "$X11_DIR/displayfd")
  export DISPLAY=":$DISPLAY_NUM"
  wait_for 10 'xdpyinfo >/dev/null 2>&1' || fail "display $DISPLAY does not answer"
}

x11_end() {
  local rc=$?
  local p
  for p in "${X11_PIDS[@]}"; do kill "$p" 2>/dev/null || true; done
  [ -n "$XVFB_PID" ] && kill "$XVFB_PID" 2>/dev/null || true
  [ -n "$XVFB_PID" ] && wait "$XVFB_PID" 2>/dev/null || true
  [ -n "${X11_CLEANUP:-}" ] && eval "$X11_CLEANUP" || true
  [ "$rc" = 0 ] && rm -rf "$X11_DIR"
  [ "$rc" = 0 ] || echo "[$X11_NAME] files kept in $X11_DIR"
  return "$rc"
}

# wait_for SECONDS 'condition': true as soon as the condition holds.
wait_for() {
  local until=$(( $(date +%s%N) + $1 * 1000000000 ))
  while [ "$(date +%s%N)" -lt "$until" ]; do
    eval "$2" && return 0
    sleep 0.1
  done
  return 1
}

# shot NAME [WINDOW]: a screenshot of the root window (or that window).
shot() {
  import -display "$DISPLAY" -window "${2:-root}" "$X11_DIR/$1.png"
  cp "$X11_DIR/$1.png" "$SCREENS/x11-$X11_NAME-$1.png"
}

# changed A B WxH+X+Y: how many pixels of that region differ between two shots.
changed() {
  convert "$X11_DIR/$1.png" -crop "$3" +repage "$X11_DIR/crop-a.png"
  convert "$X11_DIR/$2.png" -crop "$3" +repage "$X11_DIR/crop-b.png"
  compare -metric AE "$X11_DIR/crop-a.png" "$X11_DIR/crop-b.png" null: 2>&1 | cut -d' ' -f1 || true
}

# lit SHOT WxH+X+Y: how many pixels of that region are clearly not black.
lit() {
  convert "$X11_DIR/$1.png" -crop "$2" +repage -colorspace gray -threshold 12% -format '%[fx:int(mean*w*h+0.5)]' info:
}

# gone_within SECONDS PID: true when the process ends within that time (an
# unreaped child counts as ended).
alive() { ps -o stat= -p "$1" 2>/dev/null | grep -qv Z; }
gone_within() { wait_for "$1" "! alive $2"; }

# shm_segments PID: how many shared memory segments that process created.
shm_segments() { ipcs -m -p | awk -v p="$1" '$3 == p' | wc -l; }
