#!/usr/bin/env bash
# The main job: pack the demo package into the 32-bit stub with setup-pack, run the resulting
# setup.exe under Wine in a 64-bit prefix with the real Windows Installer, and show what got
# installed and the exit code.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
root=$PWD

bash scripts/bootstrap.sh >/dev/null

echo "== building setup-pack and the payload-free 32-bit stub"
cmake --preset windows >/dev/null
cmake --build --preset windows --target setup_stub setup_pack_native vorlane_examples runwait >/dev/null
build=$root/build/windows
mkdir -p "$build/demo"
# wixl compresses the demo package's cabinet; --store-cabinets packs it stored, which xz
# compresses better. The plain pack, without the option, only shows what that saves.
echo "== packing the demo package: setup-pack --store-cabinets setup-stub.exe demo.msi setup.exe"
"$build/setup-pack" --store-cabinets "$build/setup-stub.exe" "$build/examples/demo.msi" "$build/demo/setup.exe"
"$build/setup-pack" "$build/setup-stub.exe" "$build/examples/demo.msi" "$build/demo/plain.exe" 2>/dev/null
ls -l "$build/setup-stub.exe" "$build/demo/setup.exe"
plain=$(stat -c %s "$build/demo/plain.exe") stored=$(stat -c %s "$build/demo/setup.exe")
rm -f "$build/demo/plain.exe"
echo "   --store-cabinets saved $((plain - stored)) bytes: $stored instead of $plain"

# i386.sh lets the 32-bit programs run where the kernel refuses 32-bit code.
export WINEPREFIX=$build/wine/demo
echo "== preparing the 64-bit Wine prefix $WINEPREFIX"
scripts/i386.sh scripts/wine-prefix.sh "$WINEPREFIX" win64

installdir="$WINEPREFIX/drive_c/Program Files (x86)/Vorlane Demo"
rm -rf "$installdir"
echo "== running: setup.exe --quiet /qn   (unattended; --quiet also skips the 32-bit question)"
set +e
scripts/i386.sh scripts/wine-run.sh "$build/tests/e2e/runwait.exe" "$build/demo/setup.exe" --quiet /qn
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
