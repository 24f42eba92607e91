#!/usr/bin/env bash
# Installs what is missing and builds; with arguments, only those targets.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/install-deps.sh
mkdir -p build
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release >build/configure.log
# Whether the release is signed, in one line.
sed -n 's/^-- \(Signing: .*\)/build: \1/p' build/configure.log
if [ $# -gt 0 ]; then
  for target in "$@"; do cmake --build build -j"$(nproc)" --target "$target"; done
else
  cmake --build build -j"$(nproc)"
fi
# Wine's 32-bit loader must run here; where the kernel refuses 32-bit programs,
# an emulator is registered for them.
tests/rig/i386-emulation.sh build/wine10-root
