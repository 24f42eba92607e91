#!/bin/sh
# Prints how often the threads of a Wine program of this prefix were switched
# to (voluntary and not) over SECONDS: the wake-ups of a program left idle.
#   idle-wakeups.sh NAME SECONDS     (NAME as in its command line: ORNAX.exe)
# Other prefixes may run a program of the same name: the one whose
# environment names this WINEPREFIX is taken.
name=$1 seconds=$2
for pid in $(pgrep -f "$name"); do
  [ -z "${WINEPREFIX:-}" ] || tr '\0' '\n' <"/proc/$pid/environ" 2>/dev/null | grep -qx "WINEPREFIX=$WINEPREFIX" || continue
  switches() { cat /proc/"$pid"/task/*/status 2>/dev/null | awk '/ctxt_switches/ {n += $2} END {print n + 0}'; }
  before=$(switches)
  sleep "$seconds"
  echo $(($(switches) - before))
  exit 0
done
echo "idle-wakeups: no $name of this prefix" >&2
exit 1
