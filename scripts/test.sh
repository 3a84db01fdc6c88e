#!/usr/bin/env bash
# Installs what is needed, builds, and runs every test.
#   scripts/test.sh          the normal build (build/)
#   scripts/test.sh --asan   the same suite under AddressSanitizer and UBSan (build-asan/)
# Warnings are errors when CI is set.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh test

dir=build
flags=(-DCMAKE_BUILD_TYPE=RelWithDebInfo -DBRIMWATCH_TESTS=ON -DBRIMWATCH_BENCH=ON)
if [[ ${1:-} == --asan ]]; then
    dir=build-asan
    flags=(-DCMAKE_BUILD_TYPE=Debug -DBRIMWATCH_SANITIZE=ON -DBRIMWATCH_TESTS=ON -DBRIMWATCH_BENCH=OFF)
    export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
    export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
fi
werror=OFF
[[ -n ${CI:-} ]] && werror=ON

cmake -S . -B "$dir" -G Ninja -DBRIMWATCH_WERROR=$werror "${flags[@]}" >/dev/null
cmake --build "$dir" -j"$(nproc)"
# Most of the time the end-to-end tests wait on their displays and buses: run more at once
# than there are cores.
ctest --test-dir "$dir" --output-on-failure -j"$((2 * $(nproc)))"
