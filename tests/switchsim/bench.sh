#!/bin/sh
# Prints how long plugging and unplugging the simulated switch takes.
#   tests/switchsim/bench.sh BUILD_DIR/switchsim [CYCLES]
# Uses WINEPREFIX (default /tmp/switchsim-selftest, created if missing).
# "tool" is the time switchctl itself reports (the setupapi work and the
# wait for the HID interfaces); "wall" adds starting the Wine process.
set -u
DIR=$(cd "${1:-.}" && pwd)
CYCLES=${2:-20}
export WINEARCH=win32 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
export WINEPREFIX=${WINEPREFIX:-/tmp/switchsim-selftest}
OUT=$(mktemp -d)

if [ ! -f "$WINEPREFIX/system.reg" ]; then
    wineboot -i </dev/null >"$OUT/boot" 2>&1
    wineserver -w
fi
setsid wineserver -p </dev/null >/dev/null 2>&1 &

now_ms() { echo $(( $(date +%s%N) / 1000000 )); }
# timed NAME TOOL ARGS...: appends "tool wall" to $OUT/NAME
timed() {
    name=$1; tool=$2; shift 2
    t0=$(now_ms)
    wine "$DIR/$tool.exe" "$@" </dev/null >"$OUT/out" 2>"$OUT/err" || echo "$name failed: $(cat "$OUT/err")" >&2
    t1=$(now_ms)
    tool_ms=$(sed -n 's/.* done in \([0-9]*\) ms.*/\1/p' "$OUT/out")
    echo "${tool_ms:--} $((t1 - t0))" >>"$OUT/$name"
}
stats() {  # column of $OUT/$1 -> "min median max"
    cut -d' ' -f"$2" "$OUT/$1" | grep -v -- - | sort -n | awk '{a[NR]=$1} END {if (NR) printf "%d %d %d", a[1], a[int((NR+1)/2)], a[NR]; else printf "- - -"}'
}

wine "$DIR/switchctl.exe" unplug </dev/null >"$OUT/out" 2>&1
i=0
while [ $i -lt "$CYCLES" ]; do
    timed plug switchctl plug 7A3C 5C02 0100
    timed probe switchprobe --write 01 06
    timed unplug switchctl unplug
    i=$((i + 1))
done
timed plug2 switchctl plug 7A3C 5C02 0100 --instance 0001
timed plug2 switchctl plug 7A3C 5C01 0100 --instance 0002
timed unplug2 switchctl unplug

printf '%-34s %8s %8s %8s\n' "ms over $CYCLES cycles" min median max
for m in "plug (tool):plug:1" "plug (wall):plug:2" "probe + write (wall):probe:2" \
         "unplug (tool):unplug:1" "unplug (wall):unplug:2" \
         "plug one of two switches (tool):plug2:1" "unplug two switches (tool):unplug2:1"; do
    label=${m%%:*}; rest=${m#*:}; file=${rest%%:*}; col=${rest#*:}
    set -- $(stats "$file" "$col")
    printf '%-34s %8s %8s %8s\n' "$label" "$1" "$2" "$3"
done
rm -rf "$OUT"
