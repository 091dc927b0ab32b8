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

# mon_start_server LOGFILE SERVER ARGS...: starts an X server on the first free
# display number, which the server picks itself and reports (-displayfd), so
# that scripts started at the same time cannot pick the same one. Sets
# MON_X_PID and DISPLAY.
mon_start_server() {
  local log=$1 fifo i n=""; shift
  fifo=$(mktemp -u); mkfifo "$fifo"
  "$@" -displayfd 3 3>"$fifo" >"$log" 2>&1 &
  MON_X_PID=$!
  exec 4<"$fifo"; rm -f "$fifo"
  read -r -t 20 n <&4 || true
  exec 4<&-
  [ -n "$n" ] || { kill "$MON_X_PID" 2>/dev/null; MON_X_PID=""; return 1; }
  export DISPLAY=":$n"
  for i in $(seq 100); do
    xdpyinfo >/dev/null 2>&1 && return 0
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
  local layout=$1 dir=$2
  mon_parse "$layout"
  MON_PRIMARY_X=0; MON_PRIMARY_Y=0
  if [ -z "$MON_SW" ] && [ -z "${MON_XORG:-}" ]; then
    mon_start_server "$dir/x.log" Xvfb -screen 0 "${MON_PW}x${MON_PH}x24" -nolisten tcp
    return
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
  mon_start_server "$dir/x.log" Xorg -config "$dir/xorg.conf" -noreset -nolisten tcp -logfile "$dir/xorg.log" ||
    return 1
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
