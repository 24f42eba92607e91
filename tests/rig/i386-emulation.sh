#!/usr/bin/env bash
# Makes sure this machine runs 32-bit x86 Linux programs, as Wine's 32-bit
# loader is one:
#   tests/rig/i386-emulation.sh ROOT
# Some virtual machines run 64-bit user code only, and their kernel refuses
# every 32-bit program. There, the qemu-i386 user-mode emulator of the Debian 13
# root ROOT (made by wine10-root.sh) is registered for them with binfmt_misc.
# The registration keeps the emulator open, so it also works inside the root.
set -euo pipefail
root=${1:?usage: i386-emulation.sh ROOT}
here=$(dirname "$0")
runs_i386() { /usr/lib/wine/wine --version >/dev/null 2>&1; }
runs_i386 && exit 0

echo "i386-emulation: this machine's kernel runs no 32-bit programs; registering an emulator for them"
misc=/proc/sys/fs/binfmt_misc
[ -e "$misc/register" ] || mount -t binfmt_misc binfmt_misc "$misc"
"$here/wine10-root.sh" "$root"
entry=ornax-i386
[ -e "$misc/$entry" ] && echo -1 >"$misc/$entry"
# An i386 ELF executable or shared object; F: the kernel opens the emulator now.
magic='\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00'
mask='\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff'
echo ":$entry:M::$magic:$mask:$(readlink -f "$root/usr/bin/qemu-i386"):F" >"$misc/register"
runs_i386 || { echo "i386-emulation: 32-bit programs still do not run" >&2; exit 1; }
echo "i386-emulation: 32-bit programs run through $root/usr/bin/qemu-i386"
