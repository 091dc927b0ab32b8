#!/usr/bin/env bash
# Without "(Default).vsi" the run shows the system-modal message and, once it
# is answered, ends cleanly with the activation switched back on.
source "$(dirname "$0")/lib.sh"
e2e_begin missing_default

rm -f "$E2E_DIR/app/QR06V2XLM/(Default).vsi"
start_app /s
wait_until 30 window_named '^ScreenSaver$' || fail "no message box"
sleep 0.5
shot missing_default_message >/dev/null
text=$(xdotool search --name '^ScreenSaver$' | head -1)
xdotool windowactivate --sync "$text" 2>/dev/null || true
xdotool key --window "$text" Return
wait_exit 15 || { xdotool key Return; wait_exit 10 || fail "the run did not end after the message"; }
[ "$(reg_value 'HKCU\Control Panel\Desktop' ScreenSaveActive)" = 1 ] || fail "ScreenSaveActive is not 1"
echo "PASS missing_default"
