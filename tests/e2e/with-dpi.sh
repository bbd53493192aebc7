#!/usr/bin/env bash
# Sets the DPI of the test's own prefix (WINEPREFIX, of kind VORLANE_WINE_LEG), starting its
# server again, then runs the test:
#   with-dpi.sh DPI RUNNER WINE-PREFIX-SH COMMAND...
# RUNNER is how wine-prefix.sh is started (scripts/i386.sh where 32-bit code is emulated).
set -euo pipefail
dpi=$1 runner=$2 prefix_script=$3
shift 3
"$runner" "$prefix_script" "$WINEPREFIX" "$VORLANE_WINE_LEG" --log-pixels "$dpi"
exec "$@"
