#!/usr/bin/env bash
# bench.sh HOST_BUILD WIN_BUILD...
# Runs the frame-publishing benchmarks: natively (Google Benchmark, with libyuv for comparison) and each
# Windows build of the same core (32- and 64-bit) under Wine, each in its own build's prefix. Prints ms/frame
# and ratios to each floor of the same run; for each Windows build also the cost of camview's refresh.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
usage="usage: bench.sh HOST_BUILD WIN_BUILD..."
host_build=$(realpath -m "${1:?$usage}")
shift
[[ $# -gt 0 ]] || { echo "$usage" >&2; exit 2; }
host_bench="$host_build/bench/publish_bench"
for f in "$host_bench" "${@/%//bench/publish_bench_win.exe}" "${@/%//bench/camview_poll_bench_win.exe}" \
         "${@/%//bench/sync_bench_win.exe}"; do
  [[ -f $f ]] || { echo "bench: $f is missing (build every preset first)" >&2; exit 1; }
done

echo "== native =="
"$host_bench" --benchmark_repetitions=3 --benchmark_report_aggregates_only=true --benchmark_min_time=0.3

prefix=""; arch=""
trap '[[ -z $prefix ]] || bash "$root/scripts/wine-prefix.sh" stop "$prefix" "$arch"' EXIT
for win_build in "$@"; do
  win_build=$(realpath -m "$win_build")
  arch=$(bash "$root/scripts/wine-arch.sh" "$win_build")
  echo
  echo "== Windows build under Wine ($arch: $win_build) =="
  if [[ $arch == win32 ]] && ! bash "$root/scripts/runs-32-bit-code.sh"; then
    echo "NOT RUN: this machine executes no 32-bit code (its kernel has no IA-32 emulation)"
    continue
  fi
  prefix="$win_build/wineprefix"
  bash "$root/scripts/wine-prefix.sh" start "$prefix" "$arch" >/dev/null
  "$root/scripts/wine-run" "$prefix" "$arch" "$win_build/bench/publish_bench_win.exe" </dev/null | tr -d '\r'
  "$root/scripts/wine-run" "$prefix" "$arch" "$win_build/bench/camview_poll_bench_win.exe" </dev/null | tr -d '\r'
  "$root/scripts/wine-run" "$prefix" "$arch" "$win_build/bench/sync_bench_win.exe" </dev/null | tr -d '\r'
  bash "$root/scripts/wine-prefix.sh" stop "$prefix" "$arch"
  prefix=""
done
echo
echo "(load average: $(cut -d' ' -f1-3 /proc/loadavg); the machine may be shared, so wall-clock figures vary)"
