# Helpers of the settings dialog's end-to-end scripts; source after lib.sh.
# dialog_probe (a helper built with the Windows tests) reads the controls of
# the dialog from outside: ids, states, texts, list items, screen rectangles.
PROBE="$HELPERS/dialog_probe.exe"
DLG='ScreenSaver Properties'
IDS_HEADER="$E2E_ROOT/src/win/res/frm_properties_ids.h"

# id NAME: the control id of IDC_NAME.
id() { awk -v n="IDC_${1^^}" '$1=="#define" && $2==n {print $3}' "$IDS_HEADER"; }
probe() { wine "$PROBE" "$@" 2>/dev/null | tr -d '\r'; }
# ctl NAME [CAPTION]: the probe's line for one control.
ctl() { probe dump "${2:-$DLG}" | grep -E "^id=$(id "$1") " | head -1; }
# field LINE KEY: one key=value of a probe line (text= runs to the end).
field() {
  if [ "$2" = text ]; then echo "${1#* text=}"; else K="$2" perl -ne 'print "$1\n" if /(?:^| )\Q$ENV{K}\E=(.*?)(?= [a-z]+=|$)/' <<<"$1"; fi
}
ctl_field() { field "$(ctl "$1")" "$2"; }
# click NAME: a real mouse click in the middle of the control.
click() {
  local r; r=$(ctl_field "$1" rect)
  [ -n "$r" ] || fail "no control $1"
  IFS=, read -r x y w h <<<"$r"
  xdotool mousemove $((x + w / 2)) $((y + h / 2)) click 1
}
# click_item NAME INDEX [COUNT]: clicks (COUNT times: 2 is a double-click)
# the row of item INDEX, which must be in view.
click_item() {
  local line r top rowh
  line=$(ctl "$1"); r=$(field "$line" rect); top=$(field "$line" top); rowh=$(field "$line" rowh)
  IFS=, read -r x y w h <<<"$r"
  xdotool mousemove $((x + 20)) $((y + 2 + rowh * ($2 - top) + rowh / 2)) click --repeat "${3:-1}" --delay 60 1
}
dialog_up() { xdotool search --onlyvisible --name "^$DLG\$" >/dev/null 2>&1; }
# click_button CAPTION ID: a real click on the control ID of window CAPTION
# (a message box's Yes is 6, No 7, OK 1).
click_button() {
  local r; r=$(field "$(probe dump "$1" | grep -E "^id=$2 " | head -1)" rect)
  [ -n "$r" ] || fail "no control $2 in '$1'"
  IFS=, read -r x y w h <<<"$r"
  xdotool mousemove $((x + w / 2)) $((y + h / 2)) click 1
}
# msgbox_text TITLE: the text of an open message box titled TITLE.
msgbox_text() { probe dump "$1" | grep -E '^id=65535 class=Static' | head -1 | sed 's/.* text=//'; }
msgbox_is() { [ "$(msgbox_text "$1")" = "$2" ]; }
# settings_dump: the six values and the marker, one "name=value" a line.
settings_dump() {
  local n
  for n in EnableSound FileID SoundMCI SoundID SoundRND UseBackGround InsKo; do echo "$n=$(reg_value "$SETTINGS_KEY" "$n")"; done
}
set_setting() { wine reg add "$SETTINGS_KEY" /v "$1" /t REG_SZ /d "$2" /f >/dev/null 2>&1; }
# preset NAME=VALUE...: an initialised profile with these values.
preset() {
  local kv
  set_setting InsKo regkoinic
  for kv in EnableSound=1 FileID='(Default)' SoundMCI=1 SoundID=Sandstorm SoundRND=0 UseBackGround=0 "$@"; do
    set_setting "${kv%%=*}" "${kv#*=}"
  done
}
# mci_commands: the MCI command strings in the app's trace (WINEDEBUG=+mci).
mci_commands() {
  sed -nE 's/^[0-9a-f]+:trace:mci:mciSendStringW \(L"(.*)", [0-9A-Fa-f]{8,16}, [0-9]+, [0-9A-Fa-f]{8,16}\)$/\1/p' \
    "$E2E_DIR/app.log" | perl -pe 's/\\(.)/$1/g'
}
mci_sent() { mci_commands | grep -qxF -- "$1"; }
# open_dialog: starts /c and waits for the dialog.
open_dialog() {
  start_app /c "$@"
  wait_until 40 dialog_up || fail "no settings dialog"
  wait_until 10 probe_ready || fail "the dialog's controls cannot be read"
}
probe_ready() { [ -n "$(ctl List1)" ]; }
# closed_since_last "PLAY" "CLOSE": CLOSE was sent after the last PLAY.
closed_since_last() {
  local n; n=$(mci_commands | grep -nxF -- "$1" | tail -1 | cut -d: -f1)
  [ -n "$n" ] && mci_commands | tail -n +"$n" | grep -qxF -- "$2"
}
