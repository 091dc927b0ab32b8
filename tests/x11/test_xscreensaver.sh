#!/usr/bin/env bash
# The package under the real XScreenSaver daemon. XScreenSaver runs no hack
# as root, so the daemon runs as an ordinary user that this test creates
# (and removes). The package is installed for the test and removed after it.
# Activated, the screen shows the visualisation moving inside its frame and
# the title above it; deactivated (by command, then by a key), the hack is
# gone within 2 s.
. "$(dirname "$0")/lib.sh"
[ "$(id -u)" = 0 ] || skip "needs root to install the package and create a user"
command -v xscreensaver >/dev/null || skip "xscreensaver not installed (scripts/setup.sh)"
deb=$(x11_deb)
dpkg-query -W -f='${Status}' qrvsaver 2>/dev/null | grep -q 'install ok installed' &&
  skip "qrvsaver is installed on this machine already; the test would remove it"
x11_begin xscreensaver 1024x768
user="qrvx11e2e$$"
X11_CLEANUP='pkill_user; userdel -r "$user" >/dev/null 2>&1 || true; apt-get remove -y -qq qrvsaver >/dev/null 2>&1 || true'
# The test user's processes end with the test; they are found by that user, no one else's.
pkill_user() { local p; for p in $(pgrep -u "$user" 2>/dev/null); do kill "$p" 2>/dev/null || true; done; }
useradd -m -s /bin/sh "$user"
home=$(getent passwd "$user" | cut -d: -f6)
dpkg -i "$deb" >"$X11_DIR/dpkg.log" 2>&1 || fail "dpkg -i: $(tail -3 "$X11_DIR/dpkg.log")"

cat >"$home/.xscreensaver" <<'RC'
mode:		one
selected:	0
timeout:	0:30:00
lock:		False
splash:		False
fade:		False
unfade:		False
dpmsEnabled:	False
grabDesktopImages:	False
programs:	qrvsaver --root --background none
RC
chown "$user:" "$home/.xscreensaver"
as_user() { runuser -u "$user" -- env HOME="$home" DISPLAY="$DISPLAY" "$@"; }

as_user xscreensaver -no-splash >"$X11_DIR/daemon.log" 2>&1 &
X11_PIDS+=($!)
wait_for 15 'as_user xscreensaver-command -time >/dev/null 2>&1' || fail "the daemon does not answer: $(tail -3 "$X11_DIR/daemon.log")"

hack_pid() { pgrep -u "$user" -x qrvsaver | head -1; }

# activate_and_check LABEL: the hack runs and draws; HACK_PID is its pid.
activate_and_check() {
  local label=$1 pid
  as_user xscreensaver-command -activate >/dev/null
  wait_for 15 '[ -n "$(hack_pid)" ]' || fail "$label: no qrvsaver process after -activate: $(tail -3 "$X11_DIR/daemon.log")"
  pid=$(hack_pid)
  sleep 4
  shot "$label-a"
  sleep 0.5
  shot "$label-b"
  # The frame on 1024 by 768: 959 by 579 at (35, 119).
  local moved still title
  moved=$(changed "$label-a" "$label-b" 959x579+35+119)
  still=$(changed "$label-a" "$label-b" 1024x66+0+702)
  title=$(lit "$label-b" 1024x115+0+0)
  log "$label: $moved pixels moved in the frame, $still below it, $title title pixels lit"
  [ "$moved" -gt 2000 ] || fail "$label: the visualisation does not move"
  [ "$still" -eq 0 ] || fail "$label: pixels outside the frame changed"
  [ "$title" -gt 1000 ] || fail "$label: no title above the frame"
  HACK_PID=$pid
}

activate_and_check command
pid=$HACK_PID
t0=$(date +%s%N)
as_user xscreensaver-command -deactivate >/dev/null
gone_within 2 "$pid" || fail "command: qrvsaver still runs 2 s after -deactivate"
log "command: gone $(( ($(date +%s%N) - t0) / 1000000 )) ms after -deactivate"

activate_and_check key
pid=$HACK_PID
t0=$(date +%s%N)
xdotool key space
gone_within 2 "$pid" || fail "key: qrvsaver still runs 2 s after a key"
log "key: gone $(( ($(date +%s%N) - t0) / 1000000 )) ms after a key"
log "pass"
