#!/usr/bin/env bash
# The Debian package: lintian finds no errors; dpkg -i puts the hack, its
# settings page, the data and the manual page in place, and the installed
# hack answers; apt-get remove then leaves no file and no package record.
. "$(dirname "$0")/lib.sh"
X11_NAME=package
[ "$(id -u)" = 0 ] || skip "needs root to install the package"
deb=$(x11_deb)
dpkg-query -W -f='${Status}' qrvsaver 2>/dev/null | grep -q 'install ok installed' &&
  skip "qrvsaver is installed on this machine already; the test would remove it"
X11_DIR=$(mktemp -d /tmp/qrv-x11-package.XXXXXX)
trap 'apt-get remove -y -qq qrvsaver >/dev/null 2>&1 || true; rm -rf "$X11_DIR"' EXIT

if command -v lintian >/dev/null; then
  lintian --allow-root "$deb" >"$X11_DIR/lintian.txt" 2>&1 || true
  if grep -q '^E:' "$X11_DIR/lintian.txt"; then fail "lintian: $(grep '^E:' "$X11_DIR/lintian.txt")"; fi
  log "lintian: $(grep -c '^W:' "$X11_DIR/lintian.txt" || true) warnings, no errors"
else
  log "lintian not installed: not checked"
fi

dpkg -i "$deb" >"$X11_DIR/dpkg.log" 2>&1 || fail "dpkg -i: $(tail -3 "$X11_DIR/dpkg.log")"
dpkg -L qrvsaver >"$X11_DIR/files.txt"
for f in /usr/libexec/xscreensaver/qrvsaver /usr/share/xscreensaver/config/qrvsaver.xml \
         "/usr/share/qrvsaver/(Default).vsi" /usr/share/qrvsaver/QrvTtl.is \
         /usr/share/qrvsaver/MCI/Sandstorm.seq /usr/share/man/man6/qrvsaver.6.gz; do
  [ -f "$f" ] || fail "not installed: $f"
done
[ "$(ls /usr/share/qrvsaver/MCI/*.seq | wc -l)" = 9 ] || fail "not nine songs"
# Every library it links is there (the package's dependencies brought them).
! ldd /usr/libexec/xscreensaver/qrvsaver | grep -q 'not found' || fail "libraries missing: $(ldd /usr/libexec/xscreensaver/qrvsaver | grep 'not found')"
/usr/libexec/xscreensaver/qrvsaver -help | grep -q -- '-visualisation' || fail "the installed hack does not answer -help"
log "installed: $(wc -l <"$X11_DIR/files.txt") paths"

apt-get remove -y -qq qrvsaver >"$X11_DIR/remove.log" 2>&1 || fail "apt-get remove: $(tail -3 "$X11_DIR/remove.log")"
left=()
while IFS= read -r p; do
  [ -f "$p" ] && left+=("$p")
  # A folder of ours that another package does not also own must be gone too.
  if [ -d "$p" ] && [[ "$p" == /usr/share/qrvsaver* || "$p" == /usr/share/doc/qrvsaver* ]]; then left+=("$p"); fi
done <"$X11_DIR/files.txt"
[ ${#left[@]} = 0 ] || fail "left after removal: ${left[*]}"
status=$(dpkg-query -W -f='${db:Status-Abbrev}' qrvsaver 2>/dev/null || true)
[ -z "$status" ] || [[ "$status" == un* ]] || fail "package record left: $status"
log "removed: no file and no record left"
log "pass"
