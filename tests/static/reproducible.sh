#!/usr/bin/env bash
# Builds setup.exe twice, in two build directories of different names and at different times,
# and compares the results byte for byte.  reproducible.sh SOURCE_DIR WORK_DIR
set -euo pipefail
src=$1 work=$2
rm -rf "$work" && mkdir -p "$work"
build() {
  cmake -S "$src" -B "$1" -DCMAKE_TOOLCHAIN_FILE="$src/cmake/mingw.cmake" \
        -DCMAKE_BUILD_TYPE=MinSizeRel >/dev/null
  cmake --build "$1" --target setup -j2 >/dev/null
}
build "$work/a"
sleep 2
build "$work/second-build-elsewhere"
a=$(sha256sum < "$work/a/setup.exe" | cut -d' ' -f1)
b=$(sha256sum < "$work/second-build-elsewhere/setup.exe" | cut -d' ' -f1)
echo "first:  $a"
echo "second: $b"
[ "$a" = "$b" ] || { echo "the two builds differ"; exit 1; }
