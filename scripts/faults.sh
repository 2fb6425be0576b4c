#!/usr/bin/env bash
# Fault injection, end to end, including the slower cases that the test suite leaves out
# (more kill points during "Дополнить", the instrument pulled before the archive request).
# Runs the fault test of the build in its own folders and prints what happened in each
# case: what the operator was told and what became of the files.
#
#   scripts/faults.sh [build folder]     default: build/ (made by scripts/build.sh)
set -uo pipefail
top="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$top/build}"
test="$build/tests/app/app_tst_faults"
if [ ! -x "$test" ]; then
  echo "faults: $test is missing; build first (scripts/build.sh)" >&2
  exit 2
fi
export QT_QPA_PLATFORM=offscreen KVE_FAULTS_LONG=1
log=$(mktemp)
trap 'rm -f "$log"' EXIT
start=$(date +%s)
"$top/tests/run-isolated.sh" "$test" >"$log" 2>&1
status=$?
grep -E '^case: ' "$log" | sed 's/^case: /  /'
echo
grep -E '^(PASS|FAIL!|XFAIL|XPASS) |^   Loc:|^   (Actual|Expected)' "$log" | grep -v 'TestCase()'
grep -E '^Totals:' "$log"
echo "faults: $(( $(date +%s) - start )) s, exit $status"
exit $status
