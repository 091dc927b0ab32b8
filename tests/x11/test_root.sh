#!/usr/bin/env bash
# -root without XSCREENSAVER_WINDOW: where a window marked with __SWM_VROOT
# covers the root (a screensaver daemon's or a virtual desktop's), the hack
# draws into that window and leaves the real root alone; without one it draws
# on the real root.
. "$(dirname "$0")/lib.sh"
deb=$(x11_deb)
x11_begin root 640x480 -br
dpkg-deb -x "$deb" "$X11_DIR/pkg"
hack="$X11_DIR/pkg/usr/libexec/xscreensaver/qrvsaver"
export QRVSAVER_DATA="$X11_DIR/pkg/usr/share/qrvsaver"
unset XSCREENSAVER_WINDOW
cc -O -o "$X11_DIR/preview_window" "$X11_ROOT/tests/x11/preview_window.c" -lX11 || skip "no C compiler or libx11-dev"

# stop PID LABEL: SIGTERM ends the hack within 2 s with status 0.
stop() {
  kill -TERM "$1"
  gone_within 2 "$1" || fail "$2: still running 2 s after SIGTERM"
  wait "$1" && rc=0 || rc=$?
  [ "$rc" = 0 ] || fail "$2: exit status $rc"
}

# A virtual root: a 320 by 240 window at (10, 10) naming itself.
"$X11_DIR/preview_window" -vroot >"$X11_DIR/win.txt" &
vroot_pid=$!
X11_PIDS+=("$vroot_pid")
wait_for 10 '[ -s "$X11_DIR/win.txt" ]' || fail "the virtual root window did not appear"
win=$(head -1 "$X11_DIR/win.txt")
"$hack" -root 2>"$X11_DIR/vroot.err" &
pid=$!
X11_PIDS+=("$pid")
sleep 3
shot vroot-a "$win"
sleep 0.5
shot vroot-b "$win"
shot vroot-screen
# The frame of a 320 by 240 window: 299 by 181 at (11, 37).
moved=$(changed vroot-a vroot-b 299x181+11+37)
title=$(lit vroot-b 320x36+0+0)
outside=$(lit vroot-screen 640x200+0+280)
log "virtual root: $moved pixels moved in its frame, $title title pixels lit; $outside lit on the real root below it"
[ "$moved" -gt 300 ] || fail "virtual root: the visualisation does not move in the marked window"
[ "$title" -gt 100 ] || fail "virtual root: no title in the marked window"
[ "$outside" -eq 0 ] || fail "virtual root: the hack drew on the real root"
stop "$pid" "virtual root"
[ ! -s "$X11_DIR/vroot.err" ] || fail "virtual root: said $(cat "$X11_DIR/vroot.err")"

# Without the marked window: the real root.
kill "$vroot_pid"
wait "$vroot_pid" 2>/dev/null || true
"$hack" -root 2>"$X11_DIR/root.err" &
pid=$!
X11_PIDS+=("$pid")
sleep 3
shot root-a
sleep 0.5
shot root-b
moved=$(changed root-a root-b 200x100+220+190)
below=$(lit root-b 640x200+0+280)
log "real root: $moved pixels moved in the middle, $below lit in the lower part"
[ "$moved" -gt 300 ] || fail "real root: the visualisation does not move"
[ "$below" -gt 1000 ] || fail "real root: nothing drawn"
stop "$pid" "real root"
log "pass"
