#!/usr/bin/env bash
# SIGTERM or SIGINT while the sound font is still being read: the hack ends
# within 2 s with status 0 and says nothing, and the window it was given is
# left exactly as it was (its attributes, the events anyone selects on it,
# its properties). The sound font here is a named pipe that no one ever
# writes, so its reading never ends; the sound goes to a file, so the music
# starts without an audio device. The hack built with the sanitizers, when
# the build tree holds it, runs the same way and must report nothing.
. "$(dirname "$0")/lib.sh"
deb=$(x11_deb)
x11_begin exit_while_loading 640x480
dpkg-deb -x "$deb" "$X11_DIR/pkg"
export QRVSAVER_DATA="$X11_DIR/pkg/usr/share/qrvsaver"
cc -O -o "$X11_DIR/preview_window" "$X11_ROOT/tests/x11/preview_window.c" -lX11 || skip "no C compiler or libx11-dev"
"$X11_DIR/preview_window" >"$X11_DIR/win.txt" &
X11_PIDS+=($!)
wait_for 10 '[ -s "$X11_DIR/win.txt" ]' || fail "the preview window did not appear"
win=$(head -1 "$X11_DIR/win.txt")
mkfifo "$X11_DIR/font.sf2"

window_state() { xwininfo -id "$win" -stats -events -wm; xprop -id "$win"; }
window_state >"$X11_DIR/window-before.txt"

# run_case LABEL HACK SIGNAL SECONDS: the hack plays song 3 into the window
# with the unreadable sound font and must be gone within SECONDS of SIGNAL.
run_case() {
  local label=$1 hack=$2 sig=$3 limit=$4
  QRVSAVER_AUDIO_FILE="$X11_DIR/$label.wav" QRVSAVER_SOUND_FONT="$X11_DIR/font.sf2" \
    "$hack" -window-id "$win" -music -song 3 2>"$X11_DIR/$label.err" &
  local pid=$!
  X11_PIDS+=("$pid")
  # The audio file appears when the audio is open, just before the reading starts.
  wait_for 15 '[ -e "$X11_DIR/$label.wav" ]' || fail "$label: the audio was not opened"
  sleep 2
  shot "$label-a" "$win"
  sleep 0.5
  shot "$label-b" "$win"
  local moved reading=no
  moved=$(changed "$label-a" "$label-b" 299x181+11+37)
  [ "$moved" -gt 300 ] || fail "$label: the visualisation does not move while the sound font is read"
  cat /proc/"$pid"/task/*/wchan 2>/dev/null | grep -q wait_for_partner && reading=yes
  local t0
  t0=$(date +%s%N)
  kill -s "$sig" "$pid"
  if ! gone_within "$limit" "$pid"; then
    kill -KILL "$pid" 2>/dev/null || true  # a hung hack would outlive the test
    fail "$label: still running $limit s after SIG$sig"
  fi
  local ms=$(( ($(date +%s%N) - t0) / 1000000 ))
  wait "$pid" && rc=0 || rc=$?
  log "$label: $moved pixels moved; blocked on the sound font: $reading; ended $ms ms after SIG$sig with status $rc"
  [ "$rc" = 0 ] || fail "$label: exit status $rc"
  [ ! -s "$X11_DIR/$label.err" ] || fail "$label: said $(head -20 "$X11_DIR/$label.err")"
  window_state >"$X11_DIR/window-after.txt"
  diff "$X11_DIR/window-before.txt" "$X11_DIR/window-after.txt" >"$X11_DIR/$label-window.diff" ||
    fail "$label: the window was changed: $(cat "$X11_DIR/$label-window.diff")"
  [ "$(shm_segments "$pid")" -eq 0 ] || fail "$label: shared memory left behind"
}

run_case term "$X11_DIR/pkg/usr/libexec/xscreensaver/qrvsaver" TERM 2
run_case int "$X11_DIR/pkg/usr/libexec/xscreensaver/qrvsaver" INT 2
# The sanitizers' leak check at exit takes its own time: the bound is wider.
asan="$X11_ROOT/build/host/src/x11/qrvsaver"
if [ -x "$asan" ]; then
  run_case sanitizers "$asan" TERM 10
else
  log "no build/host/src/x11/qrvsaver: the sanitizers' run left out"
fi
log "pass"
