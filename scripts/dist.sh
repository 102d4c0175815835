#!/usr/bin/env bash
# dist.sh WIN32_BUILD WIN64_BUILD OUTPUT_DIR: packs the package stages of a 32-bit and a 64-bit build
# (cmake/Package.cmake: stripped binaries, their debug information, the manifest) with the public headers,
# the reader library's CMake package, the registration scripts and the documents into
# OUTPUT_DIR/vidtap-<version>-windows.zip, builds the setup program OUTPUT_DIR/vidtap-<version>-setup.exe
# from the same files, and prints the archive's path.
#
# The archive's bytes depend on nothing but those files: entries in byte order of their names, no directory
# entries (-D), no extra fields with owners or further times (-X), mode 644, and one time for every entry:
# SOURCE_DATE_EPOCH if set, else the time of the checkout's last commit, else 2000-01-01. Zip writes that
# time in local time, so it runs with TZ=UTC. Text files a user opens get Windows line endings.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
usage="usage: dist.sh WIN32_BUILD WIN64_BUILD OUTPUT_DIR"
x86_build=$(realpath "${1:?$usage}")
x64_build=$(realpath "${2:?$usage}")
out=$(realpath -m "${3:?$usage}")

fail() { echo "dist: $*" >&2; exit 1; }
for pair in "x86 $x86_build win32" "x64 $x64_build win64"; do
  read -r arch build wanted <<<"$pair"
  [[ $("$root/scripts/wine-arch.sh" "$build") == "$wanted" ]] || fail "$build is not a $wanted build (for $arch)"
  [[ -f $build/package/manifest.txt ]] || fail "$build has no package stage (build its target package_stage)"
done
version_of() { sed -n 's/^version //p' "$1/package/manifest.txt"; }
version=$(version_of "$x86_build")
[[ -n $version && $version == "$(version_of "$x64_build")" ]] ||
  fail "the builds disagree on the version ($version, $(version_of "$x64_build")): configure both again"

epoch=${SOURCE_DATE_EPOCH:-$(git -C "$root" log -1 --format=%ct 2>/dev/null || echo 946684800)}
mkdir -p "$out"
stage=$(mktemp -d "$out/.dist.XXXXXX")
trap 'rm -rf "$stage" "$stage.zip"' EXIT

# The binaries and libraries the manifest names, nothing else the stage may still hold.
for pair in "x86 $x86_build" "x64 $x64_build"; do
  read -r arch build <<<"$pair"
  mkdir -p "$stage/$arch" "$stage/symbols/$arch" "$stage/lib/$arch"
  while read -r kind file; do
    case $kind in
      binary)
        cp "$build/package/bin/$file" "$stage/$arch/$file"
        cp "$build/package/symbols/$file.debug" "$stage/symbols/$arch/$file.debug" ;;
      library) cp "$build/package/lib/$file" "$stage/lib/$arch/$file" ;;
    esac
  done <"$build/package/manifest.txt"
done

mkdir -p "$stage/include"
cp "$root/include/tarn_camera_channel.h" "$root/include/tarn_filters.h" "$root/common/CVideoFrameForm.h" \
   "$root/common/CVideoFrame.h" "$root/common/FrameRecordExport.h" "$stage/include/"

# The reader library's CMake package (find_package(tarn_camera_reader)), beside the libraries it names.
cmake_package="$stage/lib/cmake/tarn_camera_reader"
mkdir -p "$cmake_package"
cp "$root/tools/package/cmake/tarn_camera_reader-config.cmake" "$cmake_package/"
sed -e "s/@VERSION@/$version/g" -e "s/@VERSION_MAJOR@/${version%%.*}/g" \
  "$root/tools/package/cmake/tarn_camera_reader-config-version.cmake.in" \
  >"$cmake_package/tarn_camera_reader-config-version.cmake"

crlf() { sed -e "s/@VERSION@/$version/g" -e 's/\r*$/\r/' "$1" >"$2"; }
crlf "$root/tools/package/README.txt" "$stage/README.txt"
crlf "$root/LICENSE" "$stage/LICENSE.txt"
crlf "$root/tools/package/register.cmd" "$stage/register.cmd"
crlf "$root/tools/package/unregister.cmd" "$stage/unregister.cmd"

find "$stage" -type d -exec chmod 755 {} + -o -type f -exec chmod 644 {} +
find "$stage" -exec touch -h -d "@$epoch" {} +
zip="$out/vidtap-$version-windows.zip"
(cd "$stage" && find . -type f -printf '%P\n' | LC_ALL=C sort | TZ=UTC zip -q -X -D -9 "$stage.zip" -@)
mv "$stage.zip" "$zip"

# The setup program (tools/package/setup.nsi) installs the stage's binaries of each architecture, and the
# headers, the libraries with their CMake package, README.txt and LICENSE.txt in its install folder. The
# include file written here lists them for the installer and for the uninstaller, which removes the files and
# then their folders, deepest first. Its sizes are what each Windows gets: the x86 binaries and the shared
# files on a 32-bit one, both bitnesses' on a 64-bit one.
nsh="$stage.nsh"
trap 'rm -rf "$stage" "$stage.zip" "$nsh" "$stage.exe" "$stage.log"' EXIT
kilobytes() { (cd "$stage" && cat "$@" | wc -c | awk '{ print int(($1 + 1023) / 1024) }'); }
shared=$(cd "$stage" && find include lib README.txt LICENSE.txt -type f | LC_ALL=C sort)
binaries=$(cd "$stage/x86" && find . -type f -printf '%P\n' | LC_ALL=C sort)
# shellcheck disable=SC2086
{
  echo "!define SIZE_KB_X86 $(kilobytes $shared $(sed 's|^|x86/|' <<<"$binaries"))"
  echo "!define SIZE_KB_X64 $(kilobytes $shared $(sed 's|^|x86/|' <<<"$binaries") $(sed 's|^|x64/|' <<<"$binaries"))"
  echo '!macro BINARIES_INSTALL ARCH'
  for file in $binaries; do echo "  File \"\${STAGE}/\${ARCH}/$file\""; done
  echo '!macroend'
  echo '!macro BINARIES_REMOVE FOLDER'
  for file in $binaries; do echo "  Delete \"\${FOLDER}\\$file\""; done
  echo '!macroend'
  echo '!macro SHARED_INSTALL'
  for file in $shared; do
    folder=$(dirname "$file")
    folder=${folder#.}
    echo "  SetOutPath \"\$INSTDIR${folder:+\\${folder//\//\\}}\""
    echo "  File \"\${STAGE}/$file\""
  done
  echo '!macroend'
  echo '!macro SHARED_REMOVE'
  for file in $shared; do echo "  Delete \"\$INSTDIR\\${file//\//\\}\""; done
  for dir in $(cd "$stage" && find include lib -type d | LC_ALL=C sort -r); do echo "  RMDir \"\$INSTDIR\\${dir//\//\\}\""; done
  echo '!macroend'
} >"$nsh"
setup="$out/vidtap-$version-setup.exe"
makensis -V2 -DVERSION="$version" -DSTAGE="$stage" -DFILES="$nsh" -DOUTFILE="$stage.exe" \
  "$root/tools/package/setup.nsi" >"$stage.log" 2>&1 || { cat "$stage.log" >&2; fail "makensis"; }
mv "$stage.exe" "$setup"
echo "$zip"
