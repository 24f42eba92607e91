#!/usr/bin/env bash
# Installs what is missing and builds; with arguments, only those targets.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release >/dev/null
if [ $# -gt 0 ]; then
  for target in "$@"; do cmake --build build -j"$(nproc)" --target "$target"; done
else
  cmake --build build -j"$(nproc)"
fi
