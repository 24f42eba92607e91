#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test under Wine,
# once with Debian 12's Wine 8 and once with Wine 10 in a Debian 13 root
# (made once under build/wine10-root).
#   ./scripts/test.sh          both generations
#   ./scripts/test.sh 8|10     one of them
# Ends with one summary line per generation; exits non-zero on any failure.
set -euo pipefail
cd "$(dirname "$0")/.."
read -ra generations <<<"${*:-8 10}"
./scripts/build.sh
for g in "${generations[@]}"; do
  case "$g" in
    8) ;;
    10) tests/rig/wine10-root.sh build/wine10-root ;;
    *) echo "usage: test.sh [8|10]" >&2; exit 2 ;;
  esac
done
cd build
status=0
summaries=()
for g in "${generations[@]}"; do
  echo "=== Wine $g ==="
  log="test-wine$g.log"
  : >"$log"
  # Shown as it runs, but never through a pipe that a stray process could hold.
  # The log exists before ctest starts, so tail never races its creation.
  RIG_WINE=$g ctest --output-on-failure --timeout 300 >>"$log" 2>&1 </dev/null &
  ctest_pid=$!
  tail --pid=$ctest_pid -n +1 -f "$log" || true
  wait $ctest_pid || true
  line=$(grep -E '^[0-9]+% tests passed' "$log" | tail -n 1 || true)
  grep -qE '^100% tests passed' "$log" || status=1
  skipped=$(grep -cE '^[[:space:]]*[0-9]+ - .*\(Skipped\)$' "$log" || true)
  [ "$skipped" -gt 0 ] && line="$line; $skipped skipped, listed above"
  summaries+=("Wine $g: ${line:-no summary (ctest did not finish)}")
done
printf '%s\n' "${summaries[@]}"
exit "$status"
