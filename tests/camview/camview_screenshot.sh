#!/usr/bin/env bash
# camview_screenshot.sh BUILD_DIR: camview, under Wine on a virtual X display (Xvfb), shows the 1920x1080
# pattern that testpattern_publisher publishes. camview's title must name the picture's geometry and frame
# block, and a screenshot of the display must show the pattern's colours where they belong in camview's client
# area (found through the X window that carries that title): the white square top left, the seven colour bars
# from left to right in red-green-blue order, the grey ramp's middle. The screenshot is kept as
# BUILD_DIR/camview/screenshot.png, the check's findings in BUILD_DIR/camview/check.txt.
# It runs in a Wine prefix of its own (BUILD_DIR/viewprefix, created when missing) with a server of its own, so
# that neither the display nor the channel's names meet the Wine tests running beside it. Xvfb, the prefix's
# server and the programs end with the script; every wait is bounded.
set -uo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=$(realpath -m "${1:?usage: camview_screenshot.sh BUILD_DIR}")
arch=$(bash "$root/scripts/wine-arch.sh" "$build") || exit 1
prefix="$build/viewprefix"
out="$build/camview"
publisher="$build/tools/testpattern_publisher.exe"
viewer="$build/tools/camview/camview.exe"
# camview's client area: 480 x 270, a quarter of the pattern in each direction.
client_x=32 client_y=48 client_width=480 client_height=270

fail() { echo "camview screenshot: $*" >&2; exit 1; }
for tool in Xvfb xwininfo import convert; do
  command -v "$tool" >/dev/null || fail "$tool is missing (scripts/install-deps.sh installs it)"
done
mkdir -p "$out"
rm -f "$out/screenshot.png" "$out/check.txt" "$out/display"

xvfb_pid=""
cleanup() {
  WINEPREFIX="$prefix" wineserver -k </dev/null >/dev/null 2>&1
  [[ -n $xvfb_pid ]] && kill "$xvfb_pid" 2>/dev/null
  wait 2>/dev/null
}
trap cleanup EXIT
trap 'exit 1' TERM INT

# Xvfb picks a display number nobody uses and writes it to descriptor 3.
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$out/display" </dev/null >"$out/xvfb.log" 2>&1 &
xvfb_pid=$!
for _ in $(seq 100); do [[ -s $out/display ]] && break; sleep 0.1; done
[[ -s $out/display ]] || fail "Xvfb did not start: $(cat "$out/xvfb.log")"
export DISPLAY=":$(tr -d '\n' <"$out/display")"

timeout 180 bash "$root/scripts/wine-prefix.sh" start "$prefix" "$arch" >/dev/null || fail "the Wine prefix did not start"
run() { "$root/scripts/wine-run" "$prefix" "$arch" "$@"; }

run "$publisher" </dev/null >"$out/publisher.log" 2>&1 &
for _ in $(seq 600); do grep -q '^ready' "$out/publisher.log" && break; sleep 0.1; done
grep -q '^ready' "$out/publisher.log" || fail "the publisher did not get ready: $(cat "$out/publisher.log")"

run "$viewer" --position "$client_x" "$client_y" --size "$client_width" "$client_height" </dev/null \
  >"$out/camview.log" 2>&1 &

# The X window camview shows the picture in; xwininfo's line ends in its size and its place on the screen.
# The pattern publisher keeps a sync block, so the title also tells the frames skipped and the frame's age.
wanted='"camview - 1920 x 1080 - [0-9.]+ fps - [0-9]+ skipped - -?[0-9]+ ms old - tarn_kro_shared_camera_memeory0"'
window=""
for _ in $(seq 300); do
  window=$(xwininfo -root -tree 2>/dev/null | grep -E "$wanted" | head -n 1)
  [[ -n $window ]] && break
  sleep 0.1
done
[[ -n $window ]] || fail "no window titled like $wanted; windows: $(xwininfo -root -tree | grep -o '"camview[^"]*"')"
read -r width height left top < <(sed -E 's/.* ([0-9]+)x([0-9]+)[+-][0-9]+[+-][0-9]+ +\+(-?[0-9]+)\+(-?[0-9]+)$/\1 \2 \3 \4/' <<<"$window")
[[ $width == "$client_width" && $height == "$client_height" ]] ||
  fail "camview's window is ${width}x${height}, not the ${client_width}x${client_height} asked for: $window"

# Points of the pattern (x, y in the 1920x1080 picture) and the colour camview must show there (R, G, B).
points=(
  "white square|60|60|255|255|255"
  "75% white bar|137|400|191|191|191"
  "yellow bar|411|400|191|191|0"
  "cyan bar|686|400|0|191|191"
  "green bar|960|400|0|191|0"
  "magenta bar|1234|400|191|0|191"
  "red bar|1509|400|191|0|0"
  "blue bar|1783|400|0|0|191"
  "grey ramp's middle|960|729|127|127|127"
)
tolerance=12
near() { (( $1 - $2 <= tolerance && $2 - $1 <= tolerance )); }
# Takes a screenshot and compares every point; the findings go to check.txt.
check() {
  import -window root "$out/screenshot.png" || return 1
  local status=0 point label px py wr wg wb sx sy r g b verdict
  : >"$out/check.txt"
  for point in "${points[@]}"; do
    IFS='|' read -r label px py wr wg wb <<<"$point"
    sx=$((left + px * width / 1920)) sy=$((top + py * height / 1080))
    read -r r g b < <(convert "$out/screenshot.png" \
      -format "%[fx:int(255*p{$sx,$sy}.r+0.5)] %[fx:int(255*p{$sx,$sy}.g+0.5)] %[fx:int(255*p{$sx,$sy}.b+0.5)]" info:)
    verdict=ok
    near "${r:--999}" "$wr" && near "${g:--999}" "$wg" && near "${b:--999}" "$wb" || { verdict=WRONG; status=1; }
    printf '%-20s at (%4d,%4d): expected %3d %3d %3d, seen %3s %3s %3s  %s\n' \
      "$label" "$sx" "$sy" "$wr" "$wg" "$wb" "$r" "$g" "$b" "$verdict" >>"$out/check.txt"
  done
  return $status
}
# The title changes before the window has painted the picture: look again for a while.
passed=no
for _ in $(seq 20); do
  check && { passed=yes; break; }
  sleep 0.25
done
title=${window#*\"}
echo "camview window: ${title%%\"*} (${width}x${height} at +$left+$top)"
cat "$out/check.txt"
echo "screenshot: $out/screenshot.png"
[[ $passed == yes ]] || fail "the screenshot does not show the pattern where camview's client area is"
run "$publisher" --stop </dev/null >/dev/null 2>&1
echo "camview screenshot check passed"
