#!/usr/bin/env bash
# Sets up, builds, and runs the test layers: native unit tests (with the
# content checks), the Linux hack's runs under XScreenSaver, the cross-built
# tests under Wine, and the end-to-end runs of the real screensaver under Wine
# and Xvfb. The last lines are the total,
# "N passed, N failed, N skipped", and what could not be run on this machine.
set -uo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"
# QRV_ARCH set by the caller forces the arch under test; otherwise the
# machine decides (see scripts/wine_env.sh).
[ -n "${QRV_ARCH:-}" ] && export QRV_ARCH_FORCED=1
bash scripts/setup.sh || { echo "0 passed, 1 failed, 0 skipped"; exit 1; }
bash scripts/build.sh || { echo "0 passed, 1 failed, 0 skipped"; exit 1; }

total_pass=0; total_fail=0; total_skip=0
# tally PASSED FAILED SKIPPED: adds one layer's counts. A layer that ran
# nothing at all counts as one failure: a filter or a discovery that finds no
# test must not read as success.
tally() {
  local p=$1 f=$2 s=${3:-0}
  if [ $((p + f + s)) = 0 ]; then f=1; echo "(this layer ran no test: counted as 1 failed)"; fi
  total_pass=$((total_pass + p)); total_fail=$((total_fail + f)); total_skip=$((total_skip + s))
}
ctest_layer() {  # ctest_layer NAME BUILD_DIR: prints "NAME: P passed, F failed, S skipped"
  local out
  out=$(ctest --test-dir "$2" --output-on-failure --timeout 300 2>&1); local rc=$?
  echo "$out" | grep -vE '^ +(Start|[0-9]+/[0-9]+ Test +#[0-9]+: .* Passed)' | tail -40
  local line; line=$(echo "$out" | grep -E 'tests passed, [0-9]+ tests failed out of [0-9]+' | tail -1)
  if [ -n "$line" ]; then
    local failed all skipped
    failed=$(echo "$line" | sed -E 's/.*passed, ([0-9]+) tests failed out of ([0-9]+).*/\1/')
    all=$(echo "$line" | sed -E 's/.*failed out of ([0-9]+).*/\1/')
    # ctest counts a skipped test (GTEST_SKIP) among the passed ones.
    skipped=$(echo "$out" | grep -cE '^ *[0-9]+/[0-9]+ Test +#[0-9]+: .*\*\*\*Skipped' || true)
    echo "$1: $((all - failed - skipped)) passed, $failed failed, $skipped skipped"
  else
    echo "$1: no result (rc $rc)"
  fi
}
# layer_counts OUTPUT NAME: the "P F S" of the last "NAME: P passed, F failed, S skipped" line.
layer_counts() {
  local line
  line=$(echo "$1" | grep -E "^$2: [0-9]+ passed, [0-9]+ failed, [0-9]+ skipped" | tail -1)
  [ -n "$line" ] || { echo "0 1 0"; return; }
  echo "$line" | sed -E 's/.*: ([0-9]+) passed, ([0-9]+) failed, ([0-9]+) skipped.*/\1 \2 \3/'
}

echo "== unit (native, sanitizers) =="
out=$(ctest_layer unit build/host); echo "$out"
# shellcheck disable=SC2046  # three numbers
tally $(layer_counts "$out" unit)

