#!/usr/bin/env bash
# setup-pack.exe under Wine makes the bytes of the native setup-pack:
#   setup-pack-exe.sh [--manifests CHECKER RULES] DIR NATIVE-COMMAND... -- WINE-COMMAND...
# DIR is made afresh; the native command gets DIR/native/setup.exe as its OUTPUT, the Wine
# command names DIR/wine/setup.exe itself (as a Windows path); the two outputs must be equal.
# With --manifests the commands also write winget manifests into DIR/native/m and DIR/wine/m,
# which must be equal too and pass CHECKER with RULES against the Wine command's OUTPUT.
set -euo pipefail
check=
if [ "$1" = "--manifests" ]; then
  check=$2
  rules=$3
  shift 3
fi
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
if [ -n "$check" ]; then
  diff -r "$dir/native/m" "$dir/wine/m"
  python3 "$check" "$rules" "$dir/wine/m" --output "$dir/wine/setup.exe"
fi
