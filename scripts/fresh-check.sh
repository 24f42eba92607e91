#!/usr/bin/env bash
# Checks the README's two commands as a new user meets them: on a fresh
# Debian 12 made with debootstrap from this machine's package sources, with
# this working tree copied in, it runs the test command, then the run command.
#   ./scripts/fresh-check.sh        (as root; about a quarter of an hour)
# The Debian 12 root is made once and kept pristine under $FRESH_CHECK_DIR
# (default /var/tmp/ornax-fresh-check); each check runs in a new copy of it.
# The copy is the root of its own mount and PID namespaces, so everything the
# commands leave running ends with them, and no mount reaches the host. A
# binfmt entry that the run registers is removed afterwards; one that the
# host had is set aside for the run and put back.
# Exits non-zero when a command fails, or the run command's switch log has no
# start-up report, or its screenshot is missing.
set -euo pipefail
cd "$(dirname "$0")/.."
project=$PWD
base=${FRESH_CHECK_DIR:-/var/tmp/ornax-fresh-check}
pristine=$base/pristine
tree=$base/run
inside=/work/ornax
misc=/proc/sys/fs/binfmt_misc
[ "$(id -u)" -eq 0 ] || { echo "fresh-check: run it as root" >&2; exit 2; }
./scripts/install-deps.sh debootstrap

# The Debian 12 root, from the first Debian source this machine uses.
if [ ! -e "$pristine/.fresh-check" ]; then
  mirror=$( (cat /etc/apt/sources.list /etc/apt/sources.list.d/*.sources 2>/dev/null || true) |
             grep -oE '^(URIs: *|deb +)https?://[^ ]+/debian/?( |$)' | head -n 1 |
             sed -E 's/^(URIs: *|deb +)//; s/ *$//' || true)
  mirror=${mirror:-http://deb.debian.org/debian}
  echo "fresh-check: making a Debian 12 root from $mirror (once)"
  rm -rf --one-file-system "$pristine.new"
  mkdir -p "$base"
  for attempt in 1 2; do
    debootstrap --variant=minbase bookworm "$pristine.new" "$mirror" >"$base/debootstrap.log" 2>&1 && break
    [ "$attempt" -eq 2 ] && { tail -20 "$base/debootstrap.log" >&2; exit 1; }
    echo "fresh-check: debootstrap failed; trying once more" >&2
    rm -rf --one-file-system "$pristine.new"; sleep 5
  done
  # The machine's own Debian sources, as a fresh machine of this place has them.
  rm -f "$pristine.new/etc/apt/sources.list"
  for f in /etc/apt/sources.list /etc/apt/sources.list.d/*.sources /etc/apt/sources.list.d/*.list; do
    [ -f "$f" ] && grep -q 'debian' "$f" && cp "$f" "$pristine.new$f"
  done
  rm -rf "$pristine.new/var/lib/apt/lists/"* "$pristine.new/var/cache/apt/archives/"*.deb
  touch "$pristine.new/.fresh-check"
  mv "$pristine.new" "$pristine"
fi

# A new copy of it, with the working tree as git lists it (no build outputs).
rm -rf --one-file-system "$tree"
cp -a "$pristine" "$tree"
cp /etc/resolv.conf "$tree/etc/resolv.conf"
mkdir -p "$tree$inside"
git ls-files -co --exclude-standard -z | tar --null -T - -cf - | tar -xf - -C "$tree$inside"

# binfmt: what there is before, and the project's own entry set aside.
[ -e "$misc/register" ] || mount -t binfmt_misc binfmt_misc "$misc"
entries_before=$(ls "$misc")
host_emulator=""
if [ -e "$misc/ornax-i386" ]; then
  host_emulator=$(sed -n 's/^interpreter //p' "$misc/ornax-i386")
  echo -1 >"$misc/ornax-i386"
fi
restore_binfmt() {
  local e
  for e in $(ls "$misc"); do
    grep -qxF "$e" <<<"$entries_before" || echo -1 >"$misc/$e"
  done
  [ -e "$misc/ornax-i386" ] && echo -1 >"$misc/ornax-i386"
  if [ -n "$host_emulator" ]; then
    tests/rig/i386-emulation.sh "${host_emulator%/usr/bin/qemu-i386}" >/dev/null
  fi
}
trap restore_binfmt EXIT

log=$base/run.log
echo "fresh-check: running the README's commands in $tree (log: $log)"
# PID 1 of the new namespace is the shell below; when it ends, the kernel
# ends every process left in the namespace.
set +e
unshare --mount --pid --fork --propagation private bash -euo pipefail -c '
  tree=$1 inside=$2
  mount --bind "$tree" "$tree"
  mount -t proc proc "$tree/proc"
  mount --rbind /sys "$tree/sys"
  mount --rbind /dev "$tree/dev"
  mount -t tmpfs tmpfs "$tree/tmp"
  mkdir -p "$tree/.old-root"
  cd "$tree"
  pivot_root . .old-root
  umount -l /.old-root
  rmdir /.old-root
  cd "$inside"
  run() { env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/root TERM=dumb bash -c "$1" </dev/null; }
  t0=$(date +%s)
  status=0
  run ./scripts/test.sh || status=$?
  t1=$(date +%s)
  echo "fresh-check: test command exit $status after $((t1 - t0)) s"
  rstatus=0
  run ./scripts/run.sh >/tmp/run-output.txt 2>&1 || rstatus=$?
  t2=$(date +%s)
  cat /tmp/run-output.txt
  echo "fresh-check: run command exit $rstatus after $((t2 - t1)) s"
  switchlog=$(sed -n "s/^ *Reports received: *//p" /tmp/run-output.txt)
  first=$(head -n 1 "$switchlog" 2>/dev/null || true)
  echo "fresh-check: first report: ${first:-none}"
  if [ -s build/ornax-screen.png ]; then echo "fresh-check: screenshot: present"; else echo "fresh-check: screenshot: missing"; fi
  [ "$status" -eq 0 ] && [ "$rstatus" -eq 0 ] && [ -n "$first" ] && [ -s build/ornax-screen.png ]
' bash "$tree" "$inside" >"$log" 2>&1
result=$?
set -e

grep -E '^(Wine [0-9]+: |fresh-check: )' "$log" || true
left=$(findmnt -rn -o TARGET | grep -F "$tree" || true)
[ -z "$left" ] || { echo "fresh-check: still mounted: $left" >&2; result=1; }
if [ "$result" -eq 0 ]; then echo "fresh-check: passed"; else echo "fresh-check: FAILED (see $log)"; fi
exit "$result"
