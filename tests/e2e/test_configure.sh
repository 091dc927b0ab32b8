#!/usr/bin/env bash
# /c opens the settings dialog; closing it ends the program.
source "$(dirname "$0")/lib.sh"
e2e_begin configure

start_app /c:1234
wait_until 30 window_named '^ScreenSaver Properties$' || fail "no settings dialog"
sleep 0.5
shot configure_dialog >/dev/null
dlg=$(xdotool search --name '^ScreenSaver Properties$' | head -1)
xdotool windowactivate --sync "$dlg" 2>/dev/null || true
xdotool key --window "$dlg" Return
wait_exit 15 || fail "the dialog did not close"
echo "PASS configure"
