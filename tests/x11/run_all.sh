#!/usr/bin/env bash
# Runs the Linux hack's end-to-end scripts (tests/x11/test_*.sh), or those
# whose names contain one of the given words, one after the other, and ends
# with one line: "x11: N passed, M failed, K skipped". A script that exits 77
# could not run on this machine and counts as skipped. Exit status 1 when any failed.
here="$(cd "$(dirname "$0")" && pwd)"
passed=0 failed=0 skipped=0 failures=()
for t in "$here"/test_*.sh; do
  name=$(basename "$t" .sh)
  if [ $# -gt 0 ]; then
    match=0
    for w in "$@"; do [[ "$name" == *"$w"* ]] && match=1; done
    [ "$match" = 1 ] || continue
  fi
  bash "$t"
  rc=$?
  case $rc in
    0) passed=$((passed + 1)) ;;
    77) skipped=$((skipped + 1)) ;;
    *) failed=$((failed + 1)); failures+=("$name") ;;
  esac
done
[ ${#failures[@]} -gt 0 ] && echo "failed: ${failures[*]}"
echo "x11: $passed passed, $failed failed, $skipped skipped"
[ "$failed" = 0 ]
