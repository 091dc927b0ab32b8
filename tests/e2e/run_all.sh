#!/usr/bin/env bash
# Runs every tests/e2e/test_*.sh in turn; prints one line per script and a
# summary line "e2e (ARCH): N passed, N failed, 0 skipped". A filter
# (E2E_ONLY) that matches no script is a failure, not an empty success.
set -u
here="$(cd "$(dirname "$0")" && pwd)"
# Each script's output goes to build/e2e-logs/ of this checkout, so runs in
# several checkouts at once never share a log.
logs="$here/../../build/e2e-logs"; mkdir -p "$logs"
pass=0; failed=0; names=()
for t in "$here"/test_*.sh; do
  name=$(basename "$t" .sh)
  if [ -n "${E2E_ONLY:-}" ] && [[ "$name" != *"$E2E_ONLY"* ]]; then continue; fi
  start=$(date +%s)
  if timeout 300 bash "$t" > "$logs/$name.log" 2>&1; then
    pass=$((pass+1)); echo "e2e PASS $name ($(( $(date +%s) - start )) s)"
  else
    failed=$((failed+1)); names+=("$name"); echo "e2e FAIL $name ($(( $(date +%s) - start )) s)"
    sed 's/^/    /' "$logs/$name.log" | tail -25
  fi
done
. "$here/../../scripts/wine_env.sh"
if [ $((pass + failed)) = 0 ]; then
  echo "e2e FAIL: no script matched${E2E_ONLY:+ E2E_ONLY='$E2E_ONLY'}"
  failed=1
fi
echo "e2e ($QRV_ARCH): $pass passed, $failed failed, 0 skipped"
[ "$failed" = 0 ]