echo "== content =="
# Counted per test method: a method with failing subtests is one failed test,
# a skipped one is counted apart from the passed ones.
out=$(QRV_VSI2PNG="$root/build/host/tools/vsi2png/vsi2png" python3 - 2>&1 <<'PY'
import sys, unittest
suite = unittest.defaultTestLoader.discover("tests/content", pattern="test_*.py")
class Result(unittest.TextTestResult):
    def __init__(self, *a, **k):
        super().__init__(*a, **k); self.bad = set(); self.skip = set(); self.seen = set()
    def startTest(self, test):
        super().startTest(test); self.seen.add(test.id())
    def addFailure(self, test, err):
        super().addFailure(test, err); self.bad.add(test.id())
    def addError(self, test, err):
        super().addError(test, err); self.bad.add(getattr(test, "test_case", test).id())
    def addSubTest(self, test, sub, err):
        super().addSubTest(test, sub, err)
        if err is not None: self.bad.add(test.id())
    def addSkip(self, test, reason):
        super().addSkip(test, reason); self.skip.add(test.id())
    def addUnexpectedSuccess(self, test):
        super().addUnexpectedSuccess(test); self.bad.add(test.id())
r = unittest.TextTestRunner(stream=sys.stdout, verbosity=1, resultclass=Result).run(suite)
bad = r.bad; skip = r.skip - bad
# Errors outside a test (a module that fails to import) count as failures too.
passed = len(r.seen - bad - skip)
print(f"content: {passed} passed, {len(bad)} failed, {len(skip)} skipped")
for t in sorted(skip): print(f"  skipped: {t}")
PY
)
echo "$out" | tail -30
# shellcheck disable=SC2046
tally $(layer_counts "$out" content)

# The nine songs rendered by a real MIDI synthesiser: lengths as written, not silent.
if out=$(bash tests/content/render_songs.sh 2>&1); then
  tally 1 0; echo "$out" | tail -1; echo "songs render: 1 passed, 0 failed, 0 skipped"
else
  tally 0 1; echo "$out" | tail -15; echo "songs render: 0 passed, 1 failed, 0 skipped"
fi

# The Linux hack: its package under the real XScreenSaver daemon, and in a
# given window, on Xvfb.
echo "== x11 (the Linux hack, native) =="
out=$(bash tests/x11/run_all.sh 2>&1); echo "$out" | tail -30
# shellcheck disable=SC2046
tally $(layer_counts "$out" x11)

# The Windows layer runs on every program this machine can execute: both
# where 32-bit code runs, the 64-bit one alone where it does not (or when
# QRV_ARCH forces one). Each arch gets its own prefix.
. scripts/wine_env.sh
if [ -n "${QRV_ARCH_FORCED:-}" ] || [ "$QRV_CAN_WIN32" = 0 ]; then archs=("$QRV_ARCH"); else archs=(win32 win64); fi
for arch in "${archs[@]}"; do
  echo "== windows ($arch, cross-built, under Wine) =="
  # A result file of an earlier run must never be read back as this one's.
  rm -f "build/windows-$arch.out"
  (
    QRV_ARCH=$arch; . scripts/wine_env.sh
    export WINEPREFIX="$root/build/wine-tests-$arch" WINEDLLOVERRIDES="mscoree=;mshtml=" WINEDEBUG=-all
    if [ ! -f "$WINEPREFIX/system.reg" ]; then qrv_wineboot -i >/dev/null 2>&1; qrv_wineserver -w; fi
    ctest_layer "windows ($arch)" "$QRV_WIN_BUILD" > "$root/build/windows-$arch.out"
    qrv_wineserver -k 2>/dev/null || true
  )
  out=$(cat "build/windows-$arch.out" 2>/dev/null); echo "$out"
  # shellcheck disable=SC2046
  tally $(layer_counts "$out" "windows \\($arch\\)")
done

echo "== end-to-end (real .scr, Wine + Xvfb) on $QRV_ARCH =="
e2e_out=$(bash tests/e2e/run_all.sh 2>&1); echo "$e2e_out"
# shellcheck disable=SC2046
tally $(layer_counts "$e2e_out" "e2e \\($QRV_ARCH\\)")

echo "$total_pass passed, $total_fail failed, $total_skip skipped"
if [ "$QRV_CAN_WIN32" = 0 ]; then
  echo "Not run: the 32-bit program (this machine cannot execute 32-bit code); its Windows and end-to-end tests ran on the 64-bit program only."
elif [[ " ${archs[*]} " != *" win32 "* ]]; then
  echo "Not run: the 32-bit program's Windows and end-to-end tests (QRV_ARCH=$QRV_ARCH was asked for)."
elif [ "$QRV_ARCH" != win32 ]; then
  echo "Not run: the 32-bit program's end-to-end tests (the end-to-end layer ran on $QRV_ARCH)."
fi
[ "$total_fail" = 0 ]
