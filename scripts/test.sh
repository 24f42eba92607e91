#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test under Wine.
# Ends with CTest's summary line; exits non-zero on any failure.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build -j"$(nproc)"
cd build
ctest --output-on-failure --timeout 300
