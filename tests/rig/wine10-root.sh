#!/usr/bin/env bash
# Makes (once) the Debian 13 root in which the Wine 10 rig runs:
#   tests/rig/wine10-root.sh DIR
# debootstrap from Debian's archive, then Wine 10 and what the tests use.
# DIR is reused while its stamp matches the package list below; otherwise it
# is made again beside it and moved into place, so a half-made root is never
# used. Everything that mounts runs in a private mount namespace: no mount
# outlives it, and the host never sees one.
set -euo pipefail
root=${1:?usage: wine10-root.sh DIR}
suite=trixie
mirror=http://deb.debian.org/debian
pkgs="wine wine32:i386 wine64 xvfb xauth xdotool imagemagick procps x11-utils qemu-user osslsigncode"
stamp="$suite $pkgs"
[ "$(cat "$root/.ornax-root" 2>/dev/null)" = "$stamp" ] && exit 0

command -v debootstrap >/dev/null || ./scripts/install-deps.sh debootstrap
new="$root.new"
rm -rf --one-file-system "$new"
start=$(date +%s)
echo "wine10-root: making a Debian 13 root in $root (once)"
unshare --mount --propagation private bash -euo pipefail -c '
  new=$1 suite=$2 mirror=$3 pkgs=$4
  # A download cut short or a mirror caught mid-sync gets one more try.
  : >"$new.log"
  for attempt in 1 2; do
    debootstrap --variant=minbase "$suite" "$new" "$mirror" >>"$new.log" 2>&1 && break
    [ "$attempt" -eq 2 ] && { tail -20 "$new.log" >&2; exit 1; }
    echo "wine10-root: debootstrap failed; trying once more" >&2
    rm -rf --one-file-system "$new"; sleep 5
  done
  for fs in proc sys dev dev/pts; do mount --bind "/$fs" "$new/$fs"; done
  in_root() { chroot "$new" /usr/bin/env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin DEBIAN_FRONTEND=noninteractive "$@"; }
  in_root dpkg --add-architecture i386
  update() {
    for attempt in 1 2 3; do
      in_root apt-get update -qq >>"$new.log" 2>&1 && return
      [ "$attempt" -lt 3 ] && sleep 5
    done
    return 0
  }
  update
  if ! in_root apt-get install -y -qq --no-install-recommends $pkgs >>"$new.log" 2>&1; then
    echo "wine10-root: install failed; updating the indexes and trying once more" >&2
    sleep 5; update
    in_root apt-get install -y -qq --no-install-recommends $pkgs >>"$new.log" 2>&1 ||
      { tail -20 "$new.log" >&2; echo "wine10-root: could not install: $pkgs" >&2; exit 1; }
  fi
  in_root apt-get clean
' bash "$new" "$suite" "$mirror" "$pkgs"
echo "$stamp" >"$new/.ornax-root"
rm -rf --one-file-system "$root"
mv "$new" "$root"
echo "wine10-root: done in $(( $(date +%s) - start )) s, $(du -sh --one-file-system "$root" | cut -f1)"
