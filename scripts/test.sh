#!/usr/bin/env bash
# Runs every test: the native build under sanitizers (with short fuzz runs), the shipped 32-bit
# build, and the 64-bit bench build whose programs run under Wine. Installs what it needs.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
root=$PWD
start=$(date +%s)

bash scripts/bootstrap.sh >/dev/null

step() { printf '\n== %s\n' "$*"; }

step "native build (ASan, UBSan, libFuzzer)"
cmake --preset host >/dev/null
cmake --build --preset host
ctest --preset host

step "32-bit product build"
cmake --preset windows >/dev/null
cmake --build --preset windows
ctest --preset windows

step "64-bit bench build, tests under Wine"
cmake --preset windows-x64 -DVORLANE_PRODUCT_EXE="$root/build/windows/setup.exe" >/dev/null
cmake --build --preset windows-x64
ctest --preset windows-x64

echo
echo "all tests passed in $(( $(date +%s) - start )) s"
