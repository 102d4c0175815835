#!/usr/bin/env bash
# dist-check.sh JOBS: builds the release package a second time, from a copy of the last commit in another
# folder (build/dist-check/source) with fresh 32- and 64-bit builds, and compares it and the setup program
# byte for byte with the ones `make dist` left in dist/. Both are packed with the last commit's time, so the
# two agree exactly when the working tree holds that commit.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
jobs=${1:-2}
if [[ -n $(git -C "$root" status --porcelain --untracked-files=no) ]]; then
  echo "dist-check: the working tree has changes the last commit lacks; dist/ is not built from it" >&2
  exit 1
fi
source="$root/build/dist-check/source"
rm -rf "$source"
mkdir -p "$source"
git -C "$root" archive HEAD | tar -x -C "$source"
export SOURCE_DATE_EPOCH
SOURCE_DATE_EPOCH=$(git -C "$root" log -1 --format=%ct)
for preset in win32 win64; do
  (cd "$source" && cmake --preset "$preset" >/dev/null && cmake --build --preset "$preset" -j "$jobs" --target package_stage)
done
second=$(bash "$source/scripts/dist.sh" "$source/build/win32" "$source/build/win64" "$source/dist")
status=0
for file in "$second" "${second%-windows.zip}-setup.exe"; do
  first="$root/dist/$(basename "$file")"
  if cmp "$first" "$file"; then
    echo "dist-check: $first is reproduced byte for byte by a second build elsewhere"
  else
    echo "dist-check: a second build elsewhere gives another $(basename "$file")" >&2
    status=1
  fi
done
exit $status
