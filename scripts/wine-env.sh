# Sourced by the Wine scripts: quiet Wine, no Mono or Gecko installers, and the loader that can
# run here. Where 32-bit code runs (on such kernels, or under scripts/i386.sh) that is the
# 32-bit loader, as Debian's "wine" front end picks it: it serves both kinds of prefix and hands
# 64-bit programs to the 64-bit loader. Elsewhere only the 64-bit loader and 64-bit prefixes
# can work. A caller may name another Wine's loader in VORLANE_WINE (scripts/wine10.sh does).
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
if [ -n "${VORLANE_WINE:-}" ]; then
  :
elif /lib/ld-linux.so.2 --version >/dev/null 2>&1 && [ -x /usr/lib/wine/wine ]; then
  VORLANE_WINE=/usr/lib/wine/wine
elif [ -x /usr/lib/wine/wine64 ]; then
  VORLANE_WINE=/usr/lib/wine/wine64
else
  VORLANE_WINE=wine
fi
export WINELOADER=${WINELOADER:-$VORLANE_WINE}
