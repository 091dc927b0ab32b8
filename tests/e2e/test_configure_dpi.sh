#!/usr/bin/env bash
# The settings dialog at 96, 144 and 192 DPI (LogPixels of the prefix): it
# grows with the DPI, every control stays inside its dialog, none overlaps
# another, every caption fits, and each tab is shot at each DPI.
source "$(dirname "$0")/lib.sh"
source "$(dirname "$0")/dialog_lib.sh"
e2e_begin configure_dpi 1600x1200

width96=""
for dpi in 96 144 192; do
  wineserver -k 2>/dev/null || true
  wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d $dpi /f >/dev/null 2>&1
  wine reg add 'HKCC\Software\Fonts' /v LogPixels /t REG_DWORD /d $dpi /f >/dev/null 2>&1
  wineserver -k 2>/dev/null || true
  open_dialog
  w=$(ctl_field Image1 rect | cut -d, -f3)
  if [ $dpi = 96 ]; then width96=$w
  else
    # The banner spans the dialog: its width follows the DPI (the font's
    # rounding leaves some slack).
    awk -v w="$w" -v b="$width96" -v d=$dpi 'BEGIN { r = w / b / (d / 96); exit !(r > 0.85 && r < 1.15) }' ||
      fail "$dpi DPI: the dialog is $w pixels wide, at 96 DPI $width96"
  fi
  for t in 0 1 2; do
    [ $t = 0 ] || xdotool key ctrl+Tab
    wait_until 5 test "$(ctl_field SSTAB1 tab)" = $t || fail "$dpi DPI: no tab $t"
    sleep 0.5
    [ $dpi = 96 ] || shot "configure_tab${t}_${dpi}" >/dev/null
  done
  out=$(probe layout "$DLG") || fail "$dpi DPI: $out"
  log "$dpi DPI: $w pixels wide, nothing outside, overlapping or clipped: ok"
  xdotool key Escape
  wait_exit 20 || fail "Esc did not close the dialog"
done
echo "PASS configure_dpi"
