#!/usr/bin/env bash
# Sets up, builds, and runs the three test layers: native unit tests (with the
# content checks), the cross-built tests under Wine, and the end-to-end runs
# of the real screensaver under Wine and Xvfb. The last line is the total.
set -uo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"
# QRV_ARCH set by the caller forces the arch under test; otherwise the
# machine decides (see scripts/wine_env.sh).
[ -n "${QRV_ARCH:-}" ] && export QRV_ARCH_FORCED=1
bash scripts/setup.sh || { echo "0 passed, 1 failed"; exit 1; }
bash scripts/build.sh || { echo "0 passed, 1 failed"; exit 1; }

total_pass=0; total_fail=0
tally() {  # reads "N passed, M failed" style numbers from a layer
  total_pass=$((total_pass + $1)); total_fail=$((total_fail + $2))
}
ctest_layer() {  # ctest_layer NAME BUILD_DIR
  local out
  out=$(ctest --test-dir "$2" --output-on-failure --timeout 300 2>&1); local rc=$?
  echo "$out" | grep -vE '^ +(Start|[0-9]+/[0-9]+ Test +#[0-9]+: .* Passed)' | tail -40
  local line; line=$(echo "$out" | grep -E 'tests passed, [0-9]+ tests failed out of [0-9]+' | tail -1)
  if [ -n "$line" ]; then
    local failed all
    failed=$(echo "$line" | sed -E 's/.*passed, ([0-9]+) tests failed out of ([0-9]+).*/\1/')
    all=$(echo "$line" | sed -E 's/.*failed out of ([0-9]+).*/\1/')
    tally $((all - failed)) "$failed"
    echo "$1: $((all - failed)) passed, $failed failed"
  else
    tally 0 1; echo "$1: no result (rc $rc)"
  fi
}

echo "== unit (native, sanitizers) =="
ctest_layer unit build/host

echo "== content =="
if out=$(QRV_VSI2PNG="$root/build/host/tools/vsi2png/vsi2png" python3 -m unittest discover -s tests/content -p 'test_*.py' 2>&1); then
  n=$(echo "$out" | grep -oE 'Ran [0-9]+ test' | grep -oE '[0-9]+'); tally "${n:-0}" 0; echo "content: ${n:-0} passed, 0 failed"
else
  echo "$out" | tail -30
  n=$(echo "$out" | grep -oE 'Ran [0-9]+ test' | grep -oE '[0-9]+')
  f=$(echo "$out" | grep -oE '(failures|errors)=[0-9]+' | grep -oE '[0-9]+' | awk '{s+=$1} END {print s+0}')
  tally $(( ${n:-0} - ${f:-1} )) "${f:-1}"; echo "content: failures ${f:-1}"
fi

# The nine songs rendered by a real MIDI synthesiser: lengths as written, not silent.
if out=$(bash tests/content/render_songs.sh 2>&1); then
  tally 1 0; echo "$out" | tail -1; echo "songs render: 1 passed, 0 failed"
else
  tally 0 1; echo "$out" | tail -15; echo "songs render: 0 passed, 1 failed"
fi

# The Windows layer runs on every program this machine can execute: both
# where 32-bit code runs, the 64-bit one alone where it does not (or when
# QRV_ARCH forces one). Each arch gets its own prefix.
. scripts/wine_env.sh
if [ -n "${QRV_ARCH_FORCED:-}" ] || [ "$QRV_CAN_WIN32" = 0 ]; then archs=("$QRV_ARCH"); else archs=(win32 win64); fi
for arch in "${archs[@]}"; do
  echo "== windows ($arch, cross-built, under Wine) =="
  (
    QRV_ARCH=$arch; . scripts/wine_env.sh
    export WINEPREFIX="$root/build/wine-tests-$arch" WINEDLLOVERRIDES="mscoree=;mshtml=" WINEDEBUG=-all
    if [ ! -f "$WINEPREFIX/system.reg" ]; then qrv_wineboot -i >/dev/null 2>&1; qrv_wineserver -w; fi
    ctest_layer "windows ($arch)" "$QRV_WIN_BUILD" > "$root/build/windows-$arch.out"
    qrv_wineserver -k 2>/dev/null || true
  )
  cat "build/windows-$arch.out"
  line=$(grep -E '^windows \('"$arch"'\): [0-9]+ passed, [0-9]+ failed' "build/windows-$arch.out" | tail -1)
  if [ -n "$line" ]; then tally "$(echo "$line" | awk '{print $3}')" "$(echo "$line" | awk '{print $5}')"; else tally 0 1; fi
done

echo "== end-to-end (real .scr, Wine + Xvfb) on $QRV_ARCH =="
e2e_out=$(bash tests/e2e/run_all.sh 2>&1); echo "$e2e_out"
line=$(echo "$e2e_out" | grep -E '^e2e \(win(32|64)\): [0-9]+ passed, [0-9]+ failed' | tail -1)
if [ -n "$line" ]; then
  tally "$(echo "$line" | awk '{print $3}')" "$(echo "$line" | awk '{print $5}')"
else
  tally 0 1
fi

echo "$total_pass passed, $total_fail failed"
[ "$total_fail" = 0 ]
