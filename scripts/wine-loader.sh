#!/bin/sh
# wine-loader.sh win32|win64: prints the Wine loader for a prefix of that architecture. A win64 prefix is
# started through the 64-bit loader itself: Debian's `wine` starts the 32-bit loader first, which cannot run
# on a kernel without IA-32 emulation; the 64-bit loader still hands 32-bit programs to the 32-bit one.
if [ "$1" = win64 ]; then
  for loader in /usr/lib/wine/wine64 "$(command -v wine64)"; do
    [ -n "$loader" ] && [ -x "$loader" ] && { echo "$loader"; exit 0; }
  done
fi
echo wine
