#!/usr/bin/env bash
# i386.sh COMMAND [ARGS...]: runs COMMAND where 32-bit x86 programs can start, Wine's 32-bit
# loader and all it starts among them. Where the kernel refuses 32-bit code, QEMU's user-mode
# emulator is registered for i386 ELF files in binfmt_misc inside a private user and mount
# namespace (kernels from 6.7 on give each user namespace its own binfmt_misc), so nothing
# outside this process tree changes. Elsewhere, and inside such a namespace, COMMAND runs as it
# is. The emulator comes from the bootstrap's cache.
set -euo pipefail
# VORLANE_I386_OWN_NAMESPACE tells COMMAND that it runs in a namespace made for it alone, which
# a program it leaves running (a Wine server) keeps after COMMAND ends.
if /lib/ld-linux.so.2 --version >/dev/null 2>&1; then
  exec env -u VORLANE_I386_OWN_NAMESPACE "$@"
fi
cache=${VORLANE_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/vorlane-setup}
qemu=$cache/qemu/qemu-i386
if [ ! -x "$qemu" ]; then
  echo "i386.sh: this kernel runs no 32-bit code and $qemu is missing: run scripts/bootstrap.sh" >&2
  exit 1
fi
# The usual rule for i386 executables and shared objects; F opens the emulator now, so that it
# is found whatever the namespace's file system shows later.
magic='\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00'
mask='\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff'
rule=":vorlane-i386:M::$magic:$mask:$qemu:F"
VORLANE_I386_OWN_NAMESPACE=1 exec unshare --user --map-root-user --mount --propagation private sh -c '
  mount -t binfmt_misc binfmt_misc /proc/sys/fs/binfmt_misc &&
  printf %s "$0" > /proc/sys/fs/binfmt_misc/register &&
  exec "$@"' "$rule" "$@"
