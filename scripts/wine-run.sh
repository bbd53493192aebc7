#!/usr/bin/env bash
# Runs a Windows program under Wine in the prefix named by WINEPREFIX (default: the build
# tree's main test prefix).
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
export WINEPREFIX=${WINEPREFIX:-$here/../build/windows-x64/wine/win64-main}
. "$here/wine-env.sh"
exec "$VORLANE_WINE" "$@"
