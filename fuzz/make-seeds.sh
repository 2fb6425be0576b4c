#!/bin/sh
# Renews the seed inputs of the table, image and layout targets in fuzz/corpus, writing the
# tables with the real table object. The protocol seeds are kept by hand.
# Usage: fuzz/make-seeds.sh
set -eu
here=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$here")
out=${FUZZ_BUILD_DIR:-/tmp/kve-fuzz}/seeds
mkdir -p "$out"
cxx=${CXX_FUZZ:-clang++}
moc=${MOC:-/usr/lib/qt6/libexec/moc}
"$moc" "$root/store/MeasurementTable.h" -o "$out/moc_MeasurementTable.cpp"
# shellcheck disable=SC2046
$cxx -std=c++20 -O1 -fPIC -I"$root" -I"$root/store" $(pkg-config --cflags Qt6Gui shapelib) \
    "$here/make_seeds.cpp" "$root"/store/*.cpp "$out/moc_MeasurementTable.cpp" "$root/view/LayoutText.cpp" \
    $(pkg-config --libs Qt6Gui shapelib) -o "$out/make_seeds"
for folder in table_open image_decode layout_text; do
    rm -f "$here/corpus/$folder"/*
done
"$out/make_seeds" "$here/corpus" "$root/tests/store/data/other_writer.db"
ls -l "$here/corpus/table_open" "$here/corpus/image_decode" "$here/corpus/layout_text"
