#!/usr/bin/env bash
# Wall time of a whole `brimwatch --parse` process on the sample screen. Budget: under 30 ms.
#   bench/parse-process.sh [BUILD_DIR] [RUNS]
set -euo pipefail
cd "$(dirname "$0")/.."
exe=${1:-build}/src/app/brimwatch
runs=${2:-100}
input=tests/data/overage.txt
"$exe" --parse < "$input" >/dev/null # warm the page cache
times=()
for ((i = 0; i < runs; i++)); do
    start=$(date +%s%N)
    "$exe" --parse < "$input" >/dev/null
    times+=($(( $(date +%s%N) - start )))
done
printf '%s\n' "${times[@]}" | sort -n | awk -v runs="$runs" '
    { t[NR] = $1; sum += $1 }
    END { printf "brimwatch --parse: median %.2f ms, mean %.2f ms, max %.2f ms over %d runs\n",
          t[int((NR + 1) / 2)] / 1e6, sum / NR / 1e6, t[NR] / 1e6, runs }'
