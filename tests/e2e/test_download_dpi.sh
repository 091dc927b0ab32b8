#!/usr/bin/env bash
# The download-code form and the download progress dialog at 96, 144 and 192
# DPI (LogPixels of the prefix): each grows with the DPI, every control stays
# inside its dialog, none overlaps another and every caption fits; the
# progress bar's white track lies where the dialog marks it, and the bar
# moves along it. Each is shot at each DPI. Wine gives every monitor one
# DPI, so the move to a monitor of another DPI is sent as the system sends
# it: both dialogs' marks and controls take twice their places.
. "$(dirname "$0")/lib.sh"
. "$(dirname "$0")/download_lib.sh"
. "$(dirname "$0")/dialog_lib.sh"
e2e_begin download_dpi 1600x1200
mkdir -p "$E2E_DIR/files"
cp "$E2E_ROOT/site/VelmaraScreensaver/DWN/oscilloscope.exe" "$E2E_DIR/files/slow.json"
site_server_start "$E2E_DIR/files"
win_data="$(winepath -w "$E2E_DIR/app/QR06V2XLM")"
FORM='Visualisations' PROGRESS='Download Visualisations'
VIS_PANEL=$(awk '$2=="IDC_VIS_PANEL" {print $3}' "$E2E_ROOT/src/win/res/resource.h")
DL_BAR=$(awk '$2=="IDC_DL_BAR" {print $3}' "$E2E_ROOT/src/win/res/resource.h")
rect_of() { field "$(probe dump "$1" | grep -E "^id=$2 " | head -1)" rect; }
window_width() { xdotool getwindowgeometry --shell "$(xdotool search --name "^$1\$" | head -1)" | sed -n 's/^WIDTH=//p'; }
shown() { xdotool search --onlyvisible --name "^$1\$" >/dev/null 2>&1; }
# grows W W96 DPI: W is W96 scaled by DPI/96, within the font's rounding.
grows() { awk -v w="$1" -v b="$2" -v d="$3" 'BEGIN { r = w / b / (d / 96); exit !(r > 0.85 && r < 1.15) }'; }

for dpi in 96 144 192; do
  wineserver -k 2>/dev/null || true
  wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d $dpi /f >/dev/null 2>&1
  wine reg add 'HKCC\Software\Fonts' /v LogPixels /t REG_DWORD /d $dpi /f >/dev/null 2>&1
  wineserver -k 2>/dev/null || true

  # The code form: the link's panel fills the place that the form marks.
  (cd "$E2E_DIR/app" && exec "$QRV_WINE" "$HELPERS/download_host.exe" --form >"$E2E_DIR/form.log" 2>&1) &
  FORM_PID=$!; E2E_PIDS+=("$FORM_PID")
  wait_until 30 shown "$FORM" || fail "$dpi DPI: the code form did not open"
  sleep 1
  w=$(window_width "$FORM")
  if [ $dpi = 96 ]; then form96=$w; else grows "$w" "$form96" $dpi || fail "$dpi DPI: form $w pixels wide, $form96 at 96"; fi
  out=$(probe layout "$FORM") || fail "$dpi DPI, code form: $out"
  IFS=, read -r px py pw ph <<<"$(rect_of "$FORM" "$VIS_PANEL")"
  IFS=, read -r lx ly lw lh <<<"$(rect_of "$FORM" "$(awk '$2=="IDC_VIS_LINK" {print $3}' "$E2E_ROOT/src/win/res/resource.h")")"
  [ -n "$lx" ] && [ "$lx" -gt "$px" ] && [ $((lx + lw)) -lt $((px + pw)) ] && [ "$ly" -gt "$py" ] &&
    [ $((ly + lh)) -lt $((py + ph)) ] || fail "$dpi DPI: the link ($lx,$ly ${lw}x$lh) is not inside its panel ($px,$py ${pw}x$ph)"
  shot "code_form_$dpi" >/dev/null
  click_button "$FORM" "$(awk '$2=="IDC_VIS_COMMAND2" {print $3}' "$E2E_ROOT/src/win/res/resource.h")"
  wait_until 20 bash -c "! kill -0 $FORM_PID 2>/dev/null" || fail "$dpi DPI: Close did not close the form"

  # The progress dialog, while a movie drips in.
  start_download "$SITE_URL/t/slow/slow.json" "$win_data\\slow$dpi.vsi" "QrvSaver2006 site" SLOW
  wait_until 60 watched "percent [1-9][0-9]*%" || fail "$dpi DPI: the download never moved"
  w=$(window_width "$PROGRESS")
  if [ $dpi = 96 ]; then progress96=$w; else grows "$w" "$progress96" $dpi || fail "$dpi DPI: progress $w pixels wide, $progress96 at 96"; fi
  out=$(probe layout "$PROGRESS") || fail "$dpi DPI, progress dialog: $out"
  IFS=, read -r bx by bw bh <<<"$(rect_of "$PROGRESS" "$DL_BAR")"
  [ -n "$bx" ] || fail "$dpi DPI: no bar marker"
  f=$(shot "download_progress_$dpi")
  mid=$((by + bh / 2))
  # The track's far end is white; its start is under the black bar.
  [ "$(pixel "$f" $((bx + bw - 3)) $mid)" = "255 255 255" ] || fail "$dpi DPI: no white track at the bar's end: $(pixel "$f" $((bx + bw - 3)) $mid)"
  [ "$(pixel "$f" $((bx + 2)) $mid)" = "0 0 0" ] || fail "$dpi DPI: no black bar at the start: $(pixel "$f" $((bx + 2)) $mid)"
  log "$dpi DPI: progress dialog ${w} pixels wide, bar track at ($bx,$by ${bw}x$bh); both laid out: ok"
  read -r _ _ cx cy < <(grep -m1 cancel_button "$E2E_DIR/watch.log")
  xdotool mousemove "$cx" "$cy" click 1
  wait_until 30 watched "msgbox The download has been cancelled." || fail "$dpi DPI: no cancelled message"
  xdotool key Return
  wait_until 20 download_ended || fail "$dpi DPI: the progress dialog did not close"
done

out=$(cd "$E2E_DIR/app" && "$QRV_WINE" "$HELPERS/download_host.exe" --dpichange 2>/dev/null | tr -d '\r') ||
  fail "a DPI change left a control behind: $out"
log "DPI change: $(grep -c ' ok$' <<<"$out") controls followed"
log "ok"
