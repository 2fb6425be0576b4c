#!/bin/sh
# Runs one Windows program under Wine in a fresh temporary folder, with the program's
# registry key and per-user data removed first, so no test sees another's settings. The
# Wine prefix is shared, so Windows tests run one at a time (scripts/windows/test).
set -e
: "${WINEPREFIX:?set by scripts/windows/test}"
wine=${KVE_WINE:-/usr/lib/wine/wine64}
dir=$(mktemp -d "${TMPDIR:-/tmp}/kve-wintest.XXXXXX")
trap 'rm -rf "$dir"' EXIT
cd "$dir"
"$wine" reg delete 'HKCU\Software\Dorvatek' /f >/dev/null 2>&1 || true
for d in "$WINEPREFIX"/drive_c/users/*/AppData/*/Dorvatek; do
  rm -rf "$d"
done
"$wine" "$@"
