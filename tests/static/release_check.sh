#!/bin/sh
# The release files as a user gets them. RELEASE is the directory cpack wrote them to.
#   release_check.sh zip RELEASE VERSION                the zip holds exactly the release files
#   release_check.sh deb RELEASE VERSION MSI STUB PACK  the package, unpacked under a scratch
#       root, packs MSI with two arguments into the same bytes as PACK STUB MSI
#   release_check.sh zip-pack RELEASE VERSION MSI STUB PACK EMULATOR...  the same for the
#       zip's setup-pack.exe, run by EMULATOR (Wine)
#   release_check.sh lintian RELEASE VERSION            lintian finds no error in the package
set -eu
what=$1 release=$2 version=$3
shift 3
zip=$release/vorlane-setup-$version-windows.zip
deb=$release/vorlane-setup_${version}_amd64.deb
top=vorlane-setup-$version-windows

# Packs MSI by the given command (two arguments) and by PACK with STUB, into files of the same
# name, since the name goes into the result; both must give the same bytes.
same_as_three() {
  msi=$1 stub=$2 pack=$3 work=$4
  shift 4
  mkdir -p "$work/two" "$work/three"
  "$pack" "$stub" "$msi" "$work/three/setup.exe"
  "$@"
  cmp "$work/two/setup.exe" "$work/three/setup.exe"
}

case $what in
zip)
  expected=$(printf '%s\n' NOTICES.txt README.md bspatch.exe setup-pack.exe setup-stub-x64.exe \
    setup-stub.exe lib/cmake/SetupPack/SetupPackConfig.cmake lib/cmake/SetupPack/SetupPackConfigVersion.cmake \
    lib/cmake/SetupPack/SetupPackFunctions.cmake lib/cmake/SetupPack/SetupPackCPack.cmake | sed "s|^|$top/|" | LC_ALL=C sort)
  listed=$(cmake -E tar tf "$zip" | grep -v '/$' | LC_ALL=C sort)  # files, not directories
  [ "$listed" = "$expected" ] || { printf 'zip holds:\n%s\nexpected:\n%s\n' "$listed" "$expected"; exit 1; }
  ;;
deb)
  root=$release/scratch-deb
  rm -rf "$root"
  dpkg-deb -x "$deb" "$root"
  same_as_three "$1" "$2" "$3" "$root" "$root/usr/bin/setup-pack" "$1" "$root/two/setup.exe"
  ;;
zip-pack)
  msi=$1 stub=$2 pack=$3
  shift 3
  root=$release/scratch-zip
  rm -rf "$root"
  mkdir -p "$root"
  (cd "$root" && cmake -E tar xf "$zip")
  winpath() { printf 'Z:%s' "$1" | tr / '\\'; }
  same_as_three "$msi" "$stub" "$pack" "$root" "$@" "$root/$top/setup-pack.exe" "$(winpath "$msi")" \
    "$(winpath "$root/two/setup.exe")"
  ;;
lintian)
  # Its warnings are shown; an error fails.
  lintian --fail-on error "$deb" 2>/dev/null
  ;;
*)
  echo "release_check.sh: unknown check $what" >&2
  exit 2
  ;;
esac
