#!/usr/bin/env bash
# bench.sh WIN_BUILD HOST_BUILD PREFIX
# Runs the frame-publishing benchmarks: natively (Google Benchmark, with libyuv for comparison) and the
# Windows build of the same core under Wine. Prints ms/frame and ratios to each floor of the same run.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
win_build=$(realpath -m "${1:?usage: bench.sh WIN_BUILD HOST_BUILD PREFIX}")
host_build=$(realpath -m "${2:?usage: bench.sh WIN_BUILD HOST_BUILD PREFIX}")
prefix=$(realpath -m "${3:?usage: bench.sh WIN_BUILD HOST_BUILD PREFIX}")
host_bench="$host_build/bench/publish_bench"
win_bench="$win_build/bench/publish_bench_win.exe"
for f in "$host_bench" "$win_bench"; do
  [[ -f $f ]] || { echo "bench: $f is missing (build both presets first)" >&2; exit 1; }
done

echo "== native =="
"$host_bench" --benchmark_repetitions=3 --benchmark_report_aggregates_only=true --benchmark_min_time=0.3

echo
echo "== Windows build under Wine =="
bash "$root/scripts/wine-prefix.sh" start "$prefix" >/dev/null
trap 'bash "$root/scripts/wine-prefix.sh" stop "$prefix"' EXIT
"$root/scripts/wine-run" "$prefix" win32 "$win_bench" </dev/null | tr -d '\r'
echo
echo "(load average: $(cut -d' ' -f1-3 /proc/loadavg); the machine may be shared, so wall-clock figures vary)"
