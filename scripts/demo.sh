#!/usr/bin/env bash
# demo.sh BUILD_DIR PREFIX [graph|pattern|view]
# graph (the default, what `make demo` runs): makes a 640x480 raw YUY2 clip of ffmpeg's "testsrc" picture,
#   registers BUILD_DIR's vidtap.dll in the prefix (regsvr32) and plays the clip through the platform's File
#   Source -> AVI Splitter -> vidtap, vidtap created by class id (tools/vidtapdemo).
# pattern: publishes a 1920x1080 YUY2 test pattern through the camera channel directly
#   (tools/testpattern_publisher), without a filter graph.
# In both, while the producing process keeps the channel alive, a second process (tools/camreader) reads it
# back into BUILD_DIR/demo/frame.bmp (and .png when ImageMagick's convert exists) and prints the header fields;
# then the producer and the prefix are stopped.
# view (what `make view` runs): the graph demo with camview as the second process, on the display DISPLAY
#   names: camview opens first (and waits for the channel), shows the clip's frames as the graph plays them
#   and then its last one, until its window is closed; then the producer and the prefix are stopped.
# CHANNEL=NAME (graph and view): vidtap publishes into the channel NAME instead of the default one, and the
#   reader or camview opens that channel.
# The prefix's architecture (win32 or win64) is the build's.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
usage="usage: demo.sh BUILD_DIR PREFIX [graph|pattern|view]"
build=$(realpath -m "${1:?$usage}")
prefix=$(realpath -m "${2:?$usage}")
mode=${3:-graph}
reader="$build/tools/camreader.exe"
out="$build/demo"
arch=$(bash "$root/scripts/wine-arch.sh" "$build")
run() { "$root/scripts/wine-run" "$prefix" "$arch" "$@"; }

viewer="$build/tools/camview/camview.exe"
case "$mode" in
  graph|view)
    module="$build/vidtap/vidtap.dll"
    producer="$build/tools/vidtapdemo.exe"
    clip="$out/testsrc-640x480.avi"
    producer_args=("Z:$clip")
    if [[ -n ${CHANNEL:-} ]]; then producer_args=(--channel "$CHANNEL" "Z:$clip"); fi
    needed=("$module" "$producer" "$reader")
    [[ $mode == view ]] && needed=("$module" "$producer" "$viewer")
    title="picture (ffmpeg testsrc, last frame of the clip)"
    ;;
  pattern)
    producer="$build/tools/testpattern_publisher.exe"
    producer_args=()
    needed=("$producer" "$reader")
    title="picture (1920x1080 test pattern)"
    ;;
  *) echo "$usage" >&2; exit 2;;
esac
for file in "${needed[@]}"; do
  [[ -f $file ]] || { echo "demo: $file is missing (build its preset first)" >&2; exit 1; }
done
if [[ $mode == view && -z ${DISPLAY:-} ]]; then
  echo "demo: camview needs a display, and DISPLAY is not set" >&2; exit 1
fi
mkdir -p "$out"
rm -f "$out/frame.bmp" "$out/frame.png"

if [[ $mode != pattern && ! -f $clip ]]; then
  command -v ffmpeg >/dev/null || { echo "demo: ffmpeg is needed to make the clip" >&2; exit 1; }
  # 30 frames; the last one (its number is printed in the picture) is what the channel holds at the end.
  ffmpeg -nostdin -loglevel error -y -f lavfi -i testsrc=size=640x480:rate=30 -frames:v 30 \
    -pix_fmt yuyv422 -c:v rawvideo "$clip"
fi

bash "$root/scripts/wine-prefix.sh" start "$prefix" "$arch" >/dev/null
producer_pid=""
cleanup() {
  if [[ -n $producer_pid ]] && kill -0 "$producer_pid" 2>/dev/null; then
    run "$producer" --stop </dev/null >/dev/null 2>&1 || true
    for _ in $(seq 50); do kill -0 "$producer_pid" 2>/dev/null || break; sleep 0.1; done
    kill "$producer_pid" 2>/dev/null || true
  fi
  bash "$root/scripts/wine-prefix.sh" stop "$prefix" "$arch"
}
trap cleanup EXIT

if [[ $mode != pattern ]]; then
  run regsvr32 /s "Z:$module" </dev/null >/dev/null 2>&1 ||
    { echo "demo: regsvr32 could not register $module" >&2; exit 1; }
  echo "registered      $module"
fi

viewer_pid=""
if [[ $mode == view ]]; then
  run "$viewer" ${CHANNEL:+--channel "$CHANNEL"} </dev/null >"$out/camview.log" 2>&1 &
  viewer_pid=$!
  echo "camview         on display $DISPLAY (close its window to end the demo)"
fi

# The producer prints "ready" once the channel holds the frame to show, and stays alive until --stop.
run "$producer" "${producer_args[@]}" </dev/null >"$out/producer.log" 2>&1 &
producer_pid=$!
for _ in $(seq 600); do
  grep -q '^ready' "$out/producer.log" 2>/dev/null && break
  kill -0 "$producer_pid" 2>/dev/null || { echo "demo: the producer exited:" >&2; cat "$out/producer.log" >&2; exit 1; }
  sleep 0.1
done
grep -q '^ready' "$out/producer.log" || { echo "demo: the producer did not get ready" >&2; exit 1; }
if [[ $mode != pattern ]]; then
  echo "== graph: File Source -> AVI Splitter -> vidtap on $clip =="
  grep -v '^ready' "$out/producer.log" | tr -d '\r'
fi

if [[ $mode == view ]]; then
  echo "== camview shows the channel; the stream has ended, so its last frame stays =="
  wait "$viewer_pid" || echo "demo: camview ended with $?: $(cat "$out/camview.log")" >&2
  viewer_pid=""
else
  echo "== camera channel ${CHANNEL:-tarn_kro_shared_camera_info}: header (read by a second process) =="
  run "$reader" ${CHANNEL:+--channel "$CHANNEL"} "Z:$out/frame.bmp" </dev/null | tr -d '\r'
fi

run "$producer" --stop </dev/null >/dev/null 2>&1
wait "$producer_pid" || { echo "demo: the producer failed:" >&2; cat "$out/producer.log" >&2; exit 1; }
producer_pid=""
[[ $mode == view ]] && exit 0

echo "== $title =="
echo "bitmap: $out/frame.bmp"
if command -v convert >/dev/null; then
  convert "$out/frame.bmp" "$out/frame.png"
  echo "png:    $out/frame.png"
fi
