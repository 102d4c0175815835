#!/bin/sh
# runs-32-bit-code.sh: exit 0 when this machine executes 32-bit x86 programs, 1 when it does not (a kernel
# without IA-32 emulation, or with it switched off, refuses them with "Exec format error"). Wine runs 32-bit
# Windows programs only through its 32-bit loader, itself such a program.
for loader in /lib/ld-linux.so.2 /usr/lib/wine/wine; do
  if [ -e "$loader" ]; then
    "$loader" --help >/dev/null 2>&1 </dev/null
    [ $? -ne 126 ] && exit 0
    exit 1
  fi
done
exit 1
