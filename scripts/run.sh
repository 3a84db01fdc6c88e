#!/usr/bin/env bash
# Installs what is needed, builds Brimwatch and starts it in the tray.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh run
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBRIMWATCH_TESTS=OFF -DBRIMWATCH_BENCH=OFF >/dev/null
cmake --build build -j"$(nproc)" --target brimwatch
exec build/src/app/brimwatch "$@"
