#!/usr/bin/env bash
# The settings dialog's music: enabling rules from EnableSound and the two
# check boxes, Play's two messages, a built-in song previewed through the
# MCI (traced) with the animated icon, Stop, the real Open dialog for a WAV
# and its cancel, changing file while one plays, and a stored song that is
# gone, answered both ways.
source "$(dirname "$0")/lib.sh"
source "$(dirname "$0")/dialog_lib.sh"
e2e_begin configure_music

MUSIC="BtPlay BtStop TxtCustom BtCustom ChkRandom LstMidi ChkExisting"
# enabled_set: the music controls that are enabled, in a fixed order.
enabled_set() {
  local dump n out=""
  dump=$(probe dump "$DLG")
  for n in $MUSIC; do
    echo "$dump" | grep -qE "^id=$(id "$n") .* en=1 " && out="$out$n "
  done
  echo "$out"
}
sox -n -r 22050 -c 1 "$E2E_DIR/my song.wav" synth 3 sine 440
song=$(winepath -w "$E2E_DIR/my song.wav")

# 1. EnableSound "0": every music control disabled; ticking Enable Sound
# enables them with the built-in song's pair.
preset EnableSound=0 SoundID=nothing
WINEDEBUG=+mci open_dialog
xdotool key ctrl+Tab
[ "$(enabled_set)" = "" ] || fail "with EnableSound 0 these are enabled: $(enabled_set)"
[ "$(ctl_field ChkSound chk)" = 0 ] || fail "Enable Sound is ticked"
sleep 0.5
shot configure_music_sound_off >/dev/null
xdotool key alt+s
wait_until 5 test "$(ctl_field ChkSound chk)" = 1 || fail "Alt+S did not tick Enable Sound"
[ "$(enabled_set)" = "BtPlay BtStop ChkRandom LstMidi ChkExisting " ] || fail "after Enable Sound: $(enabled_set)"
log "EnableSound 0 disables, Enable Sound enables by the rule: ok"

# 2. Play with no song selected.
[ "$(ctl_field LstMidi sel)" = -1 ] || fail "SoundID 'nothing' selected a song"
xdotool key alt+p
wait_until 10 msgbox_is Screensaver "Please select a song." || fail "no 'Please select a song.' message"
shot configure_music_select_a_song >/dev/null
xdotool key Return
wait_until 10 eval '! window_named "^Screensaver$"' || fail "the message stayed"
mci_sent "play QrvMid from 0" && fail "Play without a song played something"

# 3. A double-click on "Heaven" plays it; the icon moves; Stop stops it.
img_rect() { local r; r=$(ctl_field Img1 rect); IFS=, read -r x y w h <<<"$r"; echo "${w}x${h}+${x}+${y}"; }
click_item LstMidi 0
sleep 0.3
xdotool key Down Down Down Down Down Down
wait_until 5 test "$(ctl_field LstMidi sel)" = 6 || fail "Heaven is not selected ($(ctl_field LstMidi sel))"
click_item LstMidi 6 2
wait_until 10 mci_sent "play QrvMid from 0" || fail "a double-click on Heaven sent no play command"
open=$(mci_commands | grep -E '^open .* type sequencer alias QrvMid$' | tail -1)
unix=$(winepath -u "$(echo "$open" | sed -E 's/^open (.*) type sequencer alias QrvMid$/\1/')" 2>/dev/null)
[ "$(basename "${unix,,}")" = heaven.seq ] || fail "the sequencer opened '$open'"
# The icon: among a few shots 0.1 s apart, some differ there.
r=$(img_rect)
shot configure_music_playing_a >/dev/null
moved=""
for i in 1 2 3 4 5 6 7 8 9 10; do
  sleep 0.1
  shot configure_music_playing_b >/dev/null
  if region_differs "$SCREENS/configure_music_playing_a.png" "$SCREENS/configure_music_playing_b.png" "$r"; then moved=1; break; fi
done
[ -n "$moved" ] || fail "Img1 does not move while the song plays"
polls=$(mci_commands | grep -cxF "status QrvMid position" || true)
[ "$polls" -gt 0 ] || fail "the preview never checked the song's position"
xdotool key alt+t
wait_until 10 closed_since_last "play QrvMid from 0" "close QrvMid" || fail "Stop did not close the song"
sleep 0.3
shot configure_music_stopped_a >/dev/null
sleep 0.3
shot configure_music_stopped_b >/dev/null
region_differs "$SCREENS/configure_music_stopped_a.png" "$SCREENS/configure_music_stopped_b.png" "$r" && fail "Img1 still moves after Stop"
log "Heaven played ($polls position polls), icon animated, Stop closed it: ok"

