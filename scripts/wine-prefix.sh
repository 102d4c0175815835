#!/usr/bin/env bash
# wine-prefix.sh start|stop PREFIX ARCH   (ARCH: win32 or win64, the WINEARCH the prefix is made with)
# start: creates the prefix when missing, warms it and leaves a persistent wineserver running, with every
#        stream redirected away from the caller (Wine's helpers would otherwise inherit ctest's pipes and
#        every test would take seconds, or ctest would hang).
# stop:  shuts the prefix's server down.
set -uo pipefail
usage="usage: $0 start|stop PREFIX win32|win64"
action=${1:?$usage}; prefix=$(realpath -m "${2:?$usage}"); arch=${3:?$usage}
export WINEPREFIX="$prefix" WINEARCH="$arch" WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=;winealsa.drv,winepulse.drv,wineoss.drv="
wine=$("$(dirname "$0")/wine-loader.sh" "$arch")
case "$action" in
  start)
    mkdir -p "$(dirname "$prefix")"
    wineserver -k </dev/null >/dev/null 2>&1
    "$wine" wineboot -i </dev/null >/dev/null 2>&1
    timeout 120 wineserver -w </dev/null >/dev/null 2>&1
    (setsid wineserver -p </dev/null >/dev/null 2>&1 &)
    "$wine" cmd /c exit </dev/null >/dev/null 2>&1
    echo "wine prefix ready: $prefix"
    ;;
  stop)
    wineserver -k </dev/null >/dev/null 2>&1 || true
    ;;
  *) echo "$usage" >&2; exit 2;;
esac
