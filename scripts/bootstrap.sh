#!/usr/bin/env bash
# Installs what the build and the tests need on a Debian 12 machine (as root) and cross-builds
# static liblzma and libbz2 for i686-w64-mingw32 from Debian's own source packages.
# Idempotent: a second run checks and returns in seconds.
set -euo pipefail

TRIPLES=(i686-w64-mingw32 x86_64-w64-mingw32)
CACHE=${VORLANE_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/vorlane-setup}

PACKAGES=(
  g++-mingw-w64-i686-posix gcc-mingw-w64-i686-posix binutils-mingw-w64-i686
  g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64
  wine wine32:i386 wine64 wixl xz-utils cmake make dpkg-dev
  googletest libgtest-dev liblzma-dev libbz2-dev bzip2
  clang libclang-rt-14-dev libfuzzer-14-dev
  osslsigncode openssl perl ca-certificates time
  libmsi-dev libglib2.0-dev msitools libgcab-dev gcab lintian locales python3-yaml
)

missing_packages() {
  local p
  for p in "${PACKAGES[@]}"; do
    dpkg-query -W -f='${Status}\n' "$p" 2>/dev/null | grep -q '^install ok installed$' || echo "$p"
  done
}

install_packages() {
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    dpkg --add-architecture i386
  fi
  local src=/etc/apt/sources.list.d/vorlane-deb-src.sources
  if [ ! -f "$src" ]; then
    cat > "$src" <<'SRC'
Types: deb-src
URIs: http://deb.debian.org/debian
Suites: bookworm bookworm-updates
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
SRC
  fi
  local need
  need=$(missing_packages)
  if [ -n "$need" ] || [ ! -d /var/lib/apt/lists ] || ! ls /var/lib/apt/lists/*Sources* >/dev/null 2>&1; then
    echo "bootstrap: installing packages" >&2
    apt-get update -qq || true
    # shellcheck disable=SC2086
    [ -z "$need" ] || apt_install $need || apt_install_from_release $need
  fi
}

apt_install() {
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "$@" "${APT_EXTRA[@]}" >/dev/null
}

# wine32:i386 needs its i386 libraries at the very versions of the amd64 ones. When a mirror
# in the middle of a sync serves one architecture's index of a suite and not the other's (seen
# with bookworm-security's i386 list), the versions part and nothing installs; the release
# suites alone still agree, so the packages come from those.
apt_install_from_release() {
  echo "bootstrap: retrying from the release suites alone" >&2
  local dir
  dir=$(mktemp -d)
  cat > "$dir/release.sources" <<'SRC'
Types: deb
URIs: http://deb.debian.org/debian
Suites: bookworm bookworm-updates
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
SRC
  APT_EXTRA=(-o Dir::Etc::SourceList=/dev/null -o Dir::Etc::SourceParts="$dir")
  apt_install "$@"
  local rc=$?
  APT_EXTRA=()
  rm -rf "$dir"
  return $rc
}
APT_EXTRA=()

build_bzip2() {
  local work=$1
  (cd "$work" && apt-get source -qq bzip2 >/dev/null 2>&1)
  local dir
  dir=$(find "$work" -maxdepth 1 -type d -name 'bzip2-*' | head -n 1)
  local objs=()
  for f in blocksort huffman crctable randtable compress decompress bzlib; do
    $TRIPLE-gcc -O2 -D_FILE_OFFSET_BITS=64 -c "$dir/$f.c" -o "$work/$f.o"
    objs+=("$work/$f.o")
  done
  mkdir -p "$PREFIX/lib" "$PREFIX/include"
  rm -f "$PREFIX/lib/libbz2.a"
  $TRIPLE-ar rcs "$PREFIX/lib/libbz2.a" "${objs[@]}"
  cp "$dir/bzlib.h" "$PREFIX/include/"
}

# liblzma with decoders only (the stub's size matters) and every integrity check a payload may
# carry: without SHA-256 built in, a payload packed with --check=sha256 would decode without
# any verification. -O3 -DNDEBUG are the source's own CMake Release flags: measured with the
# decoder part of bench/payload.sh they decode about 10 % faster than -O2 (processor time).
# The decoder copies every match with memcpy, mostly a few bytes at a time; inlined as a plain
# loop those copies no longer pay for a call into the C library's general memmove, which makes
# the decoding another 3-7 % faster (measured in one process against the build without them,
# under Wine) and keeps the 32-bit stub within its size.
XZ_CFLAGS="-O3 -DNDEBUG -minline-all-stringops -mstringop-strategy=unrolled_loop"

build_xz() {
  local dir=$1 prefix=${2:-$PREFIX} threads=${3:-no}
  (cd "$dir" && ./configure -q --host=$TRIPLE --prefix="$prefix" \
      --disable-shared --enable-static --disable-encoders --enable-decoders=lzma1,lzma2 \
      --enable-checks=crc32,crc64,sha256 --enable-threads=$threads --disable-xz --disable-xzdec \
      --disable-lzmadec --disable-lzmainfo --disable-scripts --disable-doc --disable-nls \
      --disable-lzma-links CFLAGS="$XZ_CFLAGS" >/dev/null &&
    build_cold_small "$threads" &&
    make -s -j"$(nproc)" >/dev/null && make -s install >/dev/null && make -s distclean >/dev/null)
}

# The threaded decoder costs about 9 KiB of code at -O3, more than the stub has room for. The
# parts that run per block or per call, not per byte (the threads' bookkeeping, the headers,
# the index, the checks other than the payload's CRC64), are compiled first for size; make
# then finds them built and compiles the hot rest as above. -Os there brings the 32-bit stub
# from 110,080 to 101,376 bytes.
XZ_COLD="stream_decoder_mt outqueue common filter_common filter_decoder filter_flags_decoder
  block_decoder block_util block_header_decoder index_hash vli_decoder check sha256
  stream_flags_common stream_flags_decoder"

build_cold_small() {
  [ "$1" != no ] || return 0
  local o objs=()
  for o in $XZ_COLD; do objs+=("liblzma_la-$o.lo"); done
  make -s -C src/liblzma CFLAGS="-Os -DNDEBUG" "${objs[@]}" >/dev/null
}

# The benchmarks' reference: the xz program as the same source builds it by default (its
# CMake Release build), linked statically so that it runs under Wine without MinGW's DLLs.
build_stock_xz() {
  local dir=$1 build=$2
  cmake -S "$dir" -B "$build" -DCMAKE_SYSTEM_NAME=Windows -DCMAKE_C_COMPILER=$TRIPLE-gcc \
    -DCMAKE_RC_COMPILER=$TRIPLE-windres -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_EXE_LINKER_FLAGS=-static >/dev/null
  cmake --build "$build" -j"$(nproc)" --target xz >/dev/null
  mkdir -p "$PREFIX/bin"
  cp "$build/xz.exe" "$PREFIX/bin/xz.exe"
}

# QEMU's user-mode emulator, for kernels that refuse 32-bit code (scripts/i386.sh uses it).
# Bookworm's own qemu 7.2 starts a Wine process in about a minute; the backported one in a
# fraction of a second. Fetched with a private package list, so the system's apt setup stays
# as it is; only the static qemu-i386 is kept.
fetch_qemu() {
  local dir=$CACHE/qemu
  [ -x "$dir/qemu-i386" ] && return
  /lib/ld-linux.so.2 --version >/dev/null 2>&1 && return
  echo "bootstrap: fetching qemu-i386 from bookworm-backports into $dir" >&2
  local work
  work=$(mktemp -d)
  mkdir -p "$work/lists/partial" "$work/cache/archives/partial" "$dir"
  echo 'deb [signed-by=/usr/share/keyrings/debian-archive-keyring.gpg] http://deb.debian.org/debian bookworm-backports main' \
    > "$work/sources.list"
  local apt=(-o Dir::Etc::SourceList="$work/sources.list" -o Dir::Etc::SourceParts=/dev/null
             -o Dir::State::Lists="$work/lists" -o Dir::Cache="$work/cache" -o APT::Sandbox::User=root)
  apt-get "${apt[@]}" update -qq
  (cd "$work" && apt-get "${apt[@]}" download -qq qemu-user 2>/dev/null)
  dpkg-deb -x "$work"/qemu-user_*.deb "$work/x"
  install -m 755 "$work/x/usr/bin/qemu-i386" "$dir/qemu-i386.new"
  mv "$dir/qemu-i386.new" "$dir/qemu-i386"
  rm -rf "$work"
}

# A second, complete liblzma (encoders too, and the threaded one for --threads, on the
# system's own threads) for the Windows build of setup-pack. It lives in a prefix of its own
# so that the stub keeps linking the decoders-only one above.
build_xz_full() {
  local work=$1
  (cd "$work" && apt-get source -qq xz-utils >/dev/null 2>&1)
  local dir
  dir=$(find "$work" -maxdepth 1 -type d -name 'xz-utils-*' | head -n 1)
  (cd "$dir" && ./configure -q --host=$TRIPLE --prefix="$FULL_PREFIX" \
      --disable-shared --enable-static --enable-threads=vista --disable-xz --disable-xzdec \
      --disable-lzmadec --disable-lzmainfo --disable-scripts --disable-doc --disable-nls \
      --disable-lzma-links CFLAGS="-O2" >/dev/null && make -s -j"$(nproc)" >/dev/null && make -s install >/dev/null)
}

bootstrap_full_xz() {
  local TRIPLE=$1
  local FULL_PREFIX=$CACHE/$TRIPLE-full
  [ ! -f "$FULL_PREFIX/.bootstrap-full-2" ] || return 0
  echo "bootstrap: cross-building the complete liblzma into $FULL_PREFIX" >&2
  local work
  work=$(mktemp -d)
  rm -rf "$FULL_PREFIX"
  mkdir -p "$FULL_PREFIX"
  build_xz_full "$work"
  rm -rf "$work"
  touch "$FULL_PREFIX/.bootstrap-full-2"
}

# The stub's decoder as it links today: the same decoders-only liblzma with liblzma's threaded
# decoder on Windows' own threads (vista: SRW locks and condition variables, in kernel32 since
# Vista, so no DLL is added). A prefix of its own, so that trees configured before it keep the
# single-threaded one in $CACHE/$TRIPLE.
bootstrap_decoder_mt() {
  local TRIPLE=$1
  local MT_PREFIX=$CACHE/$TRIPLE-decoder-mt
  [ ! -f "$MT_PREFIX/.bootstrap-decoder-mt-1" ] || return 0
  echo "bootstrap: cross-building the threaded decoder liblzma into $MT_PREFIX" >&2
  local work dir
  work=$(mktemp -d)
  rm -rf "$MT_PREFIX"
  mkdir -p "$MT_PREFIX"
  (cd "$work" && apt-get source -qq xz-utils >/dev/null 2>&1)
  dir=$(find "$work" -maxdepth 1 -type d -name 'xz-utils-*' | head -n 1)
  build_xz "$dir" "$MT_PREFIX" vista
  rm -rf "$work"
  touch "$MT_PREFIX/.bootstrap-decoder-mt-1"
}

# The languages the tests start Wine in: Wine takes the user's language from the Unix locale.
ensure_locales() {
  local want=(de_DE.UTF-8 ja_JP.UTF-8) missing=0 l
  for l in "${want[@]}"; do
    locale -a 2>/dev/null | grep -qix "${l/UTF-8/utf8}" || missing=1
  done
  [ "$missing" = 1 ] || return 0
  echo "bootstrap: generating the locales ${want[*]}" >&2
  for l in "${want[@]}"; do
    sed -i -E "s/^# *($l UTF-8)/\1/" /etc/locale.gen
    grep -qx "$l UTF-8" /etc/locale.gen || echo "$l UTF-8" >> /etc/locale.gen
  done
  locale-gen >/dev/null
}

install_packages
ensure_locales
fetch_qemu

# Bumped whenever what goes into these prefixes changes, so that existing caches are rebuilt.
STAMP=.bootstrap-3
for TRIPLE in "${TRIPLES[@]}"; do
  PREFIX=$CACHE/$TRIPLE
  if [ ! -f "$PREFIX/$STAMP" ]; then
    echo "bootstrap: cross-building liblzma and libbz2 into $PREFIX" >&2
    work=$(mktemp -d)
    rm -rf "$PREFIX"
    mkdir -p "$PREFIX"
    build_bzip2 "$work"
    (cd "$work" && apt-get source -qq xz-utils >/dev/null 2>&1)
    xz_dir=$(find "$work" -maxdepth 1 -type d -name 'xz-utils-*' | head -n 1)
    build_xz "$xz_dir"
    # Only the 64-bit build runs the benchmarks under Wine here.
    [ "$TRIPLE" != x86_64-w64-mingw32 ] || build_stock_xz "$xz_dir" "$work/xz-stock"
    rm -rf "$work"
    touch "$PREFIX/$STAMP"
  fi
done

for TRIPLE in "${TRIPLES[@]}"; do
  bootstrap_full_xz "$TRIPLE"
  bootstrap_decoder_mt "$TRIPLE"
done
