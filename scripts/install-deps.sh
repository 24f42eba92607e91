#!/usr/bin/env bash
# Installs what building and testing need on Debian 12, skipping what is there.
#   ./scripts/install-deps.sh [PACKAGE...]   (no arguments: the project's list)
# A package mirror caught mid-sync can fail one index of `apt-get update`; the
# update is retried, then the install goes on with the indexes there are, and
# once more with the distribution's own release as target release, because
# i386 libraries must match the version of their amd64 twins and only the
# release may have both. Only a package that can't be had at all stops it.
set -euo pipefail
# make: CMake's generator (cmake only recommends it); x11-utils: xwininfo;
# procps: ps and pkill; debootstrap: the Wine 10 root; osslsigncode: signing;
# openssl and python3-yaml: the signed release's test.
pkgs=(g++-mingw-w64-i686 mingw-w64-tools binutils-mingw-w64-i686 wine wine32:i386 wine64
      xvfb xauth xdotool make cmake googletest imagemagick x11-utils procps debootstrap nsis
      osslsigncode openssl python3-yaml)
[ $# -gt 0 ] && pkgs=("$@")
pause=${INSTALL_DEPS_RETRY_PAUSE:-5}

still_missing() {
  local p
  for p in "$@"; do dpkg -s "$p" >/dev/null 2>&1 || echo "$p"; done
}
mapfile -t missing < <(still_missing "${pkgs[@]}")
[ ${#missing[@]} -eq 0 ] && exit 0

SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO=sudo
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  $SUDO dpkg --add-architecture i386
fi

# apt-get update exits 0 on some failed indexes; "E:" lines on stderr tell.
update_ok() {
  local err
  err=$($SUDO apt-get update -qq 2>&1 >/dev/null) || return 1
  ! grep -q '^E:' <<<"$err"
}
updated=0
for attempt in 1 2 3; do
  if update_ok; then updated=1; break; fi
  [ "$attempt" -lt 3 ] && sleep "$pause"
done
[ "$updated" -eq 1 ] ||
  echo "install-deps: apt-get update failed 3 times (a mirror mid-sync?); going on with the indexes it has" >&2

install() {
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "$@" \
    "${missing[@]}" >/dev/null
}
first_errors=$(install 2>&1) && exit 0
release=$(. /etc/os-release && echo "${VERSION_CODENAME:-}")
if [ -n "$release" ]; then
  echo "install-deps: install failed; trying again with target release $release" >&2
  install -t "$release" && exit 0
fi
[ -n "$first_errors" ] && echo "$first_errors" >&2
mapfile -t missing < <(still_missing "${missing[@]}")
echo "install-deps: could not install: ${missing[*]}" >&2
exit 1
