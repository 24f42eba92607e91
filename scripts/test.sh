#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test under Wine.
# Ends with CTest's summary line; exits non-zero on any failure.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/build.sh
cd build
ctest --output-on-failure --timeout 300
