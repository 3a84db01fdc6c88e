#!/usr/bin/env bash
# Builds the usage-text fuzzer with clang (libFuzzer, ASan, UBSan) and runs it.
#   scripts/fuzz.sh [SECONDS]   default 60
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh test
seconds=${1:-60}
CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DBRIMWATCH_FUZZ=ON -DBRIMWATCH_TESTS=OFF -DBRIMWATCH_BENCH=OFF >/dev/null
cmake --build build-fuzz -j"$(nproc)" --target fuzz_usage
# Findings and new inputs stay in the build folder; the seed corpus in git is not touched.
work=build-fuzz/corpus
mkdir -p "$work" build-fuzz/findings
cp -n fuzz/corpus/* "$work"/ 2>/dev/null || true
export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
build-fuzz/fuzz/fuzz_usage -max_total_time="$seconds" -max_len=4096 -timeout=10 \
    -artifact_prefix=build-fuzz/findings/ "$work" fuzz/corpus
