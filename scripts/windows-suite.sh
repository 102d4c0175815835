#!/usr/bin/env bash
# windows-suite.sh PRESET JOBS [soak]: runs a Windows preset's ctest suite (win32 or win64) in its own prefix.
# The long runs (ctest label soak, minutes each) are left out unless SOAK=1 is set; with the third argument
# `soak` only they run (make soak).
# On a machine that executes no 32-bit code (a kernel without IA-32 emulation) Wine cannot start any 32-bit
# program. The tests that need one are then reported as NOT RUN with that cause, never as passed, and the
# rest still runs: in win32 the checks that need no Wine (Microsoft-mode compiles, module imports), in win64
# everything but the tests labelled wine32 (the 32-bit side of the side-by-side tests).
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
preset=${1:?usage: windows-suite.sh win32|win64 JOBS}
jobs=${2:-2}
only_soak=no
[[ ${3:-} == soak ]] && only_soak=yes
# ctest's label filters: what this run leaves out, and (soak only) what it selects.
excluded='soak'
[[ ${SOAK:-0} == 1 ]] && excluded=''
selection=()
[[ $only_soak == yes ]] && { selection=(-L soak); excluded=''; }
build="$root/build/$preset"
prefix="$build/wineprefix"
runs32=yes
bash "$root/scripts/runs-32-bit-code.sh" || runs32=no
if [[ $runs32 == no ]]; then
  echo "*** NOT RUN in $preset: every test that starts a 32-bit Windows program (this machine executes no" \
       "32-bit code: its kernel has no IA-32 emulation)"
fi
if [[ $preset == win32 && $runs32 == no ]]; then
  [[ $only_soak == yes ]] && exit 0
  status=0
  for dir in tests/msmode vidtap nullsinker; do
    ctest --test-dir "$build/$dir" -j "$jobs" --output-on-failure || status=1
  done
  exit $status
fi
bash "$root/scripts/wine-prefix.sh" start "$prefix" "$preset"
trap 'bash "$root/scripts/wine-prefix.sh" stop "$prefix" "$preset"' EXIT
if [[ $runs32 == no ]]; then
  excluded=${excluded:+$excluded|}wine32
fi
# scripts/wine-run notes every run it had to try twice in PREFIX.retries; the suite reports them, so that
# a retried failure is never silent.
retries="$prefix.retries"
rm -f "$retries"
ctest --preset "$preset" -j "$jobs" "${selection[@]}" ${excluded:+-LE "$excluded"}
status=$?
if [[ -s $retries ]]; then
  echo "*** wine-run tried these runs a second time ($(wc -l <"$retries") in $preset):"
  cat "$retries"
fi
exit $status
