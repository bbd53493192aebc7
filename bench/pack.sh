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
#      runs (default 1: one pair takes about 13 minutes on two cores);
#   5. `setup-pack --threads 0` without and with --store-cabinets on a package whose one
#      MSZIP cabinet holds about 390 MB (eight files of 40 MiB of noise and the 70 MB stand-in,
#      built once by wixl into BUILD-DIR/bench/pack/store): time and peak memory of each
#      (target: the peak with --store-cabinets at most the plain pack's plus 64 MiB).
# The load average is printed with each section: on a shared machine the ratios move with it.
# PACKAGE may be given instead of the stand-in: BENCH_PACKAGE=/path/to/big.bin. BENCH_SECTIONS
# picks what runs: "single" (1 and 2), "threads" (3; no one-thread setup-pack run, which takes
# hours on a gigabyte), "large" (4), "store" (5), default all four.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
build=$(realpath -m "${1:-build/windows}")
runs=${BENCH_RUNS:-3}
large_runs=${BENCH_LARGE_RUNS:-1}
sections=${BENCH_SECTIONS:-single threads large store}
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

if [[ " $sections " == *" store "* ]]; then
  [[ " $sections " != " store " ]] && echo
  store=$work/store
  if [ ! -f "$store/store.msi" ]; then
    echo "== making the package with a large cabinet (wixl)"
    mkdir -p "$store/files"
    # Noise that the same key gives on every machine, and the stand-in's mix of text and noise.
    for n in 1 2 3 4 5 6 7 8; do
      head -c $((40 * 1048576)) /dev/zero |
        openssl enc -aes-128-ctr -nosalt -K "$(printf '%032x' "$n")" -iv 0 2>/dev/null \
          >"$store/files/noise$n.bin"
    done
    cp "$package" "$store/files/standin.bin"
    {
      echo '<?xml version="1.0" encoding="utf-8"?>'
      echo '<Wix xmlns="http://schemas.microsoft.com/wix/2006/wi">'
      echo '<Product Id="5C1D2E3F-4A5B-4C6D-8E7F-90A1B2C3D4E5" Name="Store" Language="1033" Version="1.0.0"'
      echo '  Manufacturer="Bench" UpgradeCode="6D2E3F4A-5B6C-4D7E-9F80-A1B2C3D4E5F6">'
      echo '<Package InstallerVersion="200" Compressed="yes" InstallScope="perMachine"/>'
      echo '<Media Id="1" Cabinet="store.cab" EmbedCab="yes"/>'
      echo '<Directory Id="TARGETDIR" Name="SourceDir"><Directory Id="ProgramFilesFolder">'
      echo '<Directory Id="STORE_DIR" Name="Store"><Component Id="Files" Guid="7E3F4A5B-6C7D-4E8F-A091-B2C3D4E5F6A7">'
      for f in "$store"/files/*.bin; do
        echo "<File Id=\"$(basename "$f" .bin)\" Name=\"$(basename "$f")\" Source=\"files/$(basename "$f")\"/>"
      done
      echo '</Component></Directory></Directory></Directory>'
      echo '<Feature Id="Complete" Level="1"><ComponentRef Id="Files"/></Feature>'
      echo '</Product></Wix>'
    } >"$store/store.wxs"
    (cd "$store" && wixl -o store.msi.new store.wxs && mv store.msi.new store.msi)
    rm -f "$store"/files/*.bin
  fi
  echo "== --store-cabinets: $(stat -c %s "$store/store.msi") bytes, one thread per core; load$(cut -d' ' -f1-3 /proc/loadavg | sed 's/^/ /')"
  read -r pt _ pm < <(measure "$build/setup-pack" --keep-branding --threads 0 \
                      "$build/setup-stub.exe" "$store/store.msi" "$work/setup.exe")
  read -r st _ sm < <(measure "$build/setup-pack" --keep-branding --threads 0 --store-cabinets \
                      "$build/setup-stub.exe" "$store/store.msi" "$work/setup.exe")
  printf '  plain %7.2f s %8d KiB   --store-cabinets %7.2f s %8d KiB (%+.2f s)\n' \
    "$pt" "$pm" "$st" "$sm" "$(awk "BEGIN { print $st - $pt }")"
  printf 'peak memory: --store-cabinets %d KiB, plain %d KiB + 64 MiB = %d KiB (target: at most that; %+.1f MiB)\n' \
    "$sm" "$pm" $((pm + 65536)) "$(awk "BEGIN { print ($sm - $pm) / 1024 }")"
  rm -f "$work/setup.exe"
fi
