#!/usr/bin/env bash
# The hack draws into a window it is given, as the settings program's preview
# does: the visualisation moves inside its frame, the title shows above it,
# the rest stays still. SIGTERM and SIGINT end it within 2 s, the window it
# was given stays, and its shared memory is gone. On a display reached over
# TCP it draws without shared memory. Music without an audio device is
# silence, not an error; a missing visualisation gives one line on stderr and
# the default one.
. "$(dirname "$0")/lib.sh"
deb=$(x11_deb)
x11_begin window_id 640x480 -listen tcp
dpkg-deb -x "$deb" "$X11_DIR/pkg"
hack="$X11_DIR/pkg/usr/libexec/xscreensaver/qrvsaver"
export QRVSAVER_DATA="$X11_DIR/pkg/usr/share/qrvsaver"
cc -O -o "$X11_DIR/preview_window" "$X11_ROOT/tests/x11/preview_window.c" -lX11 || skip "no C compiler or libx11-dev"
"$X11_DIR/preview_window" >"$X11_DIR/win.txt" &
X11_PIDS+=($!)
wait_for 10 '[ -s "$X11_DIR/win.txt" ]' || fail "the preview window did not appear"
win=$(head -1 "$X11_DIR/win.txt")

# run_case LABEL SIGNAL DISPLAY [OPTIONS...]: one run of the hack into the window.
run_case() {
  local label=$1 sig=$2 display=$3
  shift 3
  "$hack" -display "$display" -window-id "$win" -background none "$@" 2>"$X11_DIR/$label.err" &
  local pid=$!
  X11_PIDS+=("$pid")
  sleep 3
  shot "$label-a" "$win"
  sleep 0.5
  shot "$label-b" "$win"
  # The frame of a 320 by 240 window: 299 by 181 at (11, 37).
  local moved still title
  moved=$(changed "$label-a" "$label-b" 299x181+11+37)
  still=$(changed "$label-a" "$label-b" 320x20+0+220)
  title=$(lit "$label-b" 320x36+0+0)
  log "$label: $moved pixels moved in the frame, $still below it, $title title pixels lit"
  [ "$moved" -gt 300 ] || fail "$label: the visualisation does not move"
  [ "$still" -eq 0 ] || fail "$label: pixels outside the frame changed"
  [ "$title" -gt 100 ] || fail "$label: no title above the frame"
  LAST_SHM=$(shm_segments "$pid")
  local t0=$(date +%s%N)
  kill -s "$sig" "$pid"
  gone_within 2 "$pid" || fail "$label: still running 2 s after SIG$sig"
  wait "$pid" && rc=0 || rc=$?
  log "$label: ended $(( ($(date +%s%N) - t0) / 1000000 )) ms after SIG$sig with status $rc"
  [ "$rc" = 0 ] || fail "$label: exit status $rc"
  if [ $# -gt 0 ] && [ "$*" != "${*/missing.vsi/}" ]; then
    [ "$(wc -l <"$X11_DIR/$label.err")" = 1 ] && grep -q 'missing.vsi; playing the default one' "$X11_DIR/$label.err" ||
      fail "$label: expected one line about the missing file, got: $(cat "$X11_DIR/$label.err")"
  else
    [ ! -s "$X11_DIR/$label.err" ] || fail "$label: said $(cat "$X11_DIR/$label.err")"
  fi
  xwininfo -id "$win" >/dev/null 2>&1 || fail "$label: the given window is gone"
  [ "$(shm_segments "$pid")" -eq 0 ] || fail "$label: shared memory left behind"
}

run_case local TERM ":$DISPLAY_NUM"
[ "$LAST_SHM" -ge 1 ] || fail "local: no shared memory used on a local display"
run_case local_int INT ":$DISPLAY_NUM" -music -song random -visualisation "$X11_DIR/missing.vsi"
run_case tcp TERM "127.0.0.1:$DISPLAY_NUM"
[ "$LAST_SHM" -eq 0 ] || fail "tcp: shared memory used over TCP"
# The music, sent to a file instead of a device: song 3 sounds, and the file
# is complete when SIGTERM has closed the audio.
if command -v sox >/dev/null; then
  QRVSAVER_AUDIO_FILE="$X11_DIR/music.wav" "$hack" -display ":$DISPLAY_NUM" -window-id "$win" -music -song 3 \
    2>"$X11_DIR/music.err" &
  pid=$!
  X11_PIDS+=("$pid")
  sleep 5
  kill -TERM "$pid"
  gone_within 2 "$pid" || fail "music: still running 2 s after SIGTERM"
  sox "$X11_DIR/music.wav" -n stat 2>"$X11_DIR/music.stat" || fail "music: no readable sound file"
  len=$(awk '/^Length/ {print $3}' "$X11_DIR/music.stat")
  rms=$(awk '/^RMS +amplitude/ {print $3}' "$X11_DIR/music.stat")
  log "music: $len s of sound, RMS amplitude $rms"
  awk -v l="$len" -v r="$rms" 'BEGIN{exit !(l > 1 && r > 0.002)}' || fail "music: silent or too short"
  [ ! -s "$X11_DIR/music.err" ] || fail "music: said $(cat "$X11_DIR/music.err")"
else
  log "sox not installed: music not checked"
fi
log "pass"
