#!/usr/bin/env bash
# Music under /s, read from Wine's trace of the MCI command strings: a fresh
# profile plays a built-in song on the sequencer under the alias QrvMid, a
# user's song with blanks in its path goes to the MPEGVideo device in quotes,
# and with no sound card (Xvfb, no ALSA device) neither run hangs: a click
# ends each cleanly and the music is closed on the way out.
source "$(dirname "$0")/lib.sh"
e2e_begin music

# mci_commands: the command strings handed to the MCI, in order, one a line.
mci_commands() {
  sed -nE 's/^[0-9a-f]+:trace:mci:mciSendStringW \(L"(.*)", [0-9A-Fa-f]+, [0-9]+, [0-9A-Fa-f]+\)$/\1/p' \
    "$E2E_DIR/app.log" | perl -pe 's/\\(.)/$1/g'
}
# line_of TEXT: the number of the first command equal to TEXT, or nothing.
line_of() { mci_commands | grep -nxF -- "$1" | head -1 | cut -d: -f1; }
command_sent() { [ -n "$(line_of "$1")" ]; }
# polled_since PLAY_COMMAND N: the music watch asked for the position at least
# N times since the play command went out.
polled_since() {
  local p; p=$(line_of "$1")
  [ -n "$p" ] && [ "$(mci_commands | tail -n +"$p" | grep -cE '^status .* position$')" -ge "$2" ]
}

# run_until_playing NAME PLAY_COMMAND: /s with the MCI traced, until the play
# command went out; then a few polls of the music, and a click.
run_until_playing() {
  WINEDEBUG=+mci start_app /s
  wait_until 30 command_sent "$2" || { mci_commands | tail -5 >&2; fail "$1: '$2' was never sent"; }
  # Three rounds of the 600 ms music watch.
  wait_until 15 polled_since "$2" 3 || fail "$1: the music was not watched three times after '$2'"
  app_running || fail "$1: the program ended by itself while the music played"
  shot "$1" >/dev/null
  xdotool mousemove 300 300 click 1
  wait_exit 15 || fail "$1: a click did not end the run"
  [ "$APP_RC" = 0 ] || fail "$1: exit code $APP_RC"
}

# Case 1: a fresh profile writes the defaults (music on, a random built-in song).
run_until_playing music_builtin "play QrvMid from 0"
open=$(mci_commands | grep -E '^open .* type sequencer alias QrvMid$' | head -1 || true)
[ -n "$open" ] || fail "no sequencer was opened under QrvMid"
path=${open#open }; path=${path% type sequencer alias QrvMid}
# The short form: no blanks, every part at most 8.3, and it names a song file.
[[ "$path" =~ ^[A-Za-z]:(\\[^\\\ .]{1,8}(\.[^\\\ .]{1,3})?)+$ ]] || fail "'$path' is not a short path"
unix=$(winepath -u "$path" 2>/dev/null)
[ -f "$unix" ] || fail "'$path' names no file"
[ "$(dirname "$unix")" -ef "$E2E_DIR/app/QR06V2XLM/MCI" ] && [[ "${unix,,}" == *.seq ]] ||
  fail "'$path' is not a song of the data folder ($unix)"
o=$(line_of "$open"); p=$(line_of "play QrvMid from 0")
[ "$o" -lt "$p" ] || fail "the play command came before the open"
c=$(mci_commands | sed -n "$((p + 1)),\$p" | grep -nxF "close QrvMid" | head -1 | cut -d: -f1)
[ -n "$c" ] || fail "the song was not closed at the end"
log "built-in song $(basename "$unix"): opened as $path, played from 0, closed at the end: ok"

# Case 2: the user's song, a WAV file with blanks in its path.
sox -n -r 22050 -c 1 "$E2E_DIR/my song.wav" synth 2 sine 440
song=$(winepath -w "$E2E_DIR/my song.wav")
wine reg add "$SETTINGS_KEY" /v SoundMCI /t REG_SZ /d 0 /f >/dev/null 2>&1
wine reg add "$SETTINGS_KEY" /v SoundID /t REG_SZ /d "$song" /f >/dev/null 2>&1
q="\"$song\""
run_until_playing music_custom "play $q"
o=$(line_of "open $q type MPEGVideo")
[ -n "$o" ] || fail "'open $q type MPEGVideo' was never sent"
[ "$o" -lt "$(line_of "play $q")" ] || fail "the play command came before the open"
command_sent "stop $q" && command_sent "close $q" || fail "the song was not stopped and closed at the end"
! mci_commands | grep -q 'QrvMid type sequencer' || fail "a built-in song was opened as well"
log "user's song $q: opened on MPEGVideo, played, stopped and closed: ok"
echo "PASS music"
