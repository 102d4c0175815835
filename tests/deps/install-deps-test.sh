#!/usr/bin/env bash
# install-deps-test.sh: scripts/install-deps.sh's decisions against a stubbed package manager
# (fake-package-manager.sh as apt-get, dpkg and dpkg-query), one row of the table below per situation: the
# apt-get and dpkg commands it runs in order (dpkg-query's package checks left out, the package list of an
# install shown as PACKAGES), its exit code and a message it must print. The multiarch rows also check the
# private source list: the suites whose index failed removed, every other suite kept.
set -uo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAILED: $*"; failures=$((failures + 1)); }

# The machine's sources: a deb822 file whose first stanza holds a suite whose index fails beside one whose
# index arrives, and a one-line file with the same suites, one entry with options.
mkdir -p "$work/sources.list.d"
cat >"$work/sources.list.d/debian.sources" <<'SOURCES'
Types: deb
URIs: http://deb.debian.org/debian/
Suites: bookworm bookworm-updates
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg

Types: deb
URIs: http://deb.debian.org/debian-security
Suites: bookworm-security
Components: main
SOURCES
cat >"$work/sources.list" <<'SOURCES'
deb http://deb.debian.org/debian bookworm main
deb [arch=amd64,i386 signed-by=/usr/share/keyrings/debian-archive-keyring.gpg] http://deb.debian.org/debian-security/ bookworm-security main
deb http://deb.debian.org/debian bookworm-updates main contrib
# a comment stays
SOURCES
expected_deb822='Types: deb
URIs: http://deb.debian.org/debian/
Suites: bookworm
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg'
expected_list='deb http://deb.debian.org/debian bookworm main
# a comment stays'

update='apt-get update -qq'
install='apt-get install -y -qq --no-install-recommends PACKAGES'
private='apt-get -o Dir::Etc::SourceList=/dev/null -o Dir::Etc::SourceParts=PRIVATE'
# name | FAKE_INSTALLED FAKE_FOREIGN FAKE_UPDATE FAKE_INSTALL | exit code | commands | a message
cases=(
"nothing missing|yes i386 fail never|0||"
"i386 and packages missing, index fails once|no - fail-once ok|0|dpkg --add-architecture i386
$update
$update
$install|apt-get update failed (try 1 of 3); trying again in 0 s"
"index fails always, install works without it|no i386 fail ok|0|$update
$update
$update
$install|going on without it, with the indexes that did arrive"
"multiarch skew, private source list works|no i386 fail private|0|$update
$update
$update
$install
$private update -qq
$private install -y -qq --no-install-recommends PACKAGES|installed from the private source list; the next plain 'apt-get update' restores the usual indexes"
"install impossible even then|no i386 fail never|1|$update
$update
$update
$install
$private update -qq
$private install -y -qq --no-install-recommends PACKAGES|run 'make deps' again (or point /etc/apt/sources.list.d at another mirror)."
"index fine, install fails|no i386 ok never|1|$update
$install|apt-get install failed with every package index in place; nothing to fall back to."
)

row_number=0
for command in apt-get dpkg dpkg-query; do ln -s "$root/tests/deps/fake-package-manager.sh" "$work/$command"; done
for row in "${cases[@]}"; do
  IFS='|' read -r -d '' name setup status commands message <<<"$row" || true
  message=${message%$'\n'}
  read -r installed foreign update_mode install_mode <<<"$setup"
  [[ $foreign == - ]] && foreign=""
  fake="$work/$((++row_number))"
  mkdir -p "$fake"
  FAKE_DIR="$fake" FAKE_INSTALLED=$installed FAKE_FOREIGN=$foreign FAKE_UPDATE=$update_mode \
    FAKE_INSTALL=$install_mode APT_GET="$work/apt-get" DPKG="$work/dpkg" DPKG_QUERY="$work/dpkg-query" \
    APT_SOURCES_DIR="$work/sources.list.d" APT_SOURCES_LIST="$work/sources.list" INSTALL_DEPS_RETRY_DELAY=0 \
    INSTALL_DEPS_NO_SUDO=1 bash "$root/scripts/install-deps.sh" >"$fake/output" 2>&1
  actual=$?
  [[ $actual == "$status" ]] || fail "$name: exit code $actual, expected $status"
  ran=$(grep -v '^dpkg-query \|^dpkg --print-foreign' "$fake/calls" |
        sed -E 's/(--no-install-recommends) .*/\1 PACKAGES/')
  [[ $ran == "$commands" ]] || fail "$name: commands
$ran
expected
$commands"
  grep -q '^dpkg-query -W -f=${Status} nsis$' "$fake/calls" || fail "$name: nsis is not among the packages checked"
  if [[ -n $message ]]; then
    grep -qF "install-deps: $message" "$fake/output" || fail "$name: no message '$message' in
$(cat "$fake/output")"
  else
    [[ ! -s $fake/output ]] || fail "$name: said $(cat "$fake/output")"
  fi
  if [[ $commands == *PRIVATE* ]]; then
    [[ $(cat "$fake/private-sources/debian.sources") == "$expected_deb822" ]] ||
      fail "$name: private debian.sources is
$(cat "$fake/private-sources/debian.sources")"
    [[ $(cat "$fake/private-sources/sources.list.list") == "$expected_list" ]] ||
      fail "$name: private sources.list is
$(cat "$fake/private-sources/sources.list.list")"
  fi
  if [[ $commands == *install* ]]; then
    grep -q -- "--no-install-recommends .*wine32:i386 .* nsis$" "$fake/calls" ||
      fail "$name: the install does not name every missing package"
  fi
done
[[ $failures == 0 ]] && echo "install-deps: ${#cases[@]} situations passed"
exit $((failures > 0))
