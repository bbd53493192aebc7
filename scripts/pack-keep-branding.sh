#!/bin/sh
# Packs PACKAGE into the setup executable EXE just linked, in place, keeping the project's
# version record and icon. An EXE that failed to take its package is removed, so that no
# build passes it on.
#   pack-keep-branding.sh SETUP-PACK EXE PACKAGE
"$1" --keep-branding "$2" "$3" "$2" || { rm -f "$2"; exit 1; }
