#!/usr/bin/env bash
# Runs every test: the native build under sanitizers (with short fuzz runs), the shipped 32-bit
# build under Wine in a 32-bit and a 64-bit prefix, and the 64-bit build under Wine. Installs
# what it needs.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
root=$PWD
start=$(date +%s)

bash scripts/bootstrap.sh >/dev/null

step() { printf '\n== %s\n' "$*"; }

# GoogleTest cases passed by each Wine test of the last ctest run in a build tree.
cases_per_test() {
  awk '/^[0-9]+\/[0-9]+ Testing: / { name = $3 }
       /^\[  PASSED  \] [0-9]+ test/ { printf "  %-28s %4d cases passed\n", name, $4 }' \
    "$1/Testing/Temporary/LastTest.log"
}

step "native build (ASan, UBSan, libFuzzer)"
cmake --preset host >/dev/null
cmake --build --preset host
ctest --preset host

# Where the kernel refuses 32-bit code, i386.sh runs the whole test tree under emulation.
step "32-bit product build: Wine tests in a 32-bit and a 64-bit prefix"
cmake --preset windows >/dev/null
cmake --build --preset windows
scripts/i386.sh ctest --preset windows

step "64-bit build: Wine tests in a 64-bit prefix; the release files"
cmake --preset windows-x64 -DVORLANE_PRODUCT_EXE="$root/build/windows/setup.exe" \
  -DVORLANE_I686_BUILD="$root/build/windows" >/dev/null
cmake --build --preset windows-x64
ctest --preset windows-x64

step "GoogleTest cases under Wine, by build and prefix"
echo "32-bit build:"; cases_per_test build/windows
echo "64-bit build:"; cases_per_test build/windows-x64
echo
echo "all tests passed in $(( $(date +%s) - start )) s"
