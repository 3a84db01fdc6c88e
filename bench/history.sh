#!/usr/bin/env bash
# The history: the time to record one reading (in memory and in the file), the time to work
# out the pace of a week's window with readings every five minutes, and the file's size
# after 35 days (bench/HistoryBench.cpp).
#   bench/history.sh [BUILD_DIR]
set -euo pipefail
cd "$(dirname "$0")/.."
build=$(realpath "${1:-build}")
cmake --build "$build" --target history_bench > /dev/null
QT_QPA_PLATFORM=offscreen "$build/bench/history_bench" --benchmark_min_time=0.5
