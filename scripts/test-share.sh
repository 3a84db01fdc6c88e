#!/usr/bin/env bash
# The tests' share of the code, in cloc code lines (no blank lines, no comments): tests/ and
# fuzz/ against src/ + tests/ + fuzz/. It fails above 0.34: tests should be at most a third.
set -euo pipefail
cd "$(dirname "$0")/.."
count() { cloc --quiet --csv "$@" | awk -F, '$2 == "SUM" { print $5 }'; }
src=$(count src)
tests=$(count tests fuzz)
awk -v s="$src" -v t="$tests" 'BEGIN {
    share = t / (s + t)
    printf "src %d, tests and fuzz %d, all %d: tests are %.3f of the code (at most 0.34)\n",
        s, t, s + t, share
    exit share > 0.34
}'
