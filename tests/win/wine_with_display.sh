#!/bin/sh
# CTest's emulator for the cross-built tests: wine_with_display.sh STATE_DIR
# PROGRAM ARGS... runs the program under the Wine of $QRV_ARCH. Drawing into windows needs an X
# display, and a Wine session keeps the display its first program had, so
# every program of a run (test discovery included) gets the same one. When
# the caller has no DISPLAY, that is a private Xvfb, shared through STATE_DIR;
# it ends by itself 30 s after its last client, the Wine session, has gone.
state="$1"
shift
if [ -z "${DISPLAY:-}" ]; then
  mkdir -p "$state"
  exec 9>"$state/lock"
  flock 9
  n=$(cat "$state/display" 2>/dev/null || true)
  if [ -z "$n" ] || ! DISPLAY=":$n" xdpyinfo >/dev/null 2>&1; then
    # The server picks a free display number itself and writes it to fd 3.
    n=""
    : >"$state/displayfd"
    setsid Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -terminate 30 \
      </dev/null 3>"$state/displayfd" >"$state/xvfb.log" 2>&1 9>&- &
    tries=0
    while [ $tries -lt 100 ]; do
      i=$(tr -dc 0-9 <"$state/displayfd")
      if [ -n "$i" ] && DISPLAY=":$i" xdpyinfo >/dev/null 2>&1; then
        n=$i
        break
      fi
      sleep 0.1
      tries=$((tries + 1))
    done
    [ -n "$n" ] || kill $! 2>/dev/null
    [ -n "$n" ] || { echo "wine_with_display: no X display could be started" >&2; exit 1; }
    echo "$n" >"$state/display"
  fi
  flock -u 9
  exec 9>&-
  DISPLAY=":$n"
  export DISPLAY
fi
exec "$(dirname "$0")/../../scripts/qrv-wine" "$@"
