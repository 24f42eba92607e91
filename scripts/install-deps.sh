#!/usr/bin/env bash
# Installs what building and testing need on Debian 12, skipping what is there.
set -euo pipefail
pkgs=(g++-mingw-w64-i686 mingw-w64-tools binutils-mingw-w64-i686 wine wine32:i386 wine64
      xvfb xauth xdotool cmake googletest imagemagick x11-utils procps)
missing=()
for p in "${pkgs[@]}"; do
  dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO=sudo
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  $SUDO dpkg --add-architecture i386
fi
$SUDO apt-get update -qq
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
