#!/usr/bin/env bash
# Creates and warms a Wine prefix for tests (idempotent):
#   wine-prefix.sh DIR win64|win32 [--stand-in MSIEXEC.EXE | --log-pixels DPI]
# The null graphics driver lets windows and message boxes exist, block and be answered
# without a display. --stand-in puts a program of the tests in place of msiexec.exe;
# --log-pixels sets the screen's DPI, which takes effect as the prefix's server starts again.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
dir=$1 arch=$2 standin=
dpi=
[ "${3:-}" = --stand-in ] && standin=$4
[ "${3:-}" = --log-pixels ] && dpi=$4
. "$here/wine-env.sh"

# Each prefix holds its own copy of Wine's programs and libraries: 0.6 GB in a 32-bit prefix,
# 1.2 GB in a 64-bit one, a dozen prefixes to a test run. The new prefix's system files that
# match a finished sibling's in name and bytes become links to them, so that the prefixes of one
# directory share one copy. Nothing writes into them in place: Wine replaces them only when it
# updates a prefix, with the same bytes in every prefix of that version.
share_with_siblings() {
  command -v hardlink >/dev/null || return 0
  local dirs=() other sys
  for other in "$WINEPREFIX" "$(dirname "$WINEPREFIX")"/*/; do
    [ "$other" = "$WINEPREFIX" ] || [ -f "$other/.vorlane-ready" ] || continue
    for sys in system32 syswow64 winsxs; do
      [ -d "$other/drive_c/windows/$sys" ] && dirs+=("$other/drive_c/windows/$sys")
    done
  done
  hardlink --quiet --ignore-time --respect-name "${dirs[@]}" || true
}

mkdir -p "$dir"
export WINEPREFIX=$(cd "$dir" && pwd)
if [ ! -f "$WINEPREFIX/.vorlane-ready" ]; then
  if [ "$arch" = win32 ]; then export WINEARCH=win32; else export WINEARCH=win64; fi
  # (A 64-bit prefix made where only the 64-bit loader runs has an empty syswow64: no 32-bit
  # program starts in it later.)
  "$VORLANE_WINE" wineboot --init >/dev/null 2>&1 </dev/null
  "$VORLANE_WINE" reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f >/dev/null 2>&1 </dev/null
  if [ -n "$standin" ]; then
    "$VORLANE_WINE" reg add 'HKCU\Software\Wine\DllOverrides' /v msiexec.exe /d native /f >/dev/null 2>&1 </dev/null
  fi
  wineserver -w </dev/null >/dev/null 2>&1
  share_with_siblings
  touch "$WINEPREFIX/.vorlane-ready"
fi
if [ -n "$standin" ]; then
  # Every system directory a program of either width may look in. The file is replaced, never
  # written into: it may be a link shared with other prefixes.
  for sys in system32 syswow64; do
    if [ -d "$WINEPREFIX/drive_c/windows/$sys" ]; then
      rm -f "$WINEPREFIX/drive_c/windows/$sys/msiexec.exe"
      cp "$standin" "$WINEPREFIX/drive_c/windows/$sys/msiexec.exe"
    fi
  done
fi
if [ -n "$dpi" ]; then
  "$VORLANE_WINE" reg add 'HKLM\System\CurrentControlSet\Hardware Profiles\Current\Software\Fonts' \
    /v LogPixels /t REG_DWORD /d "$dpi" /f >/dev/null 2>&1 </dev/null
  wineserver -k </dev/null >/dev/null 2>&1 || true
  wineserver -w </dev/null >/dev/null 2>&1 || true
fi
# A server started here in a namespace of i386.sh's own would not see what the tests mount
# later: the tests start their own.
if [ -n "${VORLANE_I386_OWN_NAMESPACE:-}" ]; then
  wineserver -k </dev/null >/dev/null 2>&1 || true
  exit 0
fi
# Warm it: a server that stays up, and Wine's helper processes started away from any pipe.
# (-p fails harmlessly when the server already runs; its output must not hold a caller's pipe.)
# A warm-up that hangs (seen once with Wine 10 on a heavily loaded machine) is ended and tried
# once more with a fresh server, rather than holding every test of the prefix until its time-out.
wineserver -p >/dev/null 2>&1 </dev/null || true
if ! timeout 90 "$VORLANE_WINE" cmd /c exit >/dev/null 2>&1 </dev/null; then
  wineserver -k >/dev/null 2>&1 </dev/null || true
  wineserver -p >/dev/null 2>&1 </dev/null || true
  timeout 90 "$VORLANE_WINE" cmd /c exit >/dev/null 2>&1 </dev/null || true
fi
