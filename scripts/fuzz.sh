#!/bin/sh
# Builds the Lottie fuzzer (clang, libFuzzer, ASan, UBSan) and runs it.
#   scripts/fuzz.sh [seconds]      default 60
#   QRV_FUZZ_JOBS=N                N fuzzing processes side by side (default 1)
#   QRV_FUZZ_TIMEOUT=S             an input running longer counts as a hang
#                                  (default 5; the clock is wall time, so give
#                                  a machine that is busy with other work more)
# New inputs gather in build/fuzz/corpus (shared by the processes); inputs
# that crash, hang or run out of memory are written to build/fuzz/artifacts/.
# The renderer's own undefined arithmetic does not stop the run: its distinct
# reports are listed at the end (full text in build/fuzz/fuzz*.log). The
# total of inputs run is the sum of the processes' executed units. Replay one
# input with
#   build/fuzz/fuzz/lottie_fuzz build/fuzz/artifacts/<file>
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-60}
jobs=${QRV_FUZZ_JOBS:-1}
timeout=${QRV_FUZZ_TIMEOUT:-5}
build=${QRV_FUZZ_BUILD:-$root/build/fuzz}

cmake -S "$root" -B "$build" -G Ninja -DQRV_FUZZ=ON -DQRV_SANITIZE=OFF \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ >/dev/null
ninja -C "$build" -j2 lottie_fuzz

mkdir -p "$build/corpus" "$build/artifacts"
rm -f "$build"/fuzz*.log
UBSAN_OPTIONS="halt_on_error=0:print_stacktrace=1:suppressions=$root/fuzz/ubsan.supp"
export UBSAN_OPTIONS
pids=""
i=0
while [ "$i" -lt "$jobs" ]; do
  log="$build/fuzz.log"; [ "$i" = 0 ] || log="$build/fuzz-$i.log"
  "$build/fuzz/lottie_fuzz" \
    -max_total_time="$seconds" -timeout="$timeout" -rss_limit_mb=2048 -max_len=65536 -seed=$((i + 1))$$ \
    -dict="$root/fuzz/lottie.dict" -artifact_prefix="$build/artifacts/" \
    -print_final_stats=1 "$build/corpus" "$root/fuzz/corpus" >"$log" 2>&1 &
  pids="$pids $!"
  i=$((i + 1))
done
status=0
for p in $pids; do wait "$p" || status=$?; done
grep -hE '^(stat::|SUMMARY|==[0-9]+==ERROR|artifact_prefix)' "$build"/fuzz*.log || true
echo "-- inputs run: $(grep -h '^stat::number_of_executed_units' "$build"/fuzz*.log | awk '{s += $2} END {print s + 0}')"
echo "-- undefined behaviour reported (distinct places):"
grep -ho '[^ ]*: runtime error: .*' "$build"/fuzz*.log | sed 's|.*/third_party/||; s|.*/rlottie-patched/|rlottie/|; s|^[^ ]*/src/core/|src/core/|' |
  awk -F'runtime error: ' '{ m = $2; gsub(/-?[0-9][0-9.e+]*/, "N", m); print $1 "runtime error: " m }' | sort | uniq -c || true
exit "$status"
