#!/usr/bin/env bash
# Without "(Default).vsi" the run shows the system-modal message and, once it
# is answered, ends cleanly with the activation as it was found (on).
source "$(dirname "$0")/lib.sh"
source "$(dirname "$0")/dialog_lib.sh"
e2e_begin missing_default

rm -f "$E2E_DIR/app/QR06V2XLM/(Default).vsi"
wine reg add 'HKCU\Control Panel\Desktop' /v ScreenSaveActive /t REG_SZ /d 1 /f >/dev/null 2>&1
keep_server
start_app /s
wait_until 90 window_named '^ScreenSaver$' || fail "no message box"
missing_text="An important file is missing, please reinstall the ScreenSaver"
wait_until 10 msgbox_is ScreenSaver "$missing_text" ||
  fail "the message box says '$(msgbox_text ScreenSaver)', not '$missing_text'"
shot missing_default_message >/dev/null
text=$(xdotool search --name '^ScreenSaver$' | head -1)
xdotool windowactivate --sync "$text" 2>/dev/null || true
xdotool key --window "$text" Return
wait_exit 15 || { xdotool key Return; wait_exit 10 || fail "the run did not end after the message"; }
[ "$APP_RC" = 0 ] || fail "exit code $APP_RC after the message"
[ "$(session_activation)" = 1 ] || fail "the session's activation is not back on"
[ "$(profile_activation)" = 1 ] || fail "the profile's ScreenSaveActive changed"
echo "PASS missing_default"
