#!/usr/bin/env bash
# The download-code form on its own (opened as "Get More" opens it): the
# catalogue link in place of the browser control under Wine, letters swallowed
# by the code box, a typed code downloaded into the data folder and handed to
# the list rebuild, and a code picked up from the clipboard whose file exists:
# the replace question, answered No, downloads nothing.
. "$(dirname "$0")/lib.sh"
. "$(dirname "$0")/download_lib.sh"
e2e_begin code_form
site_server_start
cp "$HELPERS/download_host.exe" "$E2E_DIR/app/"
DATA="$E2E_DIR/app/QR06V2XLM"
form_open() { xdotool search --name '^Visualisations$' >/dev/null 2>&1; }
form_closed() { ! form_open; }
form_shown() { xdotool search --onlyvisible --name '^Visualisations$' >/dev/null 2>&1; }
question_gone() { ! xdotool search --onlyvisible --name '^Download Visualisations$' >/dev/null 2>&1; }
start_form() {
  (cd "$E2E_DIR/app" && exec "$QRV_WINE" "$E2E_DIR/app/download_host.exe" --form >"$E2E_DIR/form.log" 2>&1) &
  FORM_PID=$!; E2E_PIDS+=("$FORM_PID")
  wait_until 30 form_open || fail "form did not open"
  wait_until 10 form_shown || fail "form never shown"
  eval "$(xdotool getwindowgeometry --shell "$(xdotool search --name '^Visualisations$' | head -1)")"
  FX=$X; FY=$Y   # the client area starts at the window's corner (no window manager)
}
click_at() { xdotool mousemove $((FX + $1)) $((FY + $2)) click 1; }
start_watch() {
  : >"$E2E_DIR/watch.log"
  (exec "$QRV_WINE" "$HELPERS/dlg_watch.exe" 240 "$@" >"$E2E_DIR/watch.log" 2>/dev/null) &
  E2E_PIDS+=("$!")
}

# 1. Typed code: letters are swallowed; the movie arrives; the list is rebuilt.
start_form
shot code_form_link
start_watch --ok
click_at 152 297
xdotool type --delay 40 'ab2223x1515c0613'
click_at 305 298
wait_until 60 watched "message Downloading TUNNEL visualisation..." || fail "download did not start"
shot code_form_downloading
wait_until 120 watched "msgbox The visualisation has been successfully downloaded." || fail "no success"
wait_until 30 test -s "$E2E_DIR/app/rebuilt.txt" || fail "list not rebuilt after the download"
wait_until 30 form_closed || fail "form did not close after the download"
cmp -s "$DATA/tunnel.vsi" "$E2E_ROOT/site/VelmaraScreensaver/DWN/tunnel.exe" || fail "tunnel.vsi differs"
site_tunnelled /VelmaraScreensaver/DWN/tunnel.exe || fail "the download did not go over https: $(grep tunnel.exe "$E2E_DIR/server/server.log")"
[ "$(tr -d '\r\n' <"$E2E_DIR/app/rebuilt.txt")" = tunnel ] || fail "list not rebuilt with the new name"

# 2. Code on the clipboard, file present: asked, No, nothing downloaded.
# Wine keeps the clipboard only while its session lives: keep one program up.
(exec "$QRV_WINE" "$HELPERS/clip_tool.exe" keep 120 >/dev/null 2>&1) &
E2E_PIDS+=("$!")
wine "$HELPERS/clip_tool.exe" set '222315150613 ' || fail "clipboard not set"
[ "$(wine "$HELPERS/clip_tool.exe" get)" = '222315150613 ' ] || fail "clipboard does not read back"
before=$(stat -c %Y.%s "$DATA/tunnel.vsi")
rm -f "$E2E_DIR/app/rebuilt.txt"
start_form
start_watch --no
click_at 152 297
click_at 305 298
wait_until 30 watched "msgbox Visualisation already downloaded, do you want to replace it?" ||
  fail "no replace question (code not picked up from the clipboard?)"
wait_until 10 question_gone || fail "the replace question was not answered"
form_open || fail "form closed after No"
shot code_form_after_no
[ "$(stat -c %Y.%s "$DATA/tunnel.vsi")" = "$before" ] || fail "file changed after No"
[ ! -e "$E2E_DIR/app/rebuilt.txt" ] || fail "list rebuilt after No"
click_at 488 299
wait_until 20 form_closed || fail "Close did not close the form"
log "ok"
