#!/usr/bin/env bash
# A chosen visualisation that is not a loadable movie leaves the frame empty
# (the background shows through) while the run and its end work as usual.
source "$(dirname "$0")/lib.sh"
e2e_begin bad_vsi

head -c 3000 /dev/urandom > "$E2E_DIR/app/QR06V2XLM/Broken.vsi"
printf '{"v":"5.5.2","fr":30,"ip":0,"op":60,"w":100,"h":100,"layers":[' > "$E2E_DIR/app/QR06V2XLM/Truncated.vsi"
ref="$E2E_DIR/background_ref.png"
convert "$E2E_ROOT/src/win/res/background.png" -resize '1024x768!' "$ref"
for name in Broken Truncated; do
  start_with_visualisation "$name"
  sleep 0.5
  s=$(shot "bad_vsi_$name")
  # The frame's lower half (below the title) is the bare background.
  diff=$(rmse_below "$s" "$ref" 900x350+60+330 0.03) || fail "$name: the frame is not empty (rmse $diff)"
  [ "$(reg_value "$SETTINGS_KEY" FileID)" = "$name" ] || fail "$name: FileID changed"
  xdotool mousemove 300 400 click 1
  wait_exit 15 || fail "$name: a click did not end the run"
  log "$name: empty frame, clean end: ok"
done
echo "PASS bad_vsi"
