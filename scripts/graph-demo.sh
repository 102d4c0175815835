#!/usr/bin/env bash
# graph-demo.sh BUILD_DIR PREFIX
# The capture sink in a real filter graph under Wine: makes a 640x480 raw YUY2 clip of ffmpeg's "testsrc"
# picture, registers BUILD_DIR's vidtap.dll in the prefix (regsvr32), plays the clip through File Source ->
# AVI Splitter -> vidtap (vidtapdemo, one process, vidtap created by class id), reads the published frame
# back from a second process (camreader) into BUILD_DIR/demo/frame.bmp (and .png when ImageMagick's convert
# exists), prints the header fields, then stops the graph and the prefix.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(realpath -m "${1:?usage: graph-demo.sh BUILD_DIR PREFIX}")
prefix=$(realpath -m "${2:?usage: graph-demo.sh BUILD_DIR PREFIX}")
module="$build/vidtap/vidtap.dll"
player="$build/tools/vidtapdemo.exe"
reader="$build/tools/camreader.exe"
for file in "$module" "$player" "$reader"; do
  [[ -f $file ]] || { echo "demo: $file is missing (build the win32 preset first)" >&2; exit 1; }
done
command -v ffmpeg >/dev/null || { echo "demo: ffmpeg is needed to make the clip" >&2; exit 1; }
out="$build/demo"
mkdir -p "$out"
rm -f "$out/frame.bmp" "$out/frame.png"
clip="$out/testsrc-640x480.avi"
run() { "$root/scripts/wine-run" "$prefix" win32 "$@"; }

if [[ ! -f $clip ]]; then
  # 30 frames; the last one (frame 29, its number is printed in the picture) is what the channel holds.
  ffmpeg -nostdin -loglevel error -y -f lavfi -i testsrc=size=640x480:rate=30 -frames:v 30 \
    -pix_fmt yuyv422 -c:v rawvideo "$clip"
fi

bash "$root/scripts/wine-prefix.sh" start "$prefix" >/dev/null
player_pid=""
cleanup() {
  if [[ -n $player_pid ]] && kill -0 "$player_pid" 2>/dev/null; then
    run "$player" --stop </dev/null >/dev/null 2>&1 || true
    for _ in $(seq 50); do kill -0 "$player_pid" 2>/dev/null || break; sleep 0.1; done
    kill "$player_pid" 2>/dev/null || true
  fi
  bash "$root/scripts/wine-prefix.sh" stop "$prefix"
}
trap cleanup EXIT

run regsvr32 /s "Z:$module" </dev/null >/dev/null 2>&1 ||
  { echo "demo: regsvr32 could not register $module" >&2; exit 1; }
echo "registered      $module"

run "$player" "Z:$clip" </dev/null >"$out/graph.log" 2>&1 &
player_pid=$!
for _ in $(seq 600); do
  grep -q '^ready' "$out/graph.log" 2>/dev/null && break
  kill -0 "$player_pid" 2>/dev/null || { echo "demo: the graph exited:" >&2; cat "$out/graph.log" >&2; exit 1; }
  sleep 0.1
done
grep -q '^ready' "$out/graph.log" || { echo "demo: the graph did not reach the end of the clip" >&2; exit 1; }
echo "== graph: File Source -> AVI Splitter -> vidtap on $clip =="
grep -v '^ready' "$out/graph.log" | tr -d '\r'

echo "== camera channel header (read by a second process) =="
run "$reader" "Z:$out/frame.bmp" </dev/null | tr -d '\r'

run "$player" --stop </dev/null >/dev/null 2>&1
wait "$player_pid" || { echo "demo: the graph failed:" >&2; cat "$out/graph.log" >&2; exit 1; }
player_pid=""

echo "== picture (ffmpeg testsrc, last frame of the clip) =="
echo "bitmap: $out/frame.bmp"
if command -v convert >/dev/null; then
  convert "$out/frame.bmp" "$out/frame.png"
  echo "png:    $out/frame.png"
fi
