# Starts an X server with one or two monitors, for running the screensaver
# on more than one. Source it, then:
#   start_monitors LAYOUT WORKDIR
# LAYOUT is WxH for one monitor (Xvfb), or PRIMARY,SECOND[,right|left|above|below]
# with each a WxH for two (Xorg with the dummy driver, the second monitor
# placed by xrandr; default right). Xvfb cannot give Wine two monitors: its
# Xinerama screens all start at 0,0 and Wine sees one.
# MON_XORG=1 runs one monitor on Xorg too, so that one and two monitors can be
# compared on the same server.
# Sets DISPLAY, MON_X_PID (the server's process id, to be ended by the caller)
# and MON_PRIMARY_X / MON_PRIMARY_Y: where the primary's top left corner lies
# in X root coordinates (Wine puts the primary at 0,0 of its own screen
# coordinates, so a second monitor left of or above it has negative ones).

# mon_parse LAYOUT: sets MON_PW MON_PH MON_SW MON_SH MON_SIDE (MON_SW empty for one monitor).
mon_parse() {
  local p s side
  IFS=, read -r p s side <<<"$1"
  MON_PW=${p%x*}; MON_PH=${p#*x}
  MON_SW=""; MON_SH=""; MON_SIDE=""
  if [ -n "$s" ]; then
    MON_SW=${s%x*}; MON_SH=${s#*x}; MON_SIDE=${side:-right}
  fi
}

mon_free_display() {  # prints a display number nobody uses
  local n
  for n in $(seq "${1:-70}" 199); do
    [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] && continue
    echo "$n"; return 0
  done
  return 1
}

mon_wait_x() {  # waits up to 20 s for the display to answer
  local i
  for i in $(seq 100); do
    xdpyinfo >/dev/null 2>&1 && return 0
    kill -0 "$MON_X_PID" 2>/dev/null || return 1
    sleep 0.2
  done
  return 1
}

# mon_mode OUTPUT W H: gives OUTPUT a W by H mode and switches it on.
mon_mode() {
  local out=$1 w=$2 h=$3 line name
  line=$(gtf "$w" "$h" 60 | sed -n 's/^ *Modeline *//p')
  name="qrv_${w}x${h}"
  # shellcheck disable=SC2086  # the timings are separate words
  xrandr --newmode "$name" ${line#* } 2>/dev/null || true
  xrandr --addmode "$out" "$name"
  xrandr --output "$out" --mode "$name"
}

start_monitors() {
  local layout=$1 dir=$2 n
  mon_parse "$layout"
  MON_PRIMARY_X=0; MON_PRIMARY_Y=0
  if [ -z "$MON_SW" ] && [ -z "${MON_XORG:-}" ]; then
    for n in $(seq 70 199); do
      n=$(mon_free_display "$n") || return 1
      Xvfb ":$n" -screen 0 "${MON_PW}x${MON_PH}x24" -nolisten tcp >"$dir/x.log" 2>&1 &
      MON_X_PID=$!
      export DISPLAY=":$n"
      mon_wait_x && return 0
      kill "$MON_X_PID" 2>/dev/null || true
    done
    return 1
  fi
  local vw=$((MON_PW + ${MON_SW:-0})) vh=$((MON_PH > ${MON_SH:-0} ? MON_PH : ${MON_SH:-0}))
  case "$MON_SIDE" in
    above|below) vw=$((MON_PW > MON_SW ? MON_PW : MON_SW)); vh=$((MON_PH + MON_SH)) ;;
  esac
  cat >"$dir/xorg.conf" <<EOF
Section "Device"
  Identifier "dummy"
  Driver "dummy"
  VideoRam 256000
EndSection
Section "Monitor"
  Identifier "monitor"
  HorizSync 5.0-1000.0
  VertRefresh 5.0-200.0
EndSection
Section "Screen"
  Identifier "screen"
  Device "dummy"
  Monitor "monitor"
  DefaultDepth 24
  SubSection "Display"
    Depth 24
    Virtual $vw $vh
  EndSubSection
EndSection
EOF
  for n in $(seq 70 199); do
    n=$(mon_free_display "$n") || return 1
    Xorg ":$n" -config "$dir/xorg.conf" -noreset -nolisten tcp -logfile "$dir/xorg.log" >"$dir/x.log" 2>&1 &
    MON_X_PID=$!
    export DISPLAY=":$n"
    mon_wait_x && break
    kill "$MON_X_PID" 2>/dev/null || true
    MON_X_PID=""
  done
  [ -n "$MON_X_PID" ] || return 1
  mon_mode DUMMY0 "$MON_PW" "$MON_PH" || return 1
  xrandr --output DUMMY0 --primary
  if [ -n "$MON_SW" ]; then
    mon_mode DUMMY1 "$MON_SW" "$MON_SH" || return 1
    case "$MON_SIDE" in
      right) xrandr --output DUMMY1 --right-of DUMMY0 ;;
      left) xrandr --output DUMMY1 --left-of DUMMY0; MON_PRIMARY_X=$MON_SW ;;
      below) xrandr --output DUMMY1 --below DUMMY0 ;;
      above) xrandr --output DUMMY1 --above DUMMY0; MON_PRIMARY_Y=$MON_SH ;;
      *) echo "monitors: unknown side $MON_SIDE" >&2; return 1 ;;
    esac
  fi
  # A full query makes the server probe its outputs again. Until something
  # does, the cheap query that Wine makes still returns one monitor.
  xrandr >/dev/null
}
