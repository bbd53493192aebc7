#!/usr/bin/env bash
# Signs an executable with Authenticode: sign.sh EXE PKCS12 PASSWORD [TIMESTAMP_URL]
# The file is replaced by its signed form only when signing succeeded.
set -euo pipefail
exe=$1 p12=$2 password=$3 url=${4:-}
tmp="$exe.signing"
args=(sign -pkcs12 "$p12" -pass "$password" -h sha256 -n "Vorlane Setup" -in "$exe" -out "$tmp")
[ -z "$url" ] || args+=(-ts "$url")
rm -f "$tmp"
if ! osslsigncode "${args[@]}" >/dev/null; then
  rm -f "$tmp"
  echo "sign.sh: signing $exe failed" >&2
  exit 1
fi
mv -f "$tmp" "$exe"
