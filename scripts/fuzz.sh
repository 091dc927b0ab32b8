#!/bin/sh
# Builds the Lottie fuzzer (clang, libFuzzer, ASan, UBSan) and runs it.
#   scripts/fuzz.sh [seconds]      default 60
# New inputs gather in build/fuzz/corpus; inputs that crash, hang or run out
# of memory are written to build/fuzz/artifacts/. The renderer's own
# undefined arithmetic does not stop the run: its distinct reports are
# listed at the end (full text in build/fuzz/fuzz.log). Replay one input with
#   build/fuzz/fuzz/lottie_fuzz build/fuzz/artifacts/<file>
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-60}
build=${QRV_FUZZ_BUILD:-$root/build/fuzz}

cmake -S "$root" -B "$build" -G Ninja -DQRV_FUZZ=ON -DQRV_SANITIZE=OFF \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ >/dev/null
ninja -C "$build" -j2 lottie_fuzz

mkdir -p "$build/corpus" "$build/artifacts"
UBSAN_OPTIONS="halt_on_error=0:print_stacktrace=1:suppressions=$root/fuzz/ubsan.supp"
export UBSAN_OPTIONS
status=0
"$build/fuzz/lottie_fuzz" \
  -max_total_time="$seconds" -timeout=5 -rss_limit_mb=2048 -max_len=65536 \
  -dict="$root/fuzz/lottie.dict" -artifact_prefix="$build/artifacts/" \
  -print_final_stats=1 "$build/corpus" "$root/fuzz/corpus" >"$build/fuzz.log" 2>&1 || status=$?
grep -E '^(stat::|SUMMARY|==[0-9]+==ERROR|artifact_prefix)' "$build/fuzz.log" || true
echo "-- undefined behaviour reported (distinct places):"
grep -o '[^ ]*: runtime error: .*' "$build/fuzz.log" | sed 's|.*/third_party/||; s|.*/rlottie-patched/|rlottie/|; s|^[^ ]*/src/core/|src/core/|' |
  awk -F'runtime error: ' '{ m = $2; gsub(/-?[0-9][0-9.e+]*/, "N", m); print $1 "runtime error: " m }' | sort | uniq -c || true
exit "$status"
