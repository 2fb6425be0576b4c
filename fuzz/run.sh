#!/bin/sh
# shellcheck disable=SC2086,SC2046 # flag and object lists are split into words on purpose
# Builds the fuzz targets with clang and libFuzzer and runs each for a while, then prints
# the executions and findings per target. Exits non-zero when any target found something.
# Usage: fuzz/run.sh [seconds per target, default 60] [target...]
# Not part of the normal (g++) build. Needs clang, Qt 6 (Core, Gui) and shapelib.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$here")
out=${FUZZ_BUILD_DIR:-/tmp/kve-fuzz}
seconds=${1:-60}
[ $# -gt 0 ] && shift
targets=${*:-fuzz_protocol fuzz_table_open fuzz_image_decode fuzz_layout_text}
mkdir -p "$out/obj"

cxx=${CXX_FUZZ:-clang++}
moc=${MOC:-/usr/lib/qt6/libexec/moc}
sanitizers="address,undefined"
common="-std=c++20 -g -O1 -fPIC -fno-sanitize-recover=undefined -I$root"
core_flags=$(pkg-config --cflags Qt6Core)
core_libs=$(pkg-config --libs Qt6Core)
gui_flags=$(pkg-config --cflags Qt6Gui)
gui_libs=$(pkg-config --libs Qt6Gui)
shp_flags=$(pkg-config --cflags shapelib)
shp_libs=$(pkg-config --libs shapelib)

# Library sources become objects instrumented for coverage, without the fuzzer's main; they
# are compiled afresh every run, so a changed header never meets a stale object.
object() {
    src=$1
    shift
    obj="$out/obj/$(echo "$src" | sed "s|^$root/||; s|^$out/||; s|/|_|g; s|\.cpp$|.o|")"
    $cxx $common -fsanitize=fuzzer-no-link,$sanitizers "$@" -c "$src" -o "$obj"
    echo "$obj"
}

build() {
    name=$1
    flags=$2
    libs=$3
    shift 3
    echo "building $name"
    $cxx $common -fsanitize=fuzzer,$sanitizers $flags "$here/$name.cpp" "$@" $libs -o "$out/$name"
}

store_objects() {
    "$moc" "$root/store/MeasurementTable.h" -o "$out/moc_MeasurementTable.cpp"
    for src in "$root"/store/*.cpp "$out/moc_MeasurementTable.cpp"; do
        object "$src" $core_flags $shp_flags -I"$root/store"
    done
}

for target in $targets; do
    case $target in
    fuzz_protocol)
        build fuzz_protocol "$core_flags" "$core_libs" "$(object "$root/device/DownloadProtocol.cpp" $core_flags)"
        ;;
    fuzz_table_open)
        build fuzz_table_open "$core_flags" "$core_libs $shp_libs" $(store_objects)
        ;;
    fuzz_image_decode)
        build fuzz_image_decode "$core_flags" "$core_libs $shp_libs" $(store_objects) \
            "$(object "$root/device/ImageDecoder.cpp" $core_flags)"
        ;;
    fuzz_layout_text)
        build fuzz_layout_text "$gui_flags" "$gui_libs" "$(object "$root/view/LayoutText.cpp" $gui_flags)"
        ;;
    *)
        echo "unknown target $target" >&2
        exit 2
        ;;
    esac
done

max_len() {
    case $1 in
    fuzz_table_open) echo 65536 ;;
    fuzz_image_decode) echo 24000 ;;
    fuzz_layout_text) echo 16384 ;;
    *) echo 200000 ;;
    esac
}

summary=""
found=0
for target in $targets; do
    corpus="$out/corpus-$target"
    findings="$out/findings-$target"
    log="$out/$target.log"
    mkdir -p "$corpus" "$findings"
    cp "$here/corpus/${target#fuzz_}"/* "$corpus/" 2>/dev/null || true
    echo "running $target for ${seconds}s (log: $log)"
    dict=""
    [ -f "$here/${target#fuzz_}.dict" ] && dict="-dict=$here/${target#fuzz_}.dict"
    status=0
    "$out/$target" -max_total_time="$seconds" -max_len="$(max_len "$target")" -rss_limit_mb=2048 \
        -timeout=10 -use_value_profile=1 -print_final_stats=1 -artifact_prefix="$findings/" $dict "$corpus" \
        >"$log" 2>&1 || status=$?
    execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
    count=$(find "$findings" -type f | wc -l)
    if [ "$status" -ne 0 ]; then
        found=1
        tail -n 40 "$log"
    fi
    summary="$summary$target: ${execs:-?} executions, $(find "$corpus" -type f | wc -l) corpus inputs, exit $status, $count findings in $findings
"
done
printf '\n%s' "$summary"
exit $found
