#!/bin/sh
# Checks the simulated switch end to end under Wine: switchctl plugs
# devices, switchprobe finds and drives them through Wine's real HID stack
# (setupapi, hid.dll, hidclass.sys), and the driver's log shows the reports.
#   tests/switchsim/selftest.sh BUILD_DIR/switchsim
# Uses WINEPREFIX (default /tmp/switchsim-selftest, created if missing).
# Prints one line per check; exit status is the number of failed checks.
set -u
DIR=$(cd "${1:-.}" && pwd)
export WINEARCH=win32 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
export WINEPREFIX=${WINEPREFIX:-/tmp/switchsim-selftest}
OUT=$(mktemp -d)
LOG=$WINEPREFIX/drive_c/switchsim.log
failed=0

[ -f "$DIR/switchctl.exe" ] || { echo "no switchctl.exe in $DIR"; exit 1; }
if [ ! -f "$WINEPREFIX/system.reg" ]; then
    wineboot -i </dev/null >"$OUT/boot" 2>&1
    wineserver -w   # let the new prefix settle before the persistent server
fi
# A persistent server, detached so nothing holds our output open.
setsid wineserver -p </dev/null >/dev/null 2>&1 &

# run TOOL ARGS...: output in $OUT/out, status in $rc (never piped: Wine's
# services inherit pipes).
run() {
    tool=$1; shift
    wine "$DIR/$tool.exe" "$@" </dev/null >"$OUT/out" 2>"$OUT/err"
    rc=$?
}
check() {
    if [ "$2" = 0 ]; then echo "ok   $1"; else echo "FAIL $1"; failed=$((failed + 1)); cat "$OUT/out" "$OUT/err" | sed 's/^/     | /'; fi
}
has() { grep -qF -- "$1" "$OUT/out"; echo $?; }
log_is() {  # the log holds exactly these lines
    printf '%s\n' "$@" >"$OUT/want"
    cmp -s "$OUT/want" "$LOG"; echo $?
}

run switchctl unplug; check "unplug with nothing plugged succeeds" $rc
run switchctl log-clear; check "log-clear" $rc

# --- one switch, default output length 2 ---
run switchctl plug 7A3C 5C02 0100; check "plug 7A3C 5C02 0100" $rc
run switchctl list
check "list shows both collections" $( [ "$(cat "$OUT/out")" = "$(printf 'ROOT\\VID_7A3C&PID_5C02&COL01\\0000\nROOT\\VID_7A3C&PID_5C02&COL02\\0000')" ]; echo $?)
run switchprobe
check "probe finds the first collection (exit 0)" $rc
check "path as Wine gives it, lower case" $(has 'match \\?\hid#vid_7a3c&pid_5c02&col01#0000#{4d1e55b2-f16f-11cf-88cb-001111000030}')
check "attributes and caps" $(has 'vid=7A3C pid=5C02 version=0100 outlen=2')
check "second collection is present but not matched" $( grep -q 'path .*col02#0000' "$OUT/out" && ! grep -q 'match .*col02' "$OUT/out"; echo $?)
run switchprobe --write 01 06
check "WriteFile of 2 bytes succeeds" $(has 'write ok bytes=2 written=2')
run switchctl log-wait 'ROOT\VID_7A3C&PID_5C02&COL01\0000 01 06' 3000
check "log-wait sees the report" $rc
check "log file holds exactly the report line" $(log_is 'ROOT\VID_7A3C&PID_5C02&COL01\0000 01 06')
run switchprobe --set --write 01 05
check "HidD_SetOutputReport succeeds" $(has 'set ok bytes=2')
check "set output report is logged too" $(log_is 'ROOT\VID_7A3C&PID_5C02&COL01\0000 01 06' 'ROOT\VID_7A3C&PID_5C02&COL01\0000 01 05')
run switchprobe --match COL02 --write 02 09
check "second collection takes report 2" $(has 'write ok bytes=2 written=2')
check "and logs it under its own id" $(log_is 'ROOT\VID_7A3C&PID_5C02&COL01\0000 01 06' 'ROOT\VID_7A3C&PID_5C02&COL01\0000 01 05' 'ROOT\VID_7A3C&PID_5C02&COL02\0000 02 09')
run switchprobe --match COL02 --write 01 06
check "report 1 on the second collection is refused" $( [ $rc = 1 ] && grep -q 'write failed' "$OUT/out"; echo $?)
run switchctl log-wait 'ROOT\VID_7A3C&PID_5C02&COL01\0000 01 07' 300
check "log-wait fails for a line that is not there" $( [ $rc = 1 ]; echo $?)
run switchctl log-wait 'ROOT\VID_7A3C&PID_5C02&COL01\0000 01' 300
check "log-wait wants the whole line, not a prefix" $( [ $rc = 1 ]; echo $?)
run switchctl log-dump
check "log-dump prints the log" $( cmp -s "$OUT/out" "$LOG"; echo $?)
run switchctl log-clear
check "log-clear empties the log" $( [ ! -s "$LOG" ]; echo $?)

