#!/usr/bin/env bash
# Installs what is missing, builds, and prints the benchmark's figures:
# start-up and command latency of dist/ORNAX.exe next to their floors, the
# sizes of dist/, and the program's memory and handles.
#   ./scripts/bench.sh [RUNS]     (RUNS defaults to 20)
# It runs in a rig of its own (build/bench-rig: its own prefix, Xvfb and
# Wine server), so it never disturbs the tests' rig, and stops it at the end.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/build.sh ornaxbench >/dev/null

export RIG_DIR="$PWD/build/bench-rig"
unset RIG_USE_DISPLAY
rig=build/rig/rig.sh
"$rig" start
trap '"$rig" stop' EXIT

win() { echo "Z:$(echo "$1" | tr / '\\')"; }
export ORNAX_DIST SWITCHSIM_DIR BENCH_IDLE_SCRIPT="$PWD/tests/bench/idle-wakeups.sh" ORNAX_DIST_UNIX="$PWD/dist"
ORNAX_DIST=$(win "$PWD/dist")
SWITCHSIM_DIR=$(win "$PWD/build/switchsim")
status=0
"$rig" run build/bench/ornaxbench.exe "${1:-20}" >"$RIG_DIR/bench.out" 2>"$RIG_DIR/bench.err" || status=$?
cat "$RIG_DIR/bench.out"
if [ "$status" -ne 0 ]; then
  echo "ornaxbench exited with $status; its errors:" >&2
  cat "$RIG_DIR/bench.err" >&2
fi
exit "$status"
