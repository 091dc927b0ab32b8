#!/usr/bin/env bash
# The download progress dialog, end to end: the staged messages, the labels
# and bar moving, the result messages; a Cancel click during the download;
# a captive portal's page answered with 200; a server that gives no length.
# The program's built-in site address is served by a local server through
# the prefix's system proxy.
. "$(dirname "$0")/lib.sh"
. "$(dirname "$0")/download_lib.sh"
e2e_begin download_dialog
mkdir -p "$E2E_DIR/files"
# A movie that arrives slowly (1 KiB every 50 ms), so a click lands mid-way.
cp "$E2E_ROOT/site/VelmaraScreensaver/DWN/oscilloscope.exe" "$E2E_DIR/files/slow.json"
site_server_start "$E2E_DIR/files"
DATA="$E2E_DIR/app/QR06V2XLM"
win_data="$(winepath -w "$DATA")"
old="$DATA/(Default).vsi"
cp "$old" "$E2E_DIR/default.keep"

# 1. Success: a movie from the catalogue, in 3-byte blocks.
start_download "$SITE_URL/VelmaraScreensaver/DWN/spirograph.exe" "$win_data\\spirograph.vsi" \
  "QrvSaver2006 site" SPIROGRAPH
wait_until 30 watched "message Please wait..." || fail "no dialog"
wait_until 10 watched "message Analizing code..." || fail "no second message"
wait_until 10 watched "message Connecting with QrvSaver2006 site ..." || fail "no connecting message"
shot download_staging
wait_until 20 watched "message Downloading SPIROGRAPH visualisation..." || fail "no downloading message"
wait_until 60 watched "percent [1-9][0-9]*%" || fail "percentage never moved"
shot download_progress
wait_until 120 watched "msgbox The visualisation has been successfully downloaded." || fail "no success message"
shot download_success
t_sent=$(watched_at "message Please wait..."); t_conn=$(watched_at "message Connecting with")
t_dl=$(watched_at "message Downloading"); t_pct=$(watched_at "percent 100%")
log "messages at ${t_sent} ms, connecting ${t_conn} ms, downloading ${t_dl} ms; 100% at ${t_pct} ms"
[ -n "$t_pct" ] || fail "never reached 100%"
for l in elapsed remaining rate; do watched " $l " || fail "$l label never changed"; done
grep -q ' rate [0-9]*[.,][0-9][0-9] Kbps' "$E2E_DIR/watch.log" || fail "rate not in Kbps"
xdotool key Return
wait_until 20 download_ended || fail "dialog did not close"
cmp -s "$DATA/spirograph.vsi" "$E2E_ROOT/site/VelmaraScreensaver/DWN/spirograph.exe" || fail "file differs"
site_tunnelled /VelmaraScreensaver/DWN/spirograph.exe || fail "the download did not go over https"
[ -z "$(ls "$DATA" | grep -i '\.tmp$' || true)" ] || fail "temporary file left"

# 2. Cancel: a real click on Cancel while the movie drips in; the old file stays.
cp "$old" "$DATA/slowone.vsi"
start_download "$SITE_URL/t/slow/slow.json" "$win_data\\slowone.vsi" "QrvSaver2006 site" SLOWONE
wait_until 60 watched "percent [1-9][0-9]*%" || fail "slow download never moved"
read -r _ _ bx by < <(grep -m1 cancel_button "$E2E_DIR/watch.log")
xdotool mousemove "$bx" "$by" click 1
wait_until 30 watched "caption Download Cancelled" || fail "caption not Download Cancelled"
wait_until 30 watched "msgbox The download has been cancelled." || fail "no cancelled message"
shot download_cancelled
xdotool key Return
wait_until 20 download_ended || fail "dialog did not close after cancel"
cmp -s "$DATA/slowone.vsi" "$old" || fail "cancel changed the old file"
[ -z "$(ls "$DATA" | grep -i '\.tmp$' || true)" ] || fail "temporary file left after cancel"

# 3. A captive portal's page with 200: error message, the old file kept.
cp "$old" "$DATA/portal.vsi"
start_download "$SITE_URL/t/html" "$win_data\\portal.vsi" "QrvSaver2006 site" PORTAL
wait_until 60 watched "msgbox An error has ocurred in the visualisation download, please try later." ||
  fail "portal page not refused"
shot download_error
xdotool key Return
wait_until 20 download_ended || fail "dialog did not close after error"
cmp -s "$DATA/portal.vsi" "$old" || fail "portal page replaced the file"
[ -z "$(ls "$DATA" | grep -i '\.tmp$' || true)" ] || fail "temporary file left after error"

# 4. No length announced: the labels keep their first values (the body, no
# movie, then ends in the error message).
start_download "$SITE_URL/t/nolength" "$win_data\\nolen.vsi" "QrvSaver2006 site" NOLEN
wait_until 60 watched "msgbox " || fail "no result for the unknown length"
watched "msgbox An error has ocurred in the visualisation download, please try later." ||
  fail "not the error message for a body without a movie: $(grep -m1 msgbox "$E2E_DIR/watch.log")"
grep -q ' percent 0%' "$E2E_DIR/watch.log" || fail "percent label not 0%"
if grep -E ' (percent [1-9]|elapsed [0-9]+:|rate [0-9.,]+ Kbps)' "$E2E_DIR/watch.log"; then fail "labels moved without a length"; fi
xdotool key Return
wait_until 20 download_ended || fail "dialog did not close"
cmp -s "$old" "$E2E_DIR/default.keep" || fail "default visualisation changed"
log "ok"
