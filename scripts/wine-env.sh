# Sourced by the Wine scripts: quiet Wine, no Mono or Gecko installers, and the 64-bit loader
# when it is there (it starts 32-bit programs itself where the kernel can run them; Debian's
# "wine" front end insists on the 32-bit loader whenever it is installed).
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
if [ -x /usr/lib/wine/wine64 ]; then
  VORLANE_WINE=/usr/lib/wine/wine64
  export WINELOADER=${WINELOADER:-/usr/lib/wine/wine64}
else
  VORLANE_WINE=wine
fi
