#!/usr/bin/env bash
# The main job: pack the demo package into the stub with setup-pack, run the resulting
# setup.exe under Wine with the real Windows Installer, and show what got installed and the
# exit code.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
root=$PWD

bash scripts/bootstrap.sh >/dev/null

# The shipped build is 32-bit; where this kernel cannot run 32-bit code, the 64-bit bench
# build of the same sources runs instead.
if /usr/lib/wine/wine --version >/dev/null 2>&1; then preset=windows; else preset=windows-x64; fi
echo "== building setup-pack and the payload-free stub (preset $preset)"
cmake --preset "$preset" >/dev/null
cmake --build --preset "$preset" --target setup_stub setup_pack_native vorlane_examples runwait >/dev/null
build=$root/build/$preset
mkdir -p "$build/demo"
echo "== packing the demo package: setup-pack setup-stub.exe demo.msi setup.exe"
"$build/setup-pack" "$build/setup-stub.exe" "$build/examples/demo.msi" "$build/demo/setup.exe"
ls -l "$build/setup-stub.exe" "$build/demo/setup.exe"

export WINEPREFIX=$build/wine/demo
echo "== preparing the Wine prefix $WINEPREFIX"
scripts/wine-prefix.sh "$WINEPREFIX" win64
. scripts/wine-env.sh

installdir="$WINEPREFIX/drive_c/Program Files (x86)/Vorlane Demo"
[ -d "$WINEPREFIX/drive_c/Program Files (x86)" ] || installdir="$WINEPREFIX/drive_c/Program Files/Vorlane Demo"
rm -rf "$installdir"
echo "== running: setup.exe --quiet /qn   (unattended; --quiet also skips the 32-bit question)"
set +e
"$VORLANE_WINE" "$build/tests/e2e/runwait.exe" "$build/demo/setup.exe" --quiet /qn
code=$?
set -e

rel=${installdir#$WINEPREFIX/drive_c/}
echo "== installed under C:\\$(printf %s "$rel" | tr / '\\\\')"
if [ -d "$installdir" ]; then
  (cd "$installdir" && find . -type f -printf '%10s  %P\n' | sort -k2)
  echo "== readme.txt"
  cat "$installdir/readme.txt" 2>/dev/null | tr -d '\r'
  echo
else
  echo "(nothing)"
fi
echo "== the decoded package left in the temporary directory (expected: none)"
ls "$WINEPREFIX/drive_c/users/$(id -un)/Temp/" 2>/dev/null | grep -i '\.msi$\|^msi' || echo "(none)"
wineserver -k || true
echo "== exit code (low 8 bits as the shell sees it): $code"
exit "$code"
