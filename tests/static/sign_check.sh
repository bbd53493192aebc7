#!/usr/bin/env bash
# Signs a copy of setup.exe with a throw-away self-signed certificate and verifies it; the
# unsigned file stays as it was. With SETUP_PACK and PACKAGE, the signed copy is packed again:
# the signature goes, with a notice, and the result signs anew.
#   sign_check.sh EXE WORKDIR [SETUP_PACK PACKAGE]
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
exe=$1 work=$2
rm -rf "$work" && mkdir -p "$work" && cd "$work"
openssl req -x509 -newkey rsa:2048 -nodes -keyout key.pem -out cert.pem -days 2 \
  -subj "/CN=Vorlane Test Signing" -addext "extendedKeyUsage=codeSigning" 2>/dev/null
openssl pkcs12 -export -inkey key.pem -in cert.pem -out sign.p12 -passout pass:secret 2>/dev/null
cp "$exe" setup.exe
before=$(sha256sum < "$exe")
# The password comes from the environment here, and from a file below.
VORLANE_SIGN_PASSWORD=secret "$here/../../scripts/sign.sh" setup.exe sign.p12
osslsigncode verify -CAfile cert.pem -in setup.exe | tee verify.txt | grep -q "Signature verification: ok"
[ "$(sha256sum < "$exe")" = "$before" ] || { echo "the unsigned build changed"; exit 1; }
if cmp -s "$exe" setup.exe; then echo "nothing was signed"; exit 1; fi
# A wrong password signs nothing and leaves the file alone.
cp "$exe" unsigned.exe
printf 'wrong\n' > wrong.txt
if VORLANE_SIGN_PASSWORD_FILE=wrong.txt "$here/../../scripts/sign.sh" unsigned.exe sign.p12 2>/dev/null; then
  echo "signing with a wrong password succeeded"; exit 1
fi
cmp "$exe" unsigned.exe
printf 'secret\n' > secret.txt
VORLANE_SIGN_PASSWORD_FILE=secret.txt "$here/../../scripts/sign.sh" unsigned.exe sign.p12
if cmp -s "$exe" unsigned.exe; then echo "the password file signed nothing"; exit 1; fi
if [ $# -ge 4 ]; then
  "$3" setup.exe "$4" packed.exe 2> pack.txt
  grep -q "removed its Authenticode signature" pack.txt || { cat pack.txt; echo "no notice"; exit 1; }
  if osslsigncode verify -CAfile cert.pem -in packed.exe >/dev/null 2>&1; then
    echo "the packed file still carries a signature"; exit 1
  fi
  VORLANE_SIGN_PASSWORD=secret "$here/../../scripts/sign.sh" packed.exe sign.p12
  osslsigncode verify -CAfile cert.pem -in packed.exe | grep -q "Signature verification: ok"
  echo "packed: the signature was removed, and the packed file signed and verified"
fi
echo "signed and verified"
