#!/usr/bin/env bash
# The download dialog against a server that sends the headers and then
# nothing: a real click on Cancel ends the download within a second although
# WinINet is still waiting, and without a click the download ends by itself
# (the receive timeout) with the error message and its cause line. Each time
# the old file stays and no temporary file is left.
. "$(dirname "$0")/lib.sh"
. "$(dirname "$0")/download_lib.sh"
e2e_begin download_silent
site_server_start
DATA="$E2E_DIR/app/QR06V2XLM"
win_data="$(winepath -w "$DATA")"
old="$DATA/(Default).vsi"
no_temp() { [ -z "$(ls "$DATA" | grep -i '\.tmp$' || true)" ]; }
asked() { grep -q 'tunnel "GET /t/silent ' "$E2E_DIR/server/server.log"; }

# 1. Cancel while the server is silent.
cp "$old" "$DATA/quiet.vsi"
WATCH_OPTS="--poll 5"
start_download "$SITE_URL/t/silent" "$win_data\\quiet.vsi" "QrvSaver2006 site" QUIET
wait_until 60 watched "message Downloading QUIET visualisation..." || fail "no downloading message"
wait_until 30 asked || fail "the request never reached the server"
# Well into the silence: WinINet waits for a body that does not come.
sleep 2
watched "msgbox " && fail "the download ended before the click: $(grep msgbox "$E2E_DIR/watch.log")"
read -r _ _ bx by < <(grep -m1 cancel_button "$E2E_DIR/watch.log")
xdotool mousemove "$bx" "$by" click 1
wait_until 30 watched "caption Download Cancelled" || fail "the click did not reach the dialog"
wait_until 30 watched "msgbox The download has been cancelled." || fail "no cancelled message: $(grep msgbox "$E2E_DIR/watch.log")"
c=$(watched_at "caption Download Cancelled"); m=$(watched_at "msgbox The download has been cancelled.")
log "Cancel seen at ${c} ms, the cancelled message at ${m} ms: $((m - c)) ms"
[ $((m - c)) -le 1000 ] || fail "the cancel took $((m - c)) ms against a silent server"
shot download_silent_cancelled >/dev/null
xdotool key Return
wait_until 20 download_ended || fail "dialog did not close after the cancel"
cmp -s "$DATA/quiet.vsi" "$old" || fail "the cancel changed the old file"
no_temp || fail "temporary file left after the cancel"

# 2. No click: the silent server ends the download by itself, with the
# error message and the cause under it.
cp "$old" "$DATA/quiet.vsi"
WATCH_OPTS="--poll 20"
start_download "$SITE_URL/t/silent" "$win_data\\quiet.vsi" "QrvSaver2006 site" QUIET
wait_until 60 watched "message Downloading QUIET visualisation..." || fail "no downloading message"
wait_until 150 watched "msgbox " || fail "the download against a silent server did not end by itself"
watched "msgbox An error has ocurred in the visualisation download, please try later." ||
  fail "not the error message: $(grep -A1 msgbox "$E2E_DIR/watch.log")"
grep -q "The server did not answer in time." "$E2E_DIR/watch.log" ||
  fail "no cause line under the message: $(grep -A1 msgbox "$E2E_DIR/watch.log")"
d=$(watched_at "message Downloading"); e=$(watched_at "msgbox ")
log "ended by itself $((e - d)) ms after the downloading message"
shot download_silent_timeout >/dev/null
xdotool key Return
wait_until 20 download_ended || fail "dialog did not close after the error"
cmp -s "$DATA/quiet.vsi" "$old" || fail "the timeout changed the old file"
no_temp || fail "temporary file left after the timeout"
log "ok"
