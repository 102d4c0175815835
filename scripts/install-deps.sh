#!/usr/bin/env bash
# Installs what the build and the tests need on Debian 12, only when missing. Runs as root (or through sudo
# when available). A second run on an installed machine does nothing.
#
# A package index that cannot be had (a mirror caught mid-sync answers "File has unexpected size") is handled
# in steps, each saying what it does:
#   1. `apt-get update` is tried up to INSTALL_DEPS_TRIES times, INSTALL_DEPS_RETRY_DELAY seconds apart;
#   2. when it still fails, the install is tried with the indexes that did arrive: it succeeds whenever the
#      failed index was not needed;
#   3. when that install fails too (typically multiarch skew: the i386 packages would come from another suite,
#      at other versions than the installed amd64 ones), update and install run once more against a private
#      copy of the machine's sources without the suites whose index failed;
#   4. when even that fails, one message says what failed and what to do, and the script exits with 1.
# The commands are taken from APT_GET, DPKG and DPKG_QUERY, and the machine's sources from APT_SOURCES_DIR
# (and APT_SOURCES_LIST), so that tests can run this decision logic against a stubbed package manager.
set -euo pipefail

APT_GET=${APT_GET:-apt-get}
DPKG=${DPKG:-dpkg}
DPKG_QUERY=${DPKG_QUERY:-dpkg-query}
APT_SOURCES_DIR=${APT_SOURCES_DIR:-/etc/apt/sources.list.d}
APT_SOURCES_LIST=${APT_SOURCES_LIST:-/etc/apt/sources.list}
tries=${INSTALL_DEPS_TRIES:-3}
retry_delay=${INSTALL_DEPS_RETRY_DELAY:-5}

packages=(cmake ninja-build googletest libgtest-dev libbenchmark-dev libyuv-dev
          g++-mingw-w64-i686-posix wine wine32:i386
          gstreamer1.0-plugins-base:i386 gstreamer1.0-plugins-good:i386 gstreamer1.0-libav:i386
          g++-mingw-w64-x86-64-posix wine64 gstreamer1.0-plugins-base gstreamer1.0-plugins-good gstreamer1.0-libav
          clang lld llvm libclang-rt-14-dev
          ffmpeg imagemagick zip unzip xvfb x11-utils nsis)

say() { echo "install-deps: $*" >&2; }
have_pkg() { "$DPKG_QUERY" -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'; }

need=()
for p in "${packages[@]}"; do
  have_pkg "$p" || need+=("$p")
done
add_i386=no
"$DPKG" --print-foreign-architectures | grep -qx i386 || add_i386=yes
if [[ ${#need[@]} -eq 0 && $add_i386 == no ]]; then
  exit 0
fi

SUDO=""
if [[ $(id -u) -ne 0 && -z ${INSTALL_DEPS_NO_SUDO:-} ]]; then
  if command -v sudo >/dev/null; then SUDO=sudo; else
    say "missing packages (${need[*]}) and not root: install them first"; exit 1
  fi
fi

export DEBIAN_FRONTEND=noninteractive
say "installing: ${need[*]}"
[[ $add_i386 == yes ]] && $SUDO "$DPKG" --add-architecture i386

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Runs apt-get with the given options, its messages kept in $work/apt.log (and shown on failure).
apt() {
  if $SUDO "$APT_GET" "$@" >"$work/apt.log" 2>&1; then return 0; fi
  grep -E '^(E|W):' "$work/apt.log" >&2 || tail -n 5 "$work/apt.log" >&2
  return 1
}
install() { apt "$@" install -y -qq --no-install-recommends "${need[@]}"; }

# The addresses of the indexes the last update could not fetch ("E: Failed to fetch URL ...", or "W:" from
# the apt versions that report an index it went on without as a warning).
failed_indexes() { sed -n 's/^[EW]: Failed to fetch \([^ ]*\).*/\1/p' "$work/apt.log" | sort -u; }

updated=no
for ((try = 1; try <= tries; ++try)); do
  if apt update -qq; then updated=yes; break; fi
  failed_indexes >"$work/failed"
  if ((try < tries)); then
    say "apt-get update failed (try $try of $tries); trying again in ${retry_delay} s"
    sleep "$retry_delay"
  fi
done
if [[ $updated == yes ]]; then
  install && exit 0
  say "apt-get install failed with every package index in place; nothing to fall back to."
  say "What to do: read the apt messages above, fix the package sources, and run 'make deps' again."
  exit 1
fi

say "the package index could not be had: $(tr '\n' ' ' <"$work/failed")"
say "going on without it, with the indexes that did arrive"
install && exit 0

# Writes into $1 a copy of the machine's sources without the suites whose index failed. deb822 stanzas lose
# those suites from their Suites line (a stanza left with none is dropped); one-line entries are dropped whole.
private_sources() {
  local dir=$1 file
  mkdir -p "$dir"
  for file in "$APT_SOURCES_DIR"/*.sources; do
    [[ -e $file ]] || continue
    awk -v failed="$work/failed" '
      BEGIN { while ((getline url < failed) > 0) bad[url] = 1 }
      function flush(   i, n, parts, kept, url, u, s, keep, line) {
        if (stanza == "") return
        kept = ""
        n = split(suites, parts, " ")
        for (i = 1; i <= n; ++i) {
          keep = 1
          for (url in bad) for (u in uris) if (index(url, uris[u] "/dists/" parts[i] "/") == 1) keep = 0
          if (keep) kept = kept (kept == "" ? "" : " ") parts[i]
        }
        if (kept != "") {
          line = stanza; sub(/Suites:[^\n]*/, "Suites: " kept, line); printf "%s\n", line
        }
        stanza = ""; suites = ""; delete uris
      }
      /^[[:space:]]*$/ { flush(); next }
      {
        stanza = stanza $0 "\n"
        if ($1 == "Suites:") { suites = $0; sub(/^Suites:[[:space:]]*/, "", suites) }
        if ($1 == "URIs:") for (i = 2; i <= NF; ++i) { u = $i; sub(/\/$/, "", u); uris[u] = u }
      }
      END { flush() }' "$file" >"$dir/$(basename "$file")"
  done
  for file in "$APT_SOURCES_LIST" "$APT_SOURCES_DIR"/*.list; do
    [[ -e $file ]] || continue
    : >"$dir/$(basename "$file").list"
    while read -r line; do
      local skip=no url
      # "deb [options] URI suite components": the options, which may hold spaces, are no field of their own.
      # shellcheck disable=SC2086
      set -- ${line/\[*\]/}
      if [[ ${1:-} == deb* && $# -ge 3 ]]; then
        while read -r url; do
          [[ $url == "${2%/}/dists/$3/"* ]] && skip=yes
        done <"$work/failed"
      fi
      [[ $skip == no ]] && echo "$line" >>"$dir/$(basename "$file").list"
    done <"$file"
  done
}

say "the install failed without that index (multiarch versions cannot be matched across suites);"
say "falling back to a private source list without the failed suites for this one install"
private_sources "$work/sources"
private=(-o Dir::Etc::SourceList=/dev/null -o "Dir::Etc::SourceParts=$work/sources")
if apt "${private[@]}" update -qq && install "${private[@]}"; then
  say "installed from the private source list; the next plain 'apt-get update' restores the usual indexes"
  exit 0
fi
say "cannot install ${need[*]}: the package index $(tr '\n' ' ' <"$work/failed")could not be fetched and the"
say "packages cannot be installed without it. What to do: wait a few minutes for the mirror to finish syncing and"
say "run 'make deps' again (or point /etc/apt/sources.list.d at another mirror)."
exit 1