# 4. Unticking Enable Sound while a song plays stops it and disables all.
xdotool key alt+p
wait_until 10 eval '[ "$(mci_commands | grep -cxF "play QrvMid from 0")" -ge 2 ]' || fail "the second Play sent nothing"
xdotool key alt+s
wait_until 10 closed_since_last "play QrvMid from 0" "close QrvMid" || fail "unticking Enable Sound did not stop the song"
[ "$(enabled_set)" = "" ] || fail "after unticking Enable Sound: $(enabled_set)"
xdotool key alt+s
log "Enable Sound off stops and disables: ok"

# 5. The user's song: no file yet, then the real Open dialog with a WAV.
xdotool key alt+e
wait_until 5 test "$(ctl_field ChkExisting chk)" = 1 || fail "Alt+E did not tick the existing song"
[ "$(enabled_set)" = "BtPlay BtStop TxtCustom BtCustom ChkExisting " ] || fail "with an existing song: $(enabled_set)"
xdotool key alt+p
wait_until 10 msgbox_is Screensaver "Please open a file." || fail "no 'Please open a file.' message"
shot configure_music_open_a_file >/dev/null
xdotool key Return
wait_until 10 eval '! window_named "^Screensaver$"' || fail "the message stayed"
click BtCustom
wait_until 20 window_named '^Open$' || fail "no Open dialog"
sleep 1
shot configure_music_open_dialog >/dev/null
xdotool type --delay 20 "$song"
xdotool key Return
wait_until 20 eval '[ "$(ctl_field TxtCustom text)" = "$song" ]' || fail "TxtCustom reads '$(ctl_field TxtCustom text)'"
xdotool key alt+p
q="\"$song\""
wait_until 10 mci_sent "play $q" || fail "Play sent no 'play $q'"
mci_sent "open $q type MPEGVideo" || fail "the song was not opened on MPEGVideo"
shot configure_music_custom_playing >/dev/null
log "Open dialog chose $song, Play sent open and play: ok"

# 6. "..." while it plays: Yes stops it, the Open dialog comes, cancel
# leaves "(No file selected)".
click BtCustom
wait_until 10 msgbox_is "ScreenSaver Music" "Before changing file, you need to stop the actual song. Do you want to stop it?" ||
  fail "no question before changing file"
shot configure_music_change_file >/dev/null
xdotool key y
wait_until 20 window_named '^Open$' || fail "no Open dialog after Yes"
closed_since_last "play $q" "close $q" || fail "Yes did not stop the song"
xdotool key Escape
wait_until 20 eval '[ "$(ctl_field TxtCustom text)" = "(No file selected)" ]' || fail "after cancel TxtCustom reads '$(ctl_field TxtCustom text)'"
log "changing file stops the song; cancel gives (No file selected): ok"
click Command1
wait_exit 20 || fail "Close did not end the program"

# 7. A stored song that is gone: the question, answered No, then Yes.
for answer in n y; do
  preset SoundMCI=0 'SoundID=C:\gone\song.wav'
  start_app /c
  wait_until 40 eval 'msgbox_is ScreenSaver "Song doesnt exist. Do you want to select another one?"' || fail "no question about the missing song"
  shot "configure_music_missing_$answer" >/dev/null
  click_button ScreenSaver "$([ $answer = y ] && echo 6 || echo 7)"
  if [ $answer = y ]; then
    wait_until 20 window_named '^Open$' || fail "Yes opened no Open dialog"
    [ "$(ctl_field SSTAB1 tab)" = 1 ] || fail "Yes did not show the Sound tab"
    xdotool type --delay 20 "$song"
    xdotool key Return
    want="$song"
  else
    want="(No file selected)"
  fi
  wait_until 40 dialog_up || fail "no dialog after the answer $answer"
  wait_until 10 eval '[ "$(ctl_field TxtCustom text)" = "$want" ]' || fail "$answer: TxtCustom reads '$(ctl_field TxtCustom text)'"
  [ "$(ctl_field SSTAB1 tab)" = "$([ $answer = y ] && echo 1 || echo 0)" ] || fail "$answer: tab $(ctl_field SSTAB1 tab)"
  shot "configure_music_missing_${answer}_after" >/dev/null
  click Command1
  wait_exit 20 || fail "Close did not end the program"
  [ "$(reg_value "$SETTINGS_KEY" SoundID)" = 'C:\gone\song.wav' ] || fail "Close wrote SoundID"
done
log "missing song: No leaves (No file selected), Yes opens the file choice: ok"
echo "PASS configure_music"
