#!/usr/bin/env bash
# `brimwatch --statusline` as Claude Code runs it after every message: median wall time and
# peak memory over 50 runs (budgets: 15 ms and 20 MB), with the app running on a private bus
# (the reading passed to it), with no app on the bus, and for a document without plan limits
# (the line from usage.json, nothing passed on).
#   bench/statusline.sh [BUILD_DIR]
set -euo pipefail
cd "$(dirname "$0")/.."
source bench/common.sh
cmake --build "$build" --target brimwatch tray_watcher >/dev/null

mkdir -p "$work/home/.local/bin" "$work/run"
chmod 700 "$work/run"
printf '#!/bin/sh\necho "Current session: 42%% used"\necho "Current week (all models): 17%% used"\n' \
    > "$work/home/.local/bin/claude"
chmod +x "$work/home/.local/bin/claude"
display=:$((400 + $$ % 200))
Xvfb "$display" -screen 0 1280x800x24 -nolisten tcp -noreset >/dev/null 2>&1 &
pids+=($!)
export HOME=$work/home XDG_RUNTIME_DIR=$work/run TZ=UTC
unset XDG_CONFIG_HOME XDG_DATA_HOME WAYLAND_DISPLAY QT_QPA_PLATFORM NO_COLOR
bus=$(dbus-daemon --session --fork --print-address=1 --print-pid=1)
pids+=("${bus##*$'\n'}")
export DBUS_SESSION_BUS_ADDRESS=${bus%%$'\n'*}

now=$(date +%s)
with=$(printf '{"model":{"display_name":"Opus"},"rate_limits":{"five_hour":{"used_percentage":82.4,"resets_at":%d},"seven_day":{"used_percentage":40,"resets_at":%d}}}' \
    $((now + 7500)) $((now + 300000)))
without='{"model":{"display_name":"Opus"},"workspace":{"current_dir":"/tmp"}}'

measure() { # label, document
    /usr/bin/python3 - "$exe" "$1" "$2" <<'PY'
import resource, statistics, subprocess, sys, time
exe, label, doc = sys.argv[1], sys.argv[2], sys.argv[3].encode()
times = []
for _ in range(50):
    t = time.perf_counter()
    subprocess.run([exe, "--statusline"], input=doc, stdout=subprocess.DEVNULL, check=True)
    times.append((time.perf_counter() - t) * 1000)
peak = resource.getrusage(resource.RUSAGE_CHILDREN).ru_maxrss / 1024
print(f"{label}: median {statistics.median(times):.1f} ms (budget 15), "
      f"slowest {max(times):.1f} ms, peak memory {peak:.1f} MB (budget 20)")
PY
}

measure "no app on the bus" "$with"
DISPLAY=$display "$exe" 2>/dev/null &
pids+=($!)
until [[ -s $HOME/.local/share/Brimwatch/usage.json ]]; do sleep 0.1; done
measure "the app running" "$with"
grep -q '"source":"statusline"' "$HOME/.local/share/Brimwatch/usage.json" ||
    { echo "the app did not take the reading"; exit 1; }
measure "no plan limits, the line from usage.json" "$without"
