#!/usr/bin/env bash
# `brimwatch --waybar --watch` at rest: resident memory after a minute, and CPU time over a
# minute in which nothing changes. Then the reader race on usage.json (bench/JsonRace.cpp).
#   bench/waybar-watch.sh [BUILD_DIR]
set -euo pipefail
cd "$(dirname "$0")/.."
build=$(realpath "${1:-build}")
cmake --build "$build" --target brimwatch json_race >/dev/null
home=$(mktemp -d)
trap 'kill "${watch:-}" 2>/dev/null || true; rm -rf "$home"' EXIT
mkdir -p "$home/.local/share/Brimwatch"
now=$(date -u +%Y-%m-%dT%H:%M:%SZ)
printf '{"version":1,"app":"Brimwatch","updatedAt":"%s","checkedAt":"%s","error":null,"limits":[{"title":"Session","label":"Current session","percent":42,"resetsAt":null,"resetText":null}]}\n' \
    "$now" "$now" > "$home/.local/share/Brimwatch/usage.json"
HOME=$home XDG_DATA_HOME=$home/.local/share "$build/src/app/brimwatch" --waybar --watch > /dev/null &
watch=$!
sleep 2
ticks() { awk '{print $14 + $15}' "/proc/$watch/stat"; }
t0=$(ticks)
sleep 60
t1=$(ticks)
awk -v kb="$(awk '/VmRSS/ {print $2}' "/proc/$watch/status")" -v t=$((t1 - t0)) -v hz="$(getconf CLK_TCK)" 'BEGIN {
    printf "--waybar --watch: resident memory %.1f MB after a minute; CPU over a quiet minute %.3f s (%.4f %% of a core)\n",
        kb / 1024, t / hz, 100 * t / hz / 60 }'
"$build/bench/json_race" "$home/.local/share/Brimwatch"
