#!/usr/bin/env bash
# Installs what is needed, builds Brimwatch and starts it.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$(nproc)" --target brimwatch
# Until the tray application exists, show what the parser makes of a sample screen.
exec build/src/main/brimwatch --parse < tests/data/subscription.txt
