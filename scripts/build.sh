#!/usr/bin/env bash
# Installs what is missing, then configures and builds into build/.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
"$top/scripts/install-deps.sh"
# ccache keeps compiled objects across clones (paths taken relative to the clone).
launcher=()
if command -v ccache >/dev/null; then
  export CCACHE_BASEDIR="$top"
  launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
fi
cmake -S "$top" -B "$top/build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  "${launcher[@]}" >/dev/null
cmake --build "$top/build" -j2
