#!/usr/bin/env bash
# Signs an executable with Authenticode: sign.sh EXE PKCS12 [TIMESTAMP_URL]
# The password of PKCS12 is read from the file named by VORLANE_SIGN_PASSWORD_FILE or, without
# one, from the variable VORLANE_SIGN_PASSWORD. It never goes on a command line, where every
# process list and a verbose build log would show it; osslsigncode reads it from the file or
# from its standard input.
# The file is replaced by its signed form only when signing succeeded.
set -euo pipefail
exe=$1 p12=$2 url=${3:-}
tmp="$exe.signing"
args=(sign -pkcs12 "$p12" -h sha256 -n "Vorlane Setup" -in "$exe" -out "$tmp")
[ -z "$url" ] || args+=(-ts "$url")
rm -f "$tmp"
if [ -n "${VORLANE_SIGN_PASSWORD_FILE:-}" ]; then
  signed() { osslsigncode "${args[@]}" -readpass "$VORLANE_SIGN_PASSWORD_FILE" </dev/null; }
else
  signed() { printf '%s' "${VORLANE_SIGN_PASSWORD:-}" | osslsigncode "${args[@]}" -readpass -; }
fi
if ! signed >/dev/null; then
  rm -f "$tmp"
  echo "sign.sh: signing $exe failed" >&2
  exit 1
fi
mv -f "$tmp" "$exe"