# --- plugging the same ids again replaces the device ---
run switchctl plug 7A3C 5C02 0200; check "plug over a plugged device" $rc
run switchprobe --all
check "replaced device has the new version, one match" $( grep -q 'version=0200' "$OUT/out" && grep -q 'matches=1' "$OUT/out"; echo $?)

# --- declared output lengths ---
run switchctl unplug; run switchctl plug 7A3C 5C02 0100 --outlen 4
check "plug --outlen 4" $rc
run switchprobe --write 01 06 AA
check "caps length 4" $(has 'outlen=4')
check "4-byte write succeeds" $(has 'write ok bytes=4 written=4')
check "4 bytes logged" $(log_is 'ROOT\VID_7A3C&PID_5C02&COL01\0000 01 06 AA 00')
run switchctl log-clear; run switchctl unplug; run switchctl plug 7A3C 5C02 0100 --outlen 1
run switchprobe --write 01 06
check "caps length 1" $(has 'outlen=1')
check "1-byte report logged" $(log_is 'ROOT\VID_7A3C&PID_5C02&COL01\0000 01')
run switchctl plug 7A3C 5C02 0100 --outlen 65
check "output length over 64 is refused" $( [ $rc = 1 ]; echo $?)

# --- second collection only ---
run switchctl unplug; run switchctl plug 7A3C 5C02 0100 --col2-only
check "plug --col2-only" $rc
run switchprobe
check "probe finds no switch (exit 2)" $( [ $rc = 2 ]; echo $?)
check "only COL02 is there" $( grep -q 'col02#0000' "$OUT/out" && ! grep -q 'col01' "$OUT/out"; echo $?)

# --- two switches: both models, one with a 16-digit serial instance ---
run switchctl unplug; run switchctl log-clear
run switchctl plug 7A3C 5C02 0100 --instance 0123456789ABCDEF; check "plug instance 0123456789ABCDEF" $rc
run switchctl plug 7A3C 5C01 0207 --instance 0001; check "plug 5C01 instance 0001" $rc
run switchprobe --all --write 01 03
check "probe --all sees two switches" $(has 'matches=2')
check "serial in the device path" $(has 'match \\?\hid#vid_7a3c&pid_5c02&col01#0123456789abcdef#')
check "PID 5C01 matches" $(has 'vid=7A3C pid=5C01 version=0207 outlen=2')
run switchctl log-dump
check "each switch logged its report" $( grep -qxF 'ROOT\VID_7A3C&PID_5C02&COL01\0123456789ABCDEF 01 03' "$LOG" && grep -qxF 'ROOT\VID_7A3C&PID_5C01&COL01\0001 01 03' "$LOG"; echo $?)
run switchctl unplug --instance 0001
run switchctl list
check "unplug --instance removes only that switch" $( ! grep -q '0001' "$OUT/out" && [ "$(grep -c 0123456789ABCDEF "$OUT/out")" = 2 ]; echo $?)

# --- unplugged: nothing found, nothing written ---
run switchctl unplug; check "unplug all" $rc
run switchctl log-clear
run switchprobe --write 01 06
check "probe after unplug exits 2" $( [ $rc = 2 ]; echo $?)
check "no write reached the log" $( [ ! -s "$LOG" ]; echo $?)
run switchctl list
check "list is empty" $( [ ! -s "$OUT/out" ]; echo $?)

# --- 20 plug/unplug cycles, each driven once ---
bad=0
i=1
while [ $i -le 20 ]; do
    run switchctl plug 7A3C 5C02 0100; [ $rc = 0 ] || bad=$((bad + 1))
    run switchprobe --write 01 $(printf '%02X' $i); [ $rc = 0 ] || bad=$((bad + 1))
    run switchctl unplug; [ $rc = 0 ] || bad=$((bad + 1))
    run switchprobe; [ $rc = 2 ] || bad=$((bad + 1))
    i=$((i + 1))
done
check "20 plug/write/unplug cycles" $bad
check "20 reports logged in order" $( [ "$(cut -d' ' -f3 "$LOG" | tr '\n' ' ')" = "01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F 10 11 12 13 14 " ]; echo $?)

rm -rf "$OUT"
echo "failed: $failed"
exit $failed
