#!/usr/bin/env bash
# How large a setup.exe Wine starts and decodes, run by hand from the repository's top
# directory (prints figures, checks nothing):
#   bench/image-size.sh [I686-BUILD-DIR [X64-BUILD-DIR]]
# Images of about 1.0, 1.6, 1.9 and 2.1 GB are made from each stub: the demo package's payload
# followed by zeros, which the decoder passes over, so each is made in seconds. The 32-bit
# stub is tried with and without the large-address-aware flag, in a 32-bit prefix, the 64-bit
# one in a 64-bit prefix; each line says whether "setup.exe --quiet --xzdec" decoded the
# package. Wine lays out a process's addresses its own way: this shows Wine's limits, not
# those of Windows.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
i686=$(realpath -m "${1:-build/windows}")
x64=$(realpath -m "${2:-build/windows-x64}")
[ -f "$i686/CMakeCache.txt" ] || cmake --preset windows -B "$i686" >/dev/null
[ -f "$x64/CMakeCache.txt" ] || cmake --preset windows-x64 -B "$x64" >/dev/null
cmake --build "$i686" -j2 --target setup_stub setup_pack_native >/dev/null
cmake --build "$x64" -j2 --target setup_stub >/dev/null
work=$i686/bench/image-size
mkdir -p "$work/run"
demo=$i686/examples/demo.msi
g++ -O2 -std=c++17 -Ipack/bytes -Ipack/pe bench/image_size.cpp "$i686/native/pack/pe/libpack_pe.a" \
  "$i686/native/pack/bytes/libpack_bytes.a" -o "$work/image_size"
xz --format=xz --check=crc64 -9 -T1 -c "$demo" >"$work/demo.xz"
. scripts/wine-env.sh
for kind in i686-plain i686-laa x64-plain; do
  stub=$i686/setup-stub.exe prefix=$i686/wine/image-size arch=win32
  [ "${kind%-*}" = x64 ] && stub=$x64/setup-stub.exe prefix=$x64/wine/image-size arch=win64
  scripts/wine-prefix.sh "$prefix" "$arch"
  for pad in 1000000000 1600000000 1900000000 2100000000; do
    exe=$work/run/setup.exe
    "$work/image_size" "$stub" "$work/demo.xz" "$pad" "$exe" "${kind#*-}"
    rm -f "$work/run/setup.msi"
    code=0
    (cd "$work/run" && WINEPREFIX=$prefix "$VORLANE_WINE" setup.exe --quiet --xzdec \
      </dev/null >/dev/null 2>&1) || code=$?
    result="exit $code, package NOT decoded"
    cmp -s "$work/run/setup.msi" "$demo" && result="exit $code, package decoded"
    printf '%-10s %11d bytes: %s\n' "$kind" "$(stat -c %s "$exe")" "$result"
    rm -f "$exe" "$work/run/setup.msi"
  done
done
