#!/usr/bin/env bash
# Builds the fuzzers with clang (libFuzzer, ASan, UBSan) and runs each for a quarter of the
# time: the usage text; the status-line document with the settings edits; the files the app
# writes (usage.json read back, settings.json edited while another program rewrites it); a
# transcript of Claude Code read line by line.
#   scripts/fuzz.sh [SECONDS]   default 60
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh test
seconds=${1:-60}
CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DBRIMWATCH_FUZZ=ON -DBRIMWATCH_TESTS=OFF -DBRIMWATCH_BENCH=OFF >/dev/null
cmake --build build-fuzz -j"$(nproc)" --target fuzz_usage fuzz_statusline fuzz_files fuzz_transcripts
export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
mkdir -p build-fuzz/findings
# Findings and new inputs stay in the build folder; the seed corpora in git are not touched.
for target in usage:corpus statusline:corpus-statusline files:corpus-files \
    transcripts:corpus-transcripts; do
    name=${target%%:*} seeds=fuzz/${target#*:}
    work=build-fuzz/$name-corpus
    mkdir -p "$work"
    build-fuzz/fuzz/fuzz_"$name" -max_total_time=$((seconds / 4)) -max_len=4096 -timeout=10 \
        -artifact_prefix=build-fuzz/findings/"$name"- "$work" "$seeds"
done
