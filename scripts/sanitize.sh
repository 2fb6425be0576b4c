#!/usr/bin/env bash
# Builds the project with AddressSanitizer and UndefinedBehaviorSanitizer in build-asan/
# (beside build/) and runs the whole test suite under them. Leaks are reported; undefined
# behaviour stops the test at its first report. Exits non-zero on any finding.
#
#   scripts/sanitize.sh            configure, build with -j2, run every test
#   scripts/sanitize.sh -R store   only the tests matching a CTest regex
set -euo pipefail
top="$(cd "$(dirname "$0")/.." && pwd)"
build="${KVE_ASAN_BUILD:-$top/build-asan}"
jobs="${KVE_JOBS:-2}"
start=$(date +%s)

launcher=()
if command -v ccache >/dev/null; then
  export CCACHE_BASEDIR="$top"
  launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
fi
cmake -S "$top" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKVE_SANITIZE=ON \
  "${launcher[@]}" >/dev/null
cmake --build "$build" -j"$jobs"
built=$(date +%s)

export QT_QPA_PLATFORM=offscreen
# Leaks of the system's libraries that are not ours, each with its reason, in lsan.supp.
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=0:strict_string_checks=1:detect_stack_use_after_return=1:check_initialization_order=1"
export LSAN_OPTIONS="suppressions=$top/scripts/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1"

status=0
ctest --test-dir "$build" --output-on-failure --timeout 600 -j"$jobs" "$@" || status=$?
end=$(date +%s)
echo "sanitize: build $((built - start)) s, tests $((end - built)) s, total $((end - start)) s"
exit $status
