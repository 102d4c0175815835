#!/usr/bin/env bash
# demo.sh BUILD_DIR PREFIX
# Publishes a 1920x1080 YUY2 test pattern into the camera channel under Wine (testpattern_publisher, one
# process), reads it back from a second process (camreader) into BUILD_DIR/demo/frame.bmp (and .png when
# ImageMagick's convert exists), prints the header fields, then stops the publisher and the prefix.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(realpath -m "${1:?usage: demo.sh BUILD_DIR PREFIX}")
prefix=$(realpath -m "${2:?usage: demo.sh BUILD_DIR PREFIX}")
publisher="$build/tools/testpattern_publisher.exe"
reader="$build/tools/camreader.exe"
for exe in "$publisher" "$reader"; do
  [[ -f $exe ]] || { echo "demo: $exe is missing (build the win32 preset first)" >&2; exit 1; }
done
out="$build/demo"
mkdir -p "$out"
rm -f "$out/frame.bmp" "$out/frame.png"
run() { "$root/scripts/wine-run" "$prefix" win32 "$@"; }

bash "$root/scripts/wine-prefix.sh" start "$prefix" >/dev/null
publisher_pid=""
cleanup() {
  if [[ -n $publisher_pid ]] && kill -0 "$publisher_pid" 2>/dev/null; then
    run "$publisher" --stop </dev/null >/dev/null 2>&1 || true
    for _ in $(seq 50); do kill -0 "$publisher_pid" 2>/dev/null || break; sleep 0.1; done
    kill "$publisher_pid" 2>/dev/null || true
  fi
  bash "$root/scripts/wine-prefix.sh" stop "$prefix"
}
trap cleanup EXIT

run "$publisher" </dev/null >"$out/publisher.log" 2>&1 &
publisher_pid=$!
for _ in $(seq 300); do
  grep -q '^ready' "$out/publisher.log" 2>/dev/null && break
  kill -0 "$publisher_pid" 2>/dev/null || { echo "demo: the publisher exited:" >&2; cat "$out/publisher.log" >&2; exit 1; }
  sleep 0.1
done
grep -q '^ready' "$out/publisher.log" || { echo "demo: the publisher did not get ready" >&2; exit 1; }

echo "== camera channel header (read by a second process) =="
run "$reader" "Z:$out/frame.bmp" </dev/null | tr -d '\r'

run "$publisher" --stop </dev/null >/dev/null 2>&1
wait "$publisher_pid" || { echo "demo: the publisher failed:" >&2; cat "$out/publisher.log" >&2; exit 1; }
publisher_pid=""

echo "== picture =="
echo "bitmap: $out/frame.bmp"
if command -v convert >/dev/null; then
  convert "$out/frame.bmp" "$out/frame.png"
  echo "png:    $out/frame.png"
fi
