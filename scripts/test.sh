#!/usr/bin/env bash
# Runs every test: the native build under sanitizers (with short fuzz runs), the shipped 32-bit
# build under Wine in a 32-bit and a 64-bit prefix, and the 64-bit build under Wine; the Wine
# tests of both builds once with Debian 12's Wine 8 and once with Debian 13's Wine 10 (in a
# root of its own, scripts/wine10.sh). Installs what it needs.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
root=$PWD
start=$(date +%s)

bash scripts/bootstrap.sh >/dev/null

step() { printf '\n== %s\n' "$*"; leg_start=$(date +%s); }
leg_time() { echo "-- $1: $(( $(date +%s) - leg_start )) s"; }

# GoogleTest cases passed by each Wine test of a ctest run (its LastTest.log).
cases_per_test() {
  awk '/^[0-9]+\/[0-9]+ Testing: / { name = $3 }
       /^\[  PASSED  \] [0-9]+ test/ { printf "  %-28s %4d cases passed\n", name, $4 }' "$1"
}

# Runs a ctest command, its output shown and kept in LOG (and its LastTest.log beside it);
# a failure is remembered, so that every leg runs and the counts are printed before the end.
failed=0
run_ctest() {
  local log=$1 tree=$2
  shift 2
  "$@" 2>&1 | tee "$log" || failed=1
  cp "$tree/Testing/Temporary/LastTest.log" "${log%.txt}-last.log" 2>/dev/null || true
}

# The ctest entries run under Wine (one per test program and prefix: NAME.win32, NAME.win64)
# in the given ctest outputs: "N passed, M failed".
wine_entries() {
  cat "$@" | awk '/^ *[0-9]+\/[0-9]+ Test +#[0-9]+: [^ ]+\.win(32|64) / {
      if ($0 ~ / Passed +[0-9.]+ sec/) passed++; else failed++ }
    END { printf "%d passed, %d failed\n", passed, failed }'
}

logs=$root/build/test-logs
rm -rf "$logs"
mkdir -p "$logs"

step "native build (ASan, UBSan, libFuzzer)"
cmake --preset host >/dev/null
cmake --build --preset host
ctest --preset host
leg_time "native"

# Where the kernel refuses 32-bit code, i386.sh runs the whole test tree under emulation.
step "32-bit product build: Wine 8 tests in a 32-bit and a 64-bit prefix"
cmake --preset windows >/dev/null
cmake --build --preset windows
run_ctest "$logs/wine8-windows.txt" build/windows scripts/i386.sh ctest --preset windows
leg_time "32-bit build, Wine 8"

step "64-bit build: Wine 8 tests in a 64-bit prefix; the release files"
cmake --preset windows-x64 -DVORLANE_PRODUCT_EXE="$root/build/windows/setup.exe" \
  -DVORLANE_I686_BUILD="$root/build/windows" >/dev/null
cmake --build --preset windows-x64
run_ctest "$logs/wine8-windows-x64.txt" build/windows-x64 ctest --preset windows-x64
leg_time "64-bit build, Wine 8"

# The test kit for Windows (made with the release files), as a user runs it, in fresh prefixes.
step "the test kit under Wine 8: run-tests.cmd in a fresh 32-bit and a fresh 64-bit prefix"
cmake --build --preset windows-x64 --target test_kit >/dev/null
kit=$(ls build/windows-x64/release/setup-tests-*-windows.zip)
for arch in win32 win64; do
  scripts/i386.sh scripts/run-kit.sh "$kit" "build/windows-x64/wine/kit-$arch" "$arch" 2>&1 |
    tee "$logs/kit-$arch.txt" || { failed=1; echo "the kit FAILED in the $arch prefix"; }
done
leg_time "the test kit, Wine 8"

# The same Wine tests with Wine 10, in prefixes of its own (build/*/wine-10). The release
# files the 64-bit tree's tests look at are those made above.
step "Wine 10: the Debian 13 root"
bash scripts/wine10-root.sh >/dev/null
leg_time "Wine 10 root"
step "32-bit product build: Wine 10 tests in a 32-bit and a 64-bit prefix"
run_ctest "$logs/wine10-windows.txt" build/windows scripts/i386.sh scripts/wine10.sh \
  ctest --preset windows -R '\.win(32|64)$'
leg_time "32-bit build, Wine 10"
step "64-bit build: Wine 10 tests in a 64-bit prefix"
run_ctest "$logs/wine10-windows-x64.txt" build/windows-x64 scripts/wine10.sh \
  ctest --preset windows-x64 -R '\.win64$' -FS '^release$'
leg_time "64-bit build, Wine 10"

step "GoogleTest cases under Wine, by Wine, build and prefix"
for wine in wine8 wine10; do
  echo "$wine, 32-bit build:"; cases_per_test "$logs/$wine-windows-last.log"
  echo "$wine, 64-bit build:"; cases_per_test "$logs/$wine-windows-x64-last.log"
done
echo
echo "the test kit under Wine 8 (test program runs):"
for arch in win32 win64; do echo "  $arch prefix: $(tail -n 1 "$logs/kit-$arch.txt")"; done
echo "ctest entries under each Wine (one per test program and prefix):"
wine8=$(scripts/i386.sh scripts/wine-run.sh --version | cut -d' ' -f1)
wine10=$(scripts/i386.sh scripts/wine10.sh sh -c '"$VORLANE_WINE" --version' | cut -d' ' -f1)
echo "$wine10: $(wine_entries "$logs"/wine10-*.txt)"
echo "$wine8: $(wine_entries "$logs"/wine8-*.txt)"
# What the run keeps on disk (machines with little room fail in the middle, with no other sign).
cache=${VORLANE_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/vorlane-setup}
echo "disk: the build trees $(du -sh build | cut -f1), the cache (with the Debian 13 root) $(du -sh "$cache" | cut -f1)"
if [ "$failed" != 0 ]; then
  echo "tests FAILED after $(( $(date +%s) - start )) s"
  exit 1
fi
echo "all tests passed in $(( $(date +%s) - start )) s"
