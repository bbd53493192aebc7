#!/usr/bin/env bash
# Payload benchmarks, run by hand from the repository's top directory (they print figures and
# check nothing):
#   bench/payload.sh [X64-BUILD-DIR [I686-BUILD-DIR]]
# Defaults: build/windows-x64 (the bench build that runs under Wine here) and build/windows
# (the 32-bit product build, only built, for the size). Missing build directories are
# configured with the presets. What is measured:
#   1. setup_xzDecodeToFile writing a file against lzma_stream_buffer_decode into memory, on a
#      70 MB package (28 MB packed), in one process (target: at most 1.10 times), and the
#      cost of the lock on the decoded package against that decode (target: at most 2 %);
#   2. "setup.exe --quiet --xzdec" carrying that payload against what a user would run
#      instead: the stock xz.exe ("xz -dc"), built by the bootstrap from the same xz-utils
#      source with that source's own defaults (its CMake Release build), on the same payload,
#      both under Wine, writing to the same directory, paired runs (target: at most 1.00
#      times);
#   3. the peak private memory of setup.exe while it decodes; the payload is paged in from
#      the executable's file and is not part of it (target: at most 72 MiB);
#   4. the size of the 32-bit setup.exe without a payload (target: at most 100 KiB);
#   5. decoding at size: "setup.exe --quiet --xzdec" of both builds (the 32-bit one in a 32-bit
#      prefix, emulated here) on the 70 MB package and on a 1 GB one of the same kind, packed by
#      setup-pack --threads 0: time per decoded MB and peak private memory (target: the time
#      per MB the same at both sizes, the memory flat). The 1 GB package and its two
#      executables are made once and kept in X64-BUILD-DIR/bench/large (about 15 minutes on
#      two cores);
#   6. decoding on every core: payloads in blocks (280 MB; BENCH_BLOCK_SIZES="280M 1G" adds
#      the gigabyte), both builds, against the stock xz.exe -dc -T0 and -T1 on the same payload
#      (targets: at most 1.05 times -T0 and 0.60 times -T1 on two cores), and the peak private
#      memory of each.
# BENCH_PARTS picks the sections (default "1 2 3 4 5 6"; BENCH_LARGE=0 leaves 5 and 6 out).
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
root=$PWD
x64=$(realpath -m "${1:-build/windows-x64}")
i686=$(realpath -m "${2:-build/windows}")
runs=${BENCH_RUNS:-9}
parts=${BENCH_PARTS:-1 2 3 4 5 6}
[ "${BENCH_LARGE:-1}" = 0 ] && parts=${parts//[56]/}
part() { [[ " $parts " == *" $1 "* ]]; }

[ -f "$x64/CMakeCache.txt" ] || cmake --preset windows-x64 -B "$x64" >/dev/null
[ -f "$i686/CMakeCache.txt" ] || cmake --preset windows -B "$i686" >/dev/null
echo "== building (the first time makes and packs the 70 MB package: about a minute)"
cmake --build "$x64" -j2 --target bench_payload_decode bench_payload_setup >/dev/null
cmake --build "$i686" -j2 --target bench_setup_nopayload >/dev/null

data=$x64/bench/payload
setup_exe=$data/bin/setup.exe
xz_exe=$(awk -F= '$1 == "VORLANE_DEPS_PREFIX:PATH" { print $2 }' "$x64/CMakeCache.txt")/bin/xz.exe
work=$data/work
mkdir -p "$work"
win() { echo "Z:${1//\//\\}"; }

export WINEPREFIX=$x64/wine/bench
scripts/wine-prefix.sh "$WINEPREFIX" win64
. scripts/wine-env.sh
# The 64-bit programs are timed and watched in the process that runs them: the 32-bit loader,
# where it can run, would start the 64-bit one as a child and measure only itself.
[ -x /usr/lib/wine/wine64 ] && VORLANE_WINE=/usr/lib/wine/wine64
wine_run() { "$VORLANE_WINE" "$@"; }
now() { date +%s%N; }
seconds() { awk -v ns="$1" 'BEGIN { printf "%.3f", ns / 1e9 }'; }
median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

payload_size=$(stat -c %s "$data/package.xz")
decoded_size=$(stat -c %s "$data/package.bin")
echo "== payload: $payload_size bytes packed, $decoded_size bytes decoded"

if part 1; then
echo
echo "== 1. decoder: setup_xzDecodeToFile to a file vs lzma_stream_buffer_decode to memory"
wine_run "$x64/bench/bench_payload_decode.exe" "$(win "$data/package.xz")" \
  "$(win "$work/decoded.bin")" "$runs" </dev/null
rm -f "$work/decoded.bin"

fi

if part 2; then
echo
echo "== 2. whole executable: setup.exe --quiet --xzdec vs the stock xz.exe -dc, $runs paired runs"
# Processor time (user and system, of the Wine process that runs the program) is read as well:
# on a machine shared with other work it is the steadier figure.
setup_times=() xz_times=() setup_cpu=() xz_cpu=()
# (In nanoseconds; awk's %d would stop at 2^31, 2.147 s.)
cpu_of() { awk '{ printf "%.0f", ($1 + $2) * 1e9 }' "$work/cpu.txt"; }
for i in $(seq "$runs"); do
  rm -f "$work"/*.msi "$work"/msi*.tmp "$work/xz.out"
  t0=$(now)
  (cd "$work" && /usr/bin/time -o "$work/cpu.txt" -f "%U %S" "$VORLANE_WINE" "$setup_exe" --quiet --xzdec </dev/null)
  t1=$(now)
  setup_cpu+=($(cpu_of))
  (cd "$work" && /usr/bin/time -o "$work/cpu.txt" -f "%U %S" "$VORLANE_WINE" "$xz_exe" -dc "$(win "$data/package.xz")" >"$work/xz.out" </dev/null)
  t2=$(now)
  xz_cpu+=($(cpu_of))
  setup_times+=($((t1 - t0))) xz_times+=($((t2 - t1)))
  echo "run $i: setup.exe $(seconds $((t1 - t0))) s (cpu $(seconds "${setup_cpu[-1]}") s), xz.exe $(seconds $((t2 - t1))) s (cpu $(seconds "${xz_cpu[-1]}") s)"
done
cmp "$work/setup.msi" "$data/package.bin" && cmp "$work/xz.out" "$data/package.bin" &&
  echo "both outputs equal the package"
ms=$(printf '%s\n' "${setup_times[@]}" | median)
mx=$(printf '%s\n' "${xz_times[@]}" | median)
bs=$(printf '%s\n' "${setup_times[@]}" | sort -n | head -1)
bx=$(printf '%s\n' "${xz_times[@]}" | sort -n | head -1)
echo "median: setup.exe $(seconds "$ms") s, xz.exe $(seconds "$mx") s"
echo "best:   setup.exe $(seconds "$bs") s, xz.exe $(seconds "$bx") s"
# On a machine shared with other work the best runs are the least disturbed ones.
cs=$(printf '%s\n' "${setup_cpu[@]}" | sort -n | head -1)
cx=$(printf '%s\n' "${xz_cpu[@]}" | sort -n | head -1)
echo "best processor time: setup.exe $(seconds "$cs") s, xz.exe $(seconds "$cx") s"
awk -v a="$ms" -v b="$mx" -v c="$bs" -v d="$bx" -v e="$cs" -v f="$cx" \
  'BEGIN { printf "ratio %.3f of the medians, %.3f of the best runs, %.3f of the best processor times (target at most 1.00)\n", a / b, c / d, e / f }'
rm -f "$work"/*.msi "$work/xz.out" "$work/cpu.txt"

fi

if part 3; then
echo
echo "== 3. peak memory of setup.exe --quiet --xzdec"
# The Wine process that runs setup.exe is the one started here (the loader execs in place);
# its /proc status is read every 10 ms until it ends. RssAnon is the process's private
# memory in use (heap, liblzma's dictionary, stacks, and the image sections that Wine reads
# into private pages); RssFile holds the file pages it maps, the payload among them, since
# setup-pack puts the resource section on a page of the file; VmHWM is the kernel's peak of
# all resident memory, shared libraries included.
peak_anon=0 peak_file=0 hwm=0
(cd "$work" && exec "$VORLANE_WINE" "$setup_exe" --quiet --xzdec </dev/null) &
pid=$!
while status=$(cat "/proc/$pid/status" 2>/dev/null); do
  anon=$(awk '/^RssAnon:/ { print $2 }' <<<"$status")
  file=$(awk '/^RssFile:/ { print $2 }' <<<"$status")
  h=$(awk '/^VmHWM:/ { print $2 }' <<<"$status")
  [ -n "$anon" ] && [ "$anon" -gt "$peak_anon" ] && peak_anon=$anon
  [ -n "$file" ] && [ "$file" -gt "$peak_file" ] && peak_file=$file
  [ -n "$h" ] && hwm=$h
  sleep 0.01
done
wait "$pid" || true
rm -f "$work"/*.msi
echo "peak RssFile $((peak_file / 1024)) MiB, VmHWM $((hwm / 1024)) MiB, payload $((payload_size / 1048576)) MiB"
echo "peak private memory (RssAnon): $((peak_anon / 1024)) MiB (target at most 72 MiB)"

fi

if part 4; then
echo
echo "== 4. size of the 32-bit setup.exe without a payload"
size=$(stat -c %s "$i686/bench/nopayload/setup.exe")
awk -v s="$size" 'BEGIN { printf "%d bytes = %.1f KiB (target at most 100 KiB)\n", s, s / 1024 }'
fi
wineserver -k 2>/dev/null || true

part 5 || part 6 || exit 0
large=$x64/bench/large
mkdir -p "$large"
cmake --build "$i686" -j2 --target setup_stub setup_pack_native >/dev/null
cmake --build "$x64" -j2 --target setup_stub >/dev/null
# The 32-bit build runs under the emulator in a 32-bit prefix of its own.
WINEPREFIX=$i686/wine/bench scripts/i386.sh scripts/wine-prefix.sh "$i686/wine/bench" win32

# Packs PACKAGE into DIR/setup.exe on STUB, unless that is newer than both.
pack_into() {
  local stub=$1 package=$2 dir=$3
  mkdir -p "$dir"
  if [ ! -f "$dir/setup.exe" ] || [ "$package" -nt "$dir/setup.exe" ] || [ "$stub" -nt "$dir/setup.exe" ]; then
    "$i686/setup-pack" --keep-branding --threads 0 "$stub" "$package" "$dir/setup.exe.new"
    mv "$dir/setup.exe.new" "$dir/setup.exe"
  fi
}

# Runs a bench/decode-run.sh command BENCH_SIZE_RUNS times: its times, the best and the peak.
decode_runs() {
  local s p
  times=() peak=0
  for _ in $(seq "${BENCH_SIZE_RUNS:-3}"); do
    read -r s p < <("$@")
    times+=("$s")
    [ "$p" -gt "$peak" ] && peak=$p
  done
  best=$(printf '%s\n' "${times[@]}" | sort -n | head -1)
}

if part 5; then
echo
echo "== 5. decoding at size, both builds, ${BENCH_SIZE_RUNS:-3} runs each"
[ -f "$large/package.bin" ] || perl bench/payload-data.pl "$large/package.bin" 1073741824
for size in 70M 1G; do
  package=$data/package.bin
  [ "$size" = 1G ] && package=$large/package.bin
  for arch in x64 i686; do
    dir=$large/$arch-$size stub=$x64/setup-stub.exe prefix=$x64/wine/bench run=(env BENCH_WINE=$VORLANE_WINE)
    [ "$arch" = i686 ] && stub=$i686/setup-stub.exe prefix=$i686/wine/bench run=(scripts/i386.sh)
    pack_into "$stub" "$package" "$dir"
    decode_runs env WINEPREFIX="$prefix" "${run[@]}" bench/decode-run.sh "$dir/setup.exe" "$dir/work"
    mb=$(awk -v b="$(stat -c %s "$package")" 'BEGIN { printf "%.1f", b / 1e6 }')
    awk -v t="$best" -v mb="$mb" -v p="$peak" -v a="$arch" -v s="$size" -v all="${times[*]}" \
      'BEGIN { printf "%-4s %-3s %7.1f MB: best %7.3f s (%s), %.2f ms per MB, peak private %d MiB\n", a, s, mb, t, all, t * 1000 / mb, p / 1024 }'
  done
done
[ -x /lib/ld-linux.so.2 ] && /lib/ld-linux.so.2 --version >/dev/null 2>&1 ||
  echo "(the 32-bit figures include the emulator's own memory and time)"
fi

part 6 || exit 0
echo
echo "== 6. decoding on every core: payloads in blocks, setup.exe --quiet --xzdec against the"
echo "   stock xz.exe -dc -T0 and -T1 on the same payload, $(nproc) processors, ${BENCH_SIZE_RUNS:-3} runs each"
# The sizes are those BENCH_BLOCK_SIZES names (default 280M; "280M 1G" adds the gigabyte,
# about half an hour more on two cores for its packing). The reference payload is made by the
# xz program with setup-pack's block size: the same bytes (tests/unit/pack checks that form).
# Only a 64-bit xz.exe is built, so the 32-bit setup.exe is set against it as well.
for size in ${BENCH_BLOCK_SIZES:-280M}; do
  bytes=$(numfmt --from=iec "$size")
  package=$large/blocks-$size.bin
  [ -f "$package" ] || perl bench/payload-data.pl "$package" "$bytes"
  [ -f "$package.xz" ] && [ "$package.xz" -nt "$package" ] ||
    xz -9 --check=crc64 -T2 --block-size=134217728 -c "$package" >"$package.xz"
  echo "$size: $(stat -c %s "$package") bytes, $(stat -c %s "$package.xz") packed in" \
    "$(xz --robot -lv "$package.xz" | awk '$1 == "block" { n++ } END { print n }') blocks"
  declare -A t=()
  for arch in x64 i686; do
    dir=$large/$arch-blocks-$size stub=$x64/setup-stub.exe prefix=$x64/wine/bench run=(env BENCH_WINE=$VORLANE_WINE)
    [ "$arch" = i686 ] && stub=$i686/setup-stub.exe prefix=$i686/wine/bench run=(scripts/i386.sh)
    pack_into "$stub" "$package" "$dir"
    decode_runs env WINEPREFIX="$prefix" "${run[@]}" bench/decode-run.sh "$dir/setup.exe" "$dir/work"
    t[$arch]=$best
    echo "  setup.exe $arch: best ${t[$arch]} s (${times[*]}), peak private $((peak / 1024)) MiB"
  done
  for threads in 0 1; do
    decode_runs env WINEPREFIX="$x64/wine/bench" BENCH_WINE="$VORLANE_WINE" \
      bench/decode-run.sh --xz "$xz_exe" "$package.xz" "$threads" "$large/xz-work"
    t[T$threads]=$best
    echo "  xz.exe -dc -T$threads: best ${t[T$threads]} s (${times[*]}), peak private $((peak / 1024)) MiB"
  done
  for arch in x64 i686; do
    awk -v s="${t[$arch]}" -v t0="${t[T0]}" -v t1="${t[T1]}" -v a="$arch" \
      'BEGIN { printf "  %s: %.3f x xz -dc -T0 (target <= 1.05), %.3f x xz -dc -T1 (target <= 0.60)\n", a, s / t0, s / t1 }'
  done
  unset t
done
echo "(threading memory limit: a quarter of the physical memory and, in the 32-bit build, of the"
echo " largest free address range, at most 512 MiB; $(awk '/^MemTotal:/ { printf "%d MiB", $2 / 1024 }' /proc/meminfo) here)"
