#!/usr/bin/env bash
# setup-pack.exe under Wine makes the bytes of the native setup-pack:
#   setup-pack-exe.sh DIR NATIVE-COMMAND... -- WINE-COMMAND...
# DIR is made afresh; the native command gets DIR/native/setup.exe as its OUTPUT, the Wine
# command names DIR/wine/setup.exe itself (as a Windows path); the two outputs must be equal.
set -euo pipefail
dir=$1
shift
native=()
while [ "$1" != "--" ]; do
  native+=("$1")
  shift
done
shift
rm -rf "$dir"
mkdir -p "$dir/native" "$dir/wine"
"${native[@]}" "$dir/native/setup.exe"
"$@"
cmp "$dir/wine/setup.exe" "$dir/native/setup.exe"
