#!/usr/bin/env bash
# dist.sh WIN32_BUILD WIN64_BUILD OUTPUT_DIR: packs the package stages of a 32-bit and a 64-bit build
# (cmake/Package.cmake: stripped binaries, their debug information, the manifest) with the public headers,
# the registration scripts and the documents into OUTPUT_DIR/vidtap-<version>-windows.zip, and prints the
# archive's path.
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
echo "$zip"
