#!/usr/bin/env bash
# setup-pack against the xz program, run by hand from the repository's top directory (prints
# figures, checks nothing):
#   bench/pack.sh [BUILD-DIR]
# BUILD-DIR (default build/windows) holds the native setup-pack and setup-stub.exe; it is
# configured and built when missing. On the 70 MB stand-in package of bench/payload-data.pl,
# in alternating runs (BENCH_RUNS, default 3):
#   1. the time of `setup-pack setup-stub.exe PACKAGE OUT` against
#      `xz --format=xz --check=crc64 -9 -T1` of the same file (target: at most 1.05 times),
#      wall and CPU (user + system; the steadier figure on a shared machine);
#   2. the peak resident memory of both (target: setup-pack at most xz's plus 32 MiB, whatever
#      the package's size);
#   3. `setup-pack --threads 0` (one thread per core) against `xz -9 -T0` (target: at most
#      1.03 times) and against `xz -9 -T1`, by the clock, and the peak memory of the first two
#      (the same target as 2);
#   4. the same as 3 without the `xz -9 -T1` run, on a 1 GB package of the same kind (made once
#      by bench/payload-data.pl and kept in BUILD-DIR/bench/pack/large.bin), in BENCH_LARGE_RUNS
#      runs (default 1: one pair takes about 13 minutes on two cores).
# The load average is printed with each section: on a shared machine the ratios move with it.
# PACKAGE may be given instead of the stand-in: BENCH_PACKAGE=/path/to/big.bin. BENCH_SECTIONS
# picks what runs: "single" (1 and 2), "threads" (3; no one-thread setup-pack run, which takes
# hours on a gigabyte), "large" (4), default all three.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
build=$(realpath -m "${1:-build/windows}")
runs=${BENCH_RUNS:-3}
large_runs=${BENCH_LARGE_RUNS:-1}
sections=${BENCH_SECTIONS:-single threads large}
slack_kib=$((32 * 1024))

[ -f "$build/CMakeCache.txt" ] || cmake --preset windows -B "$build" >/dev/null
cmake --build "$build" -j2 --target setup_stub setup_pack_native >/dev/null
work=$build/bench/pack
mkdir -p "$work"
package=${BENCH_PACKAGE:-$work/package.bin}
[ -f "$package" ] || { echo "== making the 70 MB package"; perl bench/payload-data.pl "$package"; }

# Prints "wall-seconds cpu-seconds peak-KiB" of one command.
measure() {
  /usr/bin/time -f "%e %U %S %M" -o "$work/time.txt" "$@" >/dev/null
  awk '{ print $1, $2 + $3, $4 }' "$work/time.txt"
}

if [[ " $sections " == *" single "* ]]; then
echo "== $runs alternating runs on $(stat -c %s "$package") bytes"
xz_total=0 pack_total=0 xz_cpu=0 pack_cpu=0 xz_peak=0 pack_peak=0
for _ in $(seq "$runs"); do
  read -r xt xc xm < <(measure sh -c 'exec xz --format=xz --check=crc64 -9 -T1 -c "$0" > "$1"' \
                      "$package" "$work/package.xz")
  read -r pt pc pm < <(measure "$build/setup-pack" --keep-branding "$build/setup-stub.exe" "$package" "$work/setup.exe")
  printf '  xz %6.2f s (CPU %6.2f s) %8d KiB   setup-pack %6.2f s (CPU %6.2f s) %8d KiB\n' \
    "$xt" "$xc" "$xm" "$pt" "$pc" "$pm"
  xz_total=$(awk "BEGIN { print $xz_total + $xt }") pack_total=$(awk "BEGIN { print $pack_total + $pt }")
  xz_cpu=$(awk "BEGIN { print $xz_cpu + $xc }") pack_cpu=$(awk "BEGIN { print $pack_cpu + $pc }")
  [ "$xm" -gt "$xz_peak" ] && xz_peak=$xm
  [ "$pm" -gt "$pack_peak" ] && pack_peak=$pm
done
awk "BEGIN { printf \"time ratio setup-pack / xz: wall %.3f, CPU %.3f (target <= 1.05)\\n\", \
  $pack_total / $xz_total, $pack_cpu / $xz_cpu }"
printf 'peak memory: setup-pack %d KiB, xz %d KiB + 32 MiB = %d KiB (target: at most that)\n' \
  "$pack_peak" "$xz_peak" $((xz_peak + slack_kib))
fi

# Section 3 or 4: threads runs alternating on package ($1), $2 times; with xz -T1 too when $3 is 1.
threads_section() {
  local package=$1 runs=$2 with_t1=$3
  echo "== threads: $runs alternating runs on $(stat -c %s "$package") bytes, one thread per core ($(nproc) here); load$(cut -d' ' -f1-3 /proc/loadavg | sed 's/^/ /')"
  local t0_total=0 t1_total=0 pack_total=0 t0_peak=0 pack_peak=0 t0 t0m pt pm t1=0
  for _ in $(seq "$runs"); do
    read -r t0 _ t0m < <(measure sh -c 'exec xz --format=xz --check=crc64 -9 -T0 -c "$0" > "$1"' \
                        "$package" "$work/package.xz")
    read -r pt _ pm < <(measure "$build/setup-pack" --keep-branding --threads 0 \
                        "$build/setup-stub.exe" "$package" "$work/setup.exe")
    if [ "$with_t1" = 1 ]; then
      read -r t1 _ _ < <(measure sh -c 'exec xz --format=xz --check=crc64 -9 -T1 -c "$0" > "$1"' \
                        "$package" "$work/package.xz")
    fi
    printf '  xz -T0 %7.2f s %8d KiB   setup-pack --threads 0 %7.2f s %8d KiB' "$t0" "$t0m" "$pt" "$pm"
    [ "$with_t1" = 1 ] && printf '   xz -T1 %7.2f s' "$t1"
    echo
    t0_total=$(awk "BEGIN { print $t0_total + $t0 }") t1_total=$(awk "BEGIN { print $t1_total + $t1 }")
    pack_total=$(awk "BEGIN { print $pack_total + $pt }")
    [ "$t0m" -gt "$t0_peak" ] && t0_peak=$t0m
    [ "$pm" -gt "$pack_peak" ] && pack_peak=$pm
  done
  awk "BEGIN { printf \"time ratio setup-pack --threads 0 / xz -T0: %.3f (target <= 1.03)\", $pack_total / $t0_total }"
  [ "$with_t1" = 1 ] && awk "BEGIN { printf \"; / xz -T1: %.3f\", $pack_total / $t1_total }"
  echo
  printf 'peak memory: setup-pack --threads 0 %d KiB, xz -T0 %d KiB + 32 MiB = %d KiB (target: at most that; %+.1f MiB over xz)\n' \
    "$pack_peak" "$t0_peak" $((t0_peak + slack_kib)) "$(awk "BEGIN { print ($pack_peak - $t0_peak) / 1024 }")"
}

if [[ " $sections " == *" threads "* ]]; then
  [[ " $sections " == *" single "* ]] && echo
  threads_section "$package" "$runs" 1
fi

if [[ " $sections " == *" large "* ]]; then
  [[ " $sections " == *" single "* || " $sections " == *" threads "* ]] && echo
  large=$work/large.bin
  [ -f "$large" ] || { echo "== making the 1 GB package"; perl bench/payload-data.pl "$large" 1073741824; }
  threads_section "$large" "$large_runs" 0
fi
