#!/usr/bin/env bash
# Takes the README's pictures: the question a 32-bit setup.exe asks on 64-bit Windows, the
# error dialog, and the progress window at 96 and 192 DPI, shown by the real 32-bit build under
# Wine's X11 driver in a 64-bit prefix on a virtual display. Writes docs/*.png.
#   scripts/screenshots.sh              configures and builds the windows preset first
#   scripts/screenshots.sh BUILD_DIR    uses that build as it is (the docs target does this)
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
root=$PWD
build=${1:+$(realpath "$1")}
if [ -z "${VORLANE_SCREENSHOTS_I386:-}" ]; then
  [ -n "$build" ] || bash scripts/bootstrap.sh >/dev/null
  if ! command -v Xvfb >/dev/null || ! command -v import >/dev/null || ! command -v xdotool >/dev/null; then
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends \
      xvfb imagemagick xdotool x11-utils fonts-dejavu-core >/dev/null
  fi
  if [ -z "$build" ]; then
    build=$root/build/windows
    cmake --preset windows >/dev/null
    cmake --build --preset windows --target e2e_nopayload e2e_slow >/dev/null
  fi
  # The rest runs where 32-bit programs can start (packages are installed outside, first).
  VORLANE_SCREENSHOTS_I386=1 exec scripts/i386.sh "$0" "$build"
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
cp "$bin/nopayload/setup.exe" "$WINEPREFIX/drive_c/Vorlane/setup.exe"
mkdir -p "$WINEPREFIX/drive_c/Vorlane/slow"
cp "$bin/slow/setup.exe" "$WINEPREFIX/drive_c/Vorlane/slow/setup.exe"

# shot OUT.png TITLE EXE [ARGS...]: runs the program, photographs its dialog (the window whose
# title matches the regular expression TITLE), closes it.
# window TITLE: the first visible window whose title matches, waited for.
window() {
  local win=""
  for _ in $(seq 100); do
    win=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -n 1) && [ -n "$win" ] && break
    sleep 0.2
  done
  echo "$win"
}
shot() {
  local out=$1 title=$2
  shift 2
  "$VORLANE_WINE" "$@" >/dev/null 2>&1 &
  local pid=$! win
  # A run of a payload asks its question first: answered Yes (the default button), again
  # until the window looked for shows.
  for _ in $(seq 100); do
    [ -n "${answer:-}" ] || break
    win=$(xdotool search --onlyvisible --name "$title" 2>/dev/null | head -n 1) && [ -n "$win" ] && break
    win=$(xdotool search --onlyvisible --name "$answer" 2>/dev/null | head -n 1) \
      && [ -n "$win" ] && { xdotool key --window "$win" Return 2>/dev/null || true; }
    sleep 0.2
  done
  win=$(window "$title")
  [ -n "$win" ] || { echo "no dialog from $*" >&2; kill $pid; return 1; }
  sleep 1
  import -window "$win" -frame "$out"
  xdotool key --window "$win" Escape 2>/dev/null || true
  sleep 0.5
  kill $pid 2>/dev/null || true
  wineserver -k 2>/dev/null || true
  echo "wrote $out"
}
# dpi N: the prefix's screen at N DPI (LogPixels, read as its server starts); 96 when the
# script ends, whatever happened.
dpi() {
  "$VORLANE_WINE" reg add 'HKLM\System\CurrentControlSet\Hardware Profiles\Current\Software\Fonts' \
    /v LogPixels /t REG_DWORD /d "$1" /f >/dev/null 2>&1 </dev/null
  wineserver -k 2>/dev/null || true
  wineserver -w
}
trap 'dpi 96; kill $xvfb 2>/dev/null || true; wineserver -k 2>/dev/null || true' EXIT
dpi 96
# Without a payload: the question comes first; with --xzdec there is none, and the missing
# payload is reported.
shot docs/error-dialog.png '^setup$' 'C:\Vorlane\setup.exe' --xzdec
shot docs/wow64-question.png 'Vorlane.setup[.]exe$' 'C:\Vorlane\setup.exe'
# The progress window of a long decode, at 96 DPI and at 192.
for d in 96 192; do
  dpi $d
  answer='Vorlane.slow.setup[.]exe$' shot docs/progress-$d.png '^setup$' 'C:\Vorlane\slow\setup.exe' /qn
done
