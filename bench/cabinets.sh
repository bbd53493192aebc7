#!/usr/bin/env bash
# Compressed cabinets, run by hand from the repository's top directory (prints figures, checks
# nothing):
#   bench/cabinets.sh [BUILD-DIR]
# BUILD-DIR (default build/windows) holds the native setup-pack and setup-stub.exe; it is
# configured and built when missing. A package of about 75 MB of real shared libraries (the
# regular files /usr/lib/x86_64-linux-gnu/*.so.*, by name, until 75 MB are reached; so the same
# machine gives the same list; files over 10 MB are passed over) is built by wixl with its MSZIP cabinet; then:
#   1. the package's size and setup-pack's cabinet hint for it;
#   2. setup-pack's time and output without and with --store-cabinets, and the payload (the
#      output less the stub) of each.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
build=$(realpath -m "${1:-build/windows}")

[ -f "$build/CMakeCache.txt" ] || cmake --preset windows -B "$build" >/dev/null
cmake --build "$build" -j2 --target setup_stub setup_pack_native >/dev/null
work=$build/bench/cabinets
mkdir -p "$work/files"
package=$work/libraries.msi

if [ ! -f "$package" ]; then
  total=0 n=0
  {
    echo '<?xml version="1.0" encoding="utf-8"?>'
    echo '<Wix xmlns="http://schemas.microsoft.com/wix/2006/wi">'
    echo '<Product Id="2B6E0A1C-7D35-4E9F-8A2B-3C4D5E6F7A8B" Name="Libraries" Language="1033" Version="1.0.0"'
    echo '  Manufacturer="Bench" UpgradeCode="3C7F1B2D-8E46-4FA0-9B3C-4D5E6F7A8B9C">'
    echo '<Package InstallerVersion="200" Compressed="yes" InstallScope="perMachine"/>'
    echo '<Media Id="1" Cabinet="libraries.cab" EmbedCab="yes"/>'
    echo '<Directory Id="TARGETDIR" Name="SourceDir"><Directory Id="ProgramFilesFolder">'
    echo '<Directory Id="LIBS_DIR" Name="Libraries"><Component Id="Libraries" Guid="4D8A2C3E-9F57-40B1-AC4D-5E6F7A8B9CAD">'
    for f in $(find /usr/lib/x86_64-linux-gnu -maxdepth 1 -type f -name '*.so.*' | LC_ALL=C sort); do
      [ "$total" -ge 75000000 ] && break
      [ "$(stat -c %s "$f")" -gt 10000000 ] && continue
      n=$((n + 1))
      cp "$f" "$work/files/lib$n.so"
      echo "<File Id=\"lib$n\" Name=\"$(basename "$f")\" Source=\"files/lib$n.so\"/>"
      total=$((total + $(stat -c %s "$f")))
    done
    echo '</Component></Directory></Directory></Directory>'
    echo '<Feature Id="Complete" Level="1"><ComponentRef Id="Libraries"/></Feature>'
    echo '</Product></Wix>'
  } > "$work/libraries.wxs"
  echo "== $n libraries, $total bytes, into an MSZIP package (wixl)"
  (cd "$work" && wixl -o "$package" libraries.wxs)
fi

stub=$(stat -c %s "$build/setup-stub.exe")
# Prints "wall-seconds" of one command; its stderr is kept in $work/stderr.txt.
measure() {
  /usr/bin/time -f "%e" -o "$work/time.txt" "$@" >/dev/null 2>"$work/stderr.txt"
  cat "$work/time.txt"
}

echo "== package: $(stat -c %s "$package") bytes"
t=$(measure "$build/setup-pack" "$build/setup-stub.exe" "$package" "$work/plain.exe")
echo "hint: $(cat "$work/stderr.txt")"
plain=$(stat -c %s "$work/plain.exe")
printf 'setup-pack:                  %7.2f s, setup.exe %d bytes, payload about %d bytes\n' \
  "$t" "$plain" $((plain - stub))
t=$(measure "$build/setup-pack" --store-cabinets "$build/setup-stub.exe" "$package" "$work/stored.exe")
stored=$(stat -c %s "$work/stored.exe")
printf 'setup-pack --store-cabinets: %7.2f s, setup.exe %d bytes, payload about %d bytes\n' \
  "$t" "$stored" $((stored - stub))
[ -s "$work/stderr.txt" ] && echo "  stderr: $(cat "$work/stderr.txt")"
awk "BEGIN { printf \"payload with --store-cabinets / without: %.3f\\n\", ($stored - $stub) / ($plain - $stub) }"
