#!/usr/bin/env bash
# Installs what the build and the tests need on Debian 12, only when missing.
# Runs as root (or through sudo when available). Safe to run repeatedly.
set -euo pipefail

need=()
have_pkg() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'; }

if ! dpkg --print-foreign-architectures | grep -qx i386; then
  ARCH_ADDED=1
fi

for p in cmake ninja-build googletest libgtest-dev libbenchmark-dev libyuv-dev \
         g++-mingw-w64-i686-posix wine wine32:i386 \
         gstreamer1.0-plugins-base:i386 gstreamer1.0-plugins-good:i386 gstreamer1.0-libav:i386 \
         g++-mingw-w64-x86-64-posix wine64 gstreamer1.0-plugins-base gstreamer1.0-plugins-good gstreamer1.0-libav \
         clang lld llvm libclang-rt-14-dev \
         ffmpeg imagemagick zip unzip xvfb x11-utils; do
  have_pkg "$p" || need+=("$p")
done

if [[ ${#need[@]} -eq 0 && -z "${ARCH_ADDED:-}" ]]; then
  exit 0
fi

SUDO=""
if [[ $(id -u) -ne 0 ]]; then
  if command -v sudo >/dev/null; then SUDO=sudo; else
    echo "missing packages (${need[*]}) and not root: install them first" >&2; exit 1
  fi
fi

echo "installing: ${need[*]}"
export DEBIAN_FRONTEND=noninteractive
[[ -n "${ARCH_ADDED:-}" ]] && $SUDO dpkg --add-architecture i386
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${need[@]}" >/dev/null
