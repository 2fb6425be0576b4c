#!/bin/sh
# Builds the fuzz targets with clang and libFuzzer and runs each for a while.
# Usage: fuzz/run.sh [seconds per target, default 60]
# Not part of the normal (g++) build.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$here")
out=${FUZZ_BUILD_DIR:-/tmp/kve-fuzz}
seconds=${1:-60}
mkdir -p "$out"

qt_flags=$(pkg-config --cflags Qt6Core)
qt_libs=$(pkg-config --libs Qt6Core)
flags="-std=c++20 -g -O1 -fPIC -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined -I$root"

build() {
    name=$1
    shift
    echo "building $name"
    # shellcheck disable=SC2086
    clang++ $flags $qt_flags "$here/$name.cpp" "$@" $qt_libs -o "$out/$name"
}

build fuzz_protocol "$root/device/DownloadProtocol.cpp"

for target in fuzz_protocol; do
    corpus="$out/corpus-$target"
    mkdir -p "$corpus"
    cp "$here/corpus/${target#fuzz_}"/* "$corpus/" 2>/dev/null || true
    echo "running $target for ${seconds}s"
    "$out/$target" -max_total_time="$seconds" -max_len=200000 -rss_limit_mb=2048 -print_final_stats=1 "$corpus"
done
