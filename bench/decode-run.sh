#!/usr/bin/env bash
# One run of "SETUP.EXE --quiet --xzdec" in WORKDIR under Wine (WINEPREFIX set by the caller;
# for a 32-bit SETUP.EXE run it under scripts/i386.sh; BENCH_WINE names the loader). Prints
# "SECONDS PEAK-RSSANON-KIB" and removes the decoded file. Used by bench/payload.sh.
#   decode-run.sh SETUP.EXE WORKDIR
#   decode-run.sh --xz XZ.EXE PAYLOAD.XZ THREADS WORKDIR   (xz -dc -TTHREADS into WORKDIR)
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
. "$here/scripts/wine-env.sh"
# The loader that runs SETUP.EXE in its own process (payload.sh names wine64 for 64-bit ones).
VORLANE_WINE=${BENCH_WINE:-$VORLANE_WINE}
if [ "$1" = --xz ]; then
  work=$5
  command=("$VORLANE_WINE" "$(realpath "$2")" -dc "-T$4" "Z:$(realpath "$3" | tr / '\\')")
  output=("$work/xz.msi")
else
  work=$2
  command=("$VORLANE_WINE" "$(realpath "$1")" --quiet --xzdec)
  output=()
fi
mkdir -p "$work"
rm -f "$work"/*.msi "$work"/msi*.tmp
# Wine's server outlives the run otherwise, and its start would count in the next one.
"$VORLANE_WINE" cmd /c exit </dev/null >/dev/null 2>&1 || true
start=$(date +%s%N)
if [ ${#output[@]} -ne 0 ]; then
  (cd "$work" && exec "${command[@]}" </dev/null >"${output[0]}") &
else
  (cd "$work" && exec "${command[@]}" </dev/null) &
fi
pid=$!
peak=0
while status=$(cat "/proc/$pid/status" 2>/dev/null); do
  anon=$(awk '/^RssAnon:/ { print $2 }' <<<"$status")
  [ -n "$anon" ] && [ "$anon" -gt "$peak" ] && peak=$anon
  sleep 0.02
done
wait "$pid"
end=$(date +%s%N)
ls "$work"/*.msi >/dev/null
rm -f "$work"/*.msi
awk -v ns=$((end - start)) -v p="$peak" 'BEGIN { printf "%.3f %d\n", ns / 1e9, p }'
