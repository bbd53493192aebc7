#!/bin/sh
# setup-pack's CMake package as a user gets it, from a DESTDIR install of the release tree's
# Debian component (what the .deb holds) under WORK/root:
#   cmake_package_check.sh install BUILD WORK              the install
#   cmake_package_check.sh sample WORK SAMPLE WINE...      examples/cmake (SAMPLE) configured
#       against it and built: setup.exe, made again when its .msi changes; installed and
#       removed under WINE (the 32-bit stub's product, by the real msiexec)
#   cmake_package_check.sh cpack WORK SAMPLE WINE...       cpack in that build: the External
#       generator's .msi (wixl) and the post-build script's .exe beside it, installed the same way
#   cmake_package_check.sh wrong WORK                      a wrong argument to setup_pack() and a
#       version the package is not stop the configure, naming them
#   cmake_package_check.sh zip WORK ZIP                    the zip's package (the Windows layout),
#       unpacked, names its setup-pack.exe and stubs
set -eu
what=$1
shift
code='{5C7E9A1B-3D5F-4A7C-9E1B-2D4F6A8C0E31}'

# Installs exe silently into C:\SetupPackSample, compares the file, and removes the product by
# its code (1605 when it was never registered). Wine's msiexec looks for the files of a removed
# product where they would lie without the INSTALLDIR given, so the directory is removed here.
install_under_wine() {
  exe=$1 sample=$2
  shift 2
  dir=$WINEPREFIX/drive_c/SetupPackSample
  rm -rf "$dir"
  "$@" "$exe" --quiet /qn 'INSTALLDIR=C:\SetupPackSample'
  cmp "$dir/hello.txt" "$sample/files/hello.txt"
  "$@" msiexec /x "$code" /qn
  rm -rf "$dir"
}

case $what in
install)
  build=$1 work=$2
  rm -rf "$work"
  DESTDIR=$work/root cmake --install "$build" --component deb --prefix /usr >/dev/null
  ;;
sample)
  work=$1 sample=$2
  shift 2
  rm -rf "$work/sample"
  cmake -S "$sample" -B "$work/sample" -DCMAKE_PREFIX_PATH="$work/root/usr" >/dev/null
  cmake --build "$work/sample"
  # The package changes: setup.exe is made again.
  touch -d '2000-01-01' "$work/sample/setup.exe"
  touch "$work/sample/sample.msi"
  cmake --build "$work/sample" >/dev/null
  [ "$work/sample/setup.exe" -nt "$work/sample/sample.msi" ] || { echo "setup.exe was not made again" >&2; exit 1; }
  install_under_wine "$work/sample/setup.exe" "$sample" "$@"
  ;;
cpack)
  work=$1 sample=$2
  shift 2
  (cd "$work/sample" && rm -f sample-1.0.0.* && cpack)
  [ -f "$work/sample/sample-1.0.0.msi" ]
  install_under_wine "$work/sample/sample-1.0.0.exe" "$sample" "$@"
  ;;
wrong)
  work=$1
  # Each case: the project's body, and what the configure must say.
  check() {
    dir=$work/wrong
    rm -rf "$dir"
    mkdir -p "$dir"
    printf 'cmake_minimum_required(VERSION 3.25)\nproject(wrong NONE)\n%s\n' "$1" > "$dir/CMakeLists.txt"
    if cmake -S "$dir" -B "$dir/build" -DCMAKE_PREFIX_PATH="$work/root/usr" >"$dir/log" 2>&1; then
      echo "configured: $1" >&2
      exit 1
    fi
    grep -q "$2" "$dir/log" || { cat "$dir/log" >&2; echo "no \"$2\" in the message" >&2; exit 1; }
  }
  check 'find_package(SetupPack 1.2 REQUIRED)
setup_pack(s MSI x.msi STORE_CABINET)' 'setup_pack(s): unknown argument STORE_CABINET'
  check 'find_package(SetupPack 1.2 REQUIRED)
setup_pack(s MSI x.msi VERSION)' 'setup_pack(s): VERSION needs a value'
  check 'find_package(SetupPack 1.2 REQUIRED)
setup_pack(s MSI x.msi THREADS many)' 'THREADS many is not a number'
  check 'find_package(SetupPack 2.0 REQUIRED)' 'version: 1.2.0'
  ;;
zip)
  work=$1 zip=$2
  rm -rf "$work/zip"
  mkdir -p "$work/zip/project"
  (cd "$work/zip" && cmake -E tar xf "$zip")
  printf '%s\n' 'cmake_minimum_required(VERSION 3.25)' 'project(zip NONE)' 'find_package(SetupPack 1.2 REQUIRED)' \
    'get_target_property(program SetupPack::setup-pack IMPORTED_LOCATION)' \
    'foreach(f ${program} ${SETUP_PACK_STUB} ${SETUP_PACK_STUB_X64})' \
    '  if(NOT EXISTS ${f} OR NOT f MATCHES "windows/[^/]+[.]exe$")' '    message(FATAL_ERROR "no ${f}")' '  endif()' \
    'endforeach()' > "$work/zip/project/CMakeLists.txt"
  cmake -S "$work/zip/project" -B "$work/zip/build" -DCMAKE_PREFIX_PATH="$(echo "$work"/zip/vorlane-setup-*-windows)" >/dev/null
  ;;
*)
  echo "cmake_package_check.sh: unknown check $what" >&2
  exit 2
  ;;
esac
