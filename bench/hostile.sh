#!/usr/bin/env bash
# Time and peak memory on hostile output, 1 MB of each kind: one line of "(" in a reset text,
# leading spaces, 100,000 distinct usage lines, and output without end. Each goes to
# `--parse` (as its input), to `--check` and to the app (as what a fake claude prints).
# Budgets: --parse under 1 s for any 1 MB; peak memory under 64 MB above idle.
#   bench/hostile.sh [BUILD_DIR]
set -euo pipefail
cd "$(dirname "$0")/.."
source bench/common.sh

mb=1048576
python3 - "$work" "$mb" <<'PY'
import sys
work, mb = sys.argv[1], int(sys.argv[2])
inputs = {
    "paren": "Current session: 5% used \u00b7 resets " + "(" * mb + "\n",
    "spaces": " " * mb + "Current session: 5% used \u00b7 resets 9pm (UTC)\n",
    "distinct": "".join("Limit %06d: %d%% used \u00b7 resets Oct 11 at 1:19am (Europe/Riga)\n"
                        % (i, i % 100) for i in range(100000)),
    "endless": "Current session: 5% used\n" * (mb // 25),
}
for name, text in inputs.items():
    open(f"{work}/{name}.txt", "w").write(text)
PY

tool() { # the fake claude for one kind of output
    mkdir -p "$work/home-$1/.local/bin"
    if [[ $1 == endless ]]; then
        printf '#!/bin/sh\nyes "Current session: 5%% used"\n' > "$work/home-$1/.local/bin/claude"
    else
        printf '#!/bin/sh\ncat "%s"\n' "$work/$1.txt" > "$work/home-$1/.local/bin/claude"
    fi
    chmod +x "$work/home-$1/.local/bin/claude"
}

display=:$((500 + $$ % 200))
Xvfb "$display" -screen 0 1280x800x24 -nolisten tcp -noreset >/dev/null 2>&1 &
pids+=($!)
bus=$(dbus-daemon --session --fork --print-address=1 --print-pid=1)
pids+=("${bus##*$'\n'}")

# The app's peak resident memory (kB) once its first reading is written down.
app() {
    local home=$work/home-$1 start
    mkdir -p "$home/run" && chmod 700 "$home/run"
    start=$(date +%s%N)
    env -u XDG_CONFIG_HOME -u XDG_DATA_HOME DISPLAY="$display" HOME="$home" \
        XDG_RUNTIME_DIR="$home/run" DBUS_SESSION_BUS_ADDRESS="${bus%%$'\n'*}" "$exe" 2>/dev/null &
    local pid=$!
    until [[ -s $home/.local/share/Brimwatch/status.txt ]]; do sleep 0.05; done
    local seconds=$(( ($(date +%s%N) - start) / 1000000 ))
    local peak
    peak=$(awk '/VmHWM/ {print $2}' "/proc/$pid/status")
    kill "$pid"
    wait "$pid" 2>/dev/null || true
    echo "$seconds $peak"
}

row() { # input mode seconds kB
    awk -v i="$1" -v m="$2" -v s="$3" -v kb="$4" -v idle="${idle:-0}" 'BEGIN {
        printf "%-10s %-8s %8.2f %10.1f", i, m, s, kb / 1024
        if (m == "app" && idle > 0 && i != "idle") printf "  (%+.1f MB over idle)", (kb - idle) / 1024
        printf "\n" }'
}
printf '%-10s %-8s %8s %10s\n' input mode seconds "peak MB"
mkdir -p "$work/home-idle/.local/bin"
printf '#!/bin/sh\necho "Current session: 5%% used"\n' > "$work/home-idle/.local/bin/claude"
chmod +x "$work/home-idle/.local/bin/claude"
read -r ms kb < <(app idle)
row idle app "$(awk -v ms="$ms" 'BEGIN {print ms / 1000}')" "$kb"
idle=$kb
for kind in paren spaces distinct endless; do
    tool "$kind"
    head -c "$mb" "$work/$kind.txt" > "$work/$kind.1mb"
    /usr/bin/time -f '%e %M' -o "$work/time" "$exe" --parse < "$work/$kind.1mb" >/dev/null
    read -r s kb < "$work/time"
    row "$kind" --parse "$s" "$kb"
    HOME=$work/home-$kind /usr/bin/time -f '%e %M' -o "$work/time" \
        env -u XDG_DATA_HOME "$exe" --check >/dev/null || true
    read -r s kb < <(tail -n 1 "$work/time")
    row "$kind" --check "$s" "$kb"
    read -r ms kb < <(app "$kind")
    row "$kind" app "$(awk -v ms="$ms" 'BEGIN {print ms / 1000}')" "$kb"
done
