#!/usr/bin/env bash
# Takes the README's pictures: the 32-bit question and the error dialog, shown by real setup
# builds under Wine's X11 driver on a virtual display. Writes docs/*.png.
#   scripts/screenshots.sh              configures and builds the windows-x64 preset first
#   scripts/screenshots.sh BUILD_DIR    uses that build as it is (the docs target does this)
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
root=$PWD
build=${1:-}
[ -n "$build" ] || bash scripts/bootstrap.sh >/dev/null
if ! command -v Xvfb >/dev/null || ! command -v import >/dev/null || ! command -v xdotool >/dev/null; then
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends \
    xvfb imagemagick xdotool x11-utils fonts-dejavu-core >/dev/null
fi
if [ -z "$build" ]; then
  build=$root/build/windows-x64
  cmake --preset windows-x64 >/dev/null
  cmake --build --preset windows-x64 --target e2e_wow64 e2e_nopayload >/dev/null
fi
bin=$build/tests/e2e/bin

export DISPLAY=:97
Xvfb "$DISPLAY" -screen 0 800x600x24 >/dev/null 2>&1 &
xvfb=$!
trap 'kill $xvfb 2>/dev/null || true; WINEPREFIX=$WINEPREFIX wineserver -k 2>/dev/null || true' EXIT
sleep 1

# A prefix of its own with Wine's X11 driver (the test prefixes use the null driver).
export WINEPREFIX=$build/wine/screenshots
. scripts/wine-env.sh
if [ ! -f "$WINEPREFIX/.vorlane-ready" ]; then
  mkdir -p "$WINEPREFIX"
  WINEARCH=win64 "$VORLANE_WINE" wineboot --init >/dev/null 2>&1 </dev/null
  # No window manager runs: Wine draws the title bars itself.
  "$VORLANE_WINE" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1 </dev/null
  wineserver -w
  touch "$WINEPREFIX/.vorlane-ready"
fi
mkdir -p "$WINEPREFIX/drive_c/Vorlane"
cp "$bin/wow64/setup.exe" "$WINEPREFIX/drive_c/Vorlane/setup.exe"
mkdir -p "$WINEPREFIX/drive_c/Broken"
cp "$bin/nopayload/setup.exe" "$WINEPREFIX/drive_c/Broken/setup.exe"

# shot EXE OUT.png: runs the program, photographs its dialog, closes it.
shot() {
  "$VORLANE_WINE" "$1" >/dev/null 2>&1 &
  local pid=$! win=""
  for _ in $(seq 100); do
    win=$(xdotool search --onlyvisible --name 'setup' 2>/dev/null | head -n 1) && [ -n "$win" ] && break
    sleep 0.2
  done
  [ -n "$win" ] || { echo "no dialog from $1" >&2; kill $pid; return 1; }
  sleep 1
  import -window "$win" -frame "$2"
  xdotool key --window "$win" Escape 2>/dev/null || true
  sleep 0.5
  kill $pid 2>/dev/null || true
  wineserver -k 2>/dev/null || true
  echo "wrote $2"
}
shot 'C:\Vorlane\setup.exe' docs/wow64-question.png
shot 'C:\Broken\setup.exe' docs/error-dialog.png
