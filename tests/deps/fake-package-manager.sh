#!/usr/bin/env bash
# A stand-in for apt-get, dpkg and dpkg-query (chosen by the name it is linked as), scripted by FAKE_* variables,
# that appends each call to $FAKE_DIR/calls. The private source folder an apt-get call is pointed at is copied
# to $FAKE_DIR/private-sources, since install-deps removes it when it ends.
#   FAKE_INSTALLED  yes: every package is installed; otherwise none is
#   FAKE_FOREIGN    the foreign architectures dpkg reports
#   FAKE_UPDATE     ok | fail-once | fail: the plain update (one against a private source list succeeds)
#   FAKE_INSTALL    ok | private (only against a private source list) | never
set -u
command=$(basename "$0")
private=no
args=()
for arg in "$@"; do
  case $arg in
    Dir::Etc::SourceParts=*)
      private=yes
      rm -rf "$FAKE_DIR/private-sources"
      cp -r "${arg#*=}" "$FAKE_DIR/private-sources"
      args+=("Dir::Etc::SourceParts=PRIVATE") ;;
    *) args+=("$arg") ;;
  esac
done
echo "$command ${args[*]}" >>"$FAKE_DIR/calls"

fetch_failure() {
  echo "E: Failed to fetch $1  File has unexpected size (39480 != 39392). Mirror sync in progress? [IP: 151.101.2.132 80]"
}
case "$command ${1:-}" in
  "dpkg-query -W") [[ $FAKE_INSTALLED == yes ]] && echo "install ok installed"; exit 0 ;;
  "dpkg --print-foreign-architectures") [[ -n $FAKE_FOREIGN ]] && echo "$FAKE_FOREIGN"; exit 0 ;;
  "dpkg --add-architecture") exit 0 ;;
esac
case "${args[*]}" in
  *update*)
    [[ $private == yes || $FAKE_UPDATE == ok ]] && exit 0
    if [[ $FAKE_UPDATE == fail-once && ! -e $FAKE_DIR/failed-once ]]; then
      touch "$FAKE_DIR/failed-once"
    elif [[ $FAKE_UPDATE == fail-once ]]; then
      exit 0
    fi
    fetch_failure http://deb.debian.org/debian-security/dists/bookworm-security/main/binary-i386/Packages.xz
    fetch_failure http://deb.debian.org/debian/dists/bookworm-updates/main/binary-i386/Packages.xz
    echo "E: Some index files failed to download. They have been ignored, or old ones used instead."
    exit 100 ;;
  *install*)
    [[ $FAKE_INSTALL == ok || ($FAKE_INSTALL == private && $private == yes) ]] && exit 0
    echo "E: Unable to correct problems, you have held broken packages."
    exit 100 ;;
esac
echo "fake-package-manager: unexpected call: $command $*" >&2
exit 99
