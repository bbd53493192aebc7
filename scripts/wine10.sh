#!/usr/bin/env bash
# wine10.sh COMMAND [ARGS...]: runs COMMAND with Wine 10 (the Debian 13 root that
# scripts/wine10-root.sh makes) as the Wine of the scripts and the tests, in a private mount
# namespace:
# - every Windows build tree's Wine prefixes are its wine-10/ directory, mounted over wine/, so
#   that Wine 10 never sees (nor upgrades) a prefix of Wine 8 and the tests keep their paths;
# - the root gets /proc, /sys, /dev, /tmp (Wine's server sockets) and this source tree at its own
#   path, mounted so that what the tests mount inside it later (small file systems) shows there;
# - wine, wine64 and wineserver on PATH, and VORLANE_WINE (wine-env.sh), run Wine 10's programs
#   in the root, in the caller's directory.
# Run it inside scripts/i386.sh where 32-bit code is emulated: the emulator's registration holds
# in the root as well.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
top=$(cd "$here/.." && pwd)
if [ "${1:-}" != --inside ]; then
  root=$(bash "$here/wine10-root.sh")
  exec unshare --mount --propagation private env VORLANE_WINE10_ROOT="$root" \
    bash "${BASH_SOURCE[0]}" --inside "$@"
fi
shift
root=$VORLANE_WINE10_ROOT

# The source tree as a shared mount of its own: the copy in the root follows later mounts.
mount --bind "$top" "$top"
mount --make-shared "$top"
shopt -s nullglob
for tree in "$top"/build/windows*/; do
  mkdir -p "$tree/wine" "$tree/wine-10"
  mount --bind "$tree/wine-10" "$tree/wine"
done
for dir in /proc /sys /dev /tmp "$top"; do
  mkdir -p "$root$dir"
  mount --rbind "$dir" "$root$dir"
done

# Where the kernel runs 32-bit code, Debian's 32-bit loader serves both kinds of prefix (as in
# wine-env.sh).
loader=/usr/lib/wine/wine64
if /lib/ld-linux.so.2 --version >/dev/null 2>&1; then
  loader=/usr/lib/wine/wine
fi
bin=$(mktemp -d /tmp/wine10-bin.XXXXXX)
trap 'rm -rf "$bin"' EXIT
for prog in wine wine64 wineserver; do
  case $prog in
  wine) real=$loader ;;
  wine64) real=/usr/lib/wine/wine64 ;;
  *) real=/usr/bin/wineserver ;;
  esac
  cat > "$bin/$prog" <<SHIM
#!/bin/sh
# Wine 10's $prog, in $root.
wd=\$PWD
[ -d "$root\$wd" ] || wd=/
export WINELOADER=$loader PATH=/usr/local/bin:/usr/bin:/bin
exec unshare --root="$root" --wd="\$wd" $real "\$@"
SHIM
  chmod +x "$bin/$prog"
done
export PATH=$bin:$PATH VORLANE_WINE=$bin/wine
"$@"
