#!/usr/bin/env bash
# run-kit.sh KIT.zip PREFIX win32|win64: runs the test kit as a user on Windows would, under
# Wine: PREFIX is made afresh, the kit unpacked into a fresh directory in it (C:\kit) and its
# run-tests.cmd run by cmd with no argument. Passes when run-tests.cmd does and has left the
# prefix's temporary directory and its list of installed products as they were. Prints
# run-tests.cmd's output, its last line "N passed, M failed". Run it under scripts/i386.sh.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
zip=$(cd "$(dirname "$1")" && pwd)/$(basename "$1") prefix=$2 arch=$3
rm -rf "$prefix"
# The kit runs in this process's namespace, whoever made it: the prefix's server stays up here.
env -u VORLANE_I386_OWN_NAMESPACE bash "$here/wine-prefix.sh" "$prefix" "$arch"
export WINEPREFIX=$(cd "$prefix" && pwd)
. "$here/wine-env.sh"
mkdir "$WINEPREFIX/drive_c/kit"
(cd "$WINEPREFIX/drive_c/kit" && cmake -E tar xf "$zip")
top=$(basename "$zip" .zip)
# What a run might leave: files in the temporary directory, products in the uninstall list.
state() {
  find "$WINEPREFIX/drive_c/users" -ipath '*/temp/*' | sort
  "$VORLANE_WINE" reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall' 2>/dev/null </dev/null | tr -d '\r'
}
before=$(state)
rc=0
(cd "$WINEPREFIX/drive_c/kit" && "$VORLANE_WINE" cmd /c "C:\\kit\\$top\\run-tests.cmd" </dev/null) \
  2>&1 | tr -d '\r' || rc=$?
after=$(state)
wineserver -k 2>/dev/null || true
if [ "$before" != "$after" ]; then
  echo "run-kit.sh: the kit's run left these behind:"
  diff <(echo "$before") <(echo "$after") || true
  exit 1
fi
exit $rc
