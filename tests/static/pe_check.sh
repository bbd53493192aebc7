#!/usr/bin/env bash
# Reads the PE headers of a built setup.exe: ASLR and DEP on, no section that is both
# writable and executable, and only known system DLLs imported.
#   pe_check.sh OBJDUMP EXE
set -euo pipefail
objdump=$1 exe=$2
headers=$("$objdump" -p "$exe")
sections=$("$objdump" -h -w "$exe")
fail=0
no() { echo "FAIL: $*"; fail=1; }

dll=$(awk '/^DllCharacteristics/ {print $2}' <<<"$headers")
(( 0x$dll & 0x40 )) || no "no dynamic base (ASLR): DllCharacteristics $dll"
(( 0x$dll & 0x100 )) || no "not NX compatible (DEP): DllCharacteristics $dll"
grep -q '^Time/Date[[:space:]]*Thu Jan  1 00:00:00 1970\|^Time/Date[[:space:]]*0$' <<<"$headers" \
  || no "the header carries a link time stamp: $(grep '^Time/Date' <<<"$headers")"

# A 32-bit setup.exe is large-address-aware (IMAGE_FILE_LARGE_ADDRESS_AWARE, 0x20).
if grep -q '^Magic[[:space:]]*010b' <<<"$headers"; then
  chars=$(awk '/^Characteristics/ {print $2; exit}' <<<"$headers")
  (( chars & 0x20 )) || no "a 32-bit image that is not large-address-aware: Characteristics $chars"
fi

# A section that is both writable and executable.
wx=$(awk '/CODE/ && !/READONLY/ {print $2}' <<<"$sections")
[ -z "$wx" ] || no "writable code sections: $wx"

allowed='^(KERNEL32|USER32|GDI32|SHELL32|ole32|msvcrt|ADVAPI32|api-ms-win-crt-[a-z0-9-]+)\.dll$'
imports=$(awk '/DLL Name:/ {print $3}' <<<"$headers" | sort -u)
echo "imported DLLs: $(tr '\n' ' ' <<<"$imports")"
echo "DllCharacteristics: 0x$dll"
while read -r name; do
  [ -z "$name" ] || grep -qiE "$allowed" <<<"$name" || no "imports $name, not a known system DLL"
done <<<"$imports"
exit $fail
