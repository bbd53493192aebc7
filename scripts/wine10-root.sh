#!/usr/bin/env bash
# Makes, once, a Debian 13 root that holds Wine 10 from Debian's own packages (amd64 with i386
# multiarch: wine, wine32:i386, wine64), the second Windows implementation the tests run on.
# It lives in the bootstrap's cache and is made again when its stamp changes; nothing of Debian
# 13 goes into the host system (mmdebstrap installs into the directory with apt of its own).
# Prints the root's path. scripts/wine10.sh enters it.
set -euo pipefail
cache=${VORLANE_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/vorlane-setup}
root=$cache/debian13-wine10
# Bumped whenever what goes into the root changes.
STAMP=.wine10-root-1
PACKAGES=wine,wine32:i386,wine64,libgnutls30t64,libgnutls30t64:i386,locales
if [ -f "$root/$STAMP" ]; then
  echo "$root"
  exit 0
fi
command -v mmdebstrap >/dev/null ||
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends mmdebstrap >/dev/null
echo "wine10-root: making the Debian 13 root with Wine 10 in $root" >&2
# (Nothing is ever mounted there outside a namespace of wine10.sh; still, never cross into a mount.)
rm -rf --one-file-system "$root" "$root.new"
# The locales the tests start Wine in (Wine takes the user's language from the Unix locale).
mmdebstrap --quiet --variant=apt --architectures=amd64,i386 --include="$PACKAGES" \
  --aptopt='APT::Install-Recommends "false"' --dpkgopt='path-exclude=/usr/share/doc/*' \
  --dpkgopt='path-exclude=/usr/share/man/*' \
  --customize-hook='printf "de_DE.UTF-8 UTF-8\nja_JP.UTF-8 UTF-8\nen_US.UTF-8 UTF-8\n" > "$1/etc/locale.gen"' \
  --customize-hook='chroot "$1" locale-gen >/dev/null' \
  trixie "$root.new" \
  "deb [signed-by=/usr/share/keyrings/debian-archive-keyring.gpg] http://deb.debian.org/debian trixie main" >&2
touch "$root.new/$STAMP"
mv "$root.new" "$root"
echo "$root"
