#!/usr/bin/env bash
# fuzz.sh BUILD SECONDS: runs every fuzz target of the fuzz preset's build for SECONDS seconds each. Each
# target starts from its committed corpus (tests/fuzz/corpus/<target>, read only) and keeps what it finds in
# BUILD/corpus/<target>; crashing inputs land in BUILD/findings/<target> (slow-unit-* files there only note
# slow inputs and are no finding). Prints the executions reached.
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:?usage: fuzz.sh BUILD SECONDS}
seconds=${2:-60}
status=0
for target in frame_publisher_fuzz picture_description_fuzz; do
  work="$build/corpus/$target" findings="$build/findings/$target"
  mkdir -p "$work" "$findings"
  echo "== $target: $seconds s"
  "$build/tests/fuzz/$target" -max_total_time="$seconds" -print_final_stats=1 -artifact_prefix="$findings/" \
    "$work" "$root/tests/fuzz/corpus/$target" 2>&1 | grep -E '^(stat::number_of_executed_units|stat::peak_rss|==|SUMMARY|#[0-9]+ +DONE)' \
    || true
  if ls "$findings" | grep -qv '^slow-unit-'; then echo "*** $target: findings in $findings"; status=1; fi
done
exit $status
