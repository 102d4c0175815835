#!/usr/bin/env bash
# wine-arch.sh BUILD_DIR: prints the Wine architecture (win32 or win64) a Windows build's programs need, as
# its toolchain file recorded it in the build's cache.
set -euo pipefail
cache="${1:?usage: wine-arch.sh BUILD_DIR}/CMakeCache.txt"
arch=$(sed -n 's/^WINE_ARCH:INTERNAL=//p' "$cache" 2>/dev/null || true)
[[ $arch == win32 || $arch == win64 ]] || { echo "wine-arch: $cache records no Wine architecture (configure it first)" >&2; exit 1; }
echo "$arch"
