#!/usr/bin/env bash
# Brimwatch's footprint against a minimal Qt Widgets program started the same way, on a
# virtual display with a private session bus and a tray watcher:
#   - resident memory after a minute with the card shown (budget: 1.3 x the minimal program)
#   - CPU time over a minute of idle, from /proc (budget: under 0.1 % of one core)
#   - time from start to a registered tray item (budget: under 500 ms)
#   bench/footprint.sh [BUILD_DIR]
set -euo pipefail
cd "$(dirname "$0")/.."
build=$(realpath "${1:-build}")
cmake --build "$build" --target brimwatch minimal_qt tray_watcher >/dev/null

work=$(mktemp -d)
pids=()
cleanup() { kill "${pids[@]}" 2>/dev/null || true; rm -rf "$work"; }
trap cleanup EXIT
mkdir -p "$work/home/.local/bin" "$work/run"
chmod 700 "$work/run"
cat > "$work/home/.local/bin/claude" <<'TOOL'
#!/bin/sh
echo "Current session: 42% used · resets $(date -u -d '+3 hours' '+%-I:%M%P') (UTC)"
echo "Current week (all models): 17% used · resets $(date -u -d '+4 days' '+%b %-d at %-I%P') (UTC)"
TOOL
chmod +x "$work/home/.local/bin/claude"

display=:$((400 + $$ % 200))
Xvfb "$display" -screen 0 1280x800x24 -nolisten tcp -noreset >/dev/null 2>&1 &
pids+=($!)
sleep 1
export DISPLAY=$display HOME=$work/home XDG_RUNTIME_DIR=$work/run TZ=UTC
unset XDG_CONFIG_HOME XDG_DATA_HOME WAYLAND_DISPLAY QT_QPA_PLATFORM
bus=$(dbus-daemon --session --fork --print-address=1 --print-pid=1)
export DBUS_SESSION_BUS_ADDRESS=${bus%%$'\n'*}
pids+=("${bus##*$'\n'}")
"$build/bench/tray_watcher" > "$work/watcher.log" &
pids+=($!)
until grep -q ready "$work/watcher.log"; do sleep 0.1; done

ticks() { awk '{print $14 + $15}' "/proc/$1/stat"; }
rss() { awk '/VmRSS/ {print $2}' "/proc/$1/status"; }

start=$(date +%s%3N)
"$build/src/app/brimwatch" 2>/dev/null &
app=$!
pids+=($app)
"$build/bench/minimal_qt" 2>/dev/null &
minimal=$!
pids+=($minimal)
until grep -q registered "$work/watcher.log"; do sleep 0.01; done
registered=$(awk '/registered/ {print $2; exit}' "$work/watcher.log")

sleep 10 # the first reading is over: idle from here
app_t0=$(ticks $app)
min_t0=$(ticks $minimal)
sleep 60
app_t1=$(ticks $app)
min_t1=$(ticks $minimal)
app_rss=$(rss $app)
min_rss=$(rss $minimal)
hz=$(getconf CLK_TCK)

awk -v ms=$((registered - start)) -v a=$app_rss -v m=$min_rss \
    -v at=$((app_t1 - app_t0)) -v mt=$((min_t1 - min_t0)) -v hz="$hz" 'BEGIN {
    printf "tray item registered after %d ms (budget 500)\n", ms
    printf "resident memory: brimwatch %.1f MB, minimal Qt program %.1f MB, ratio %.2f (budget 1.3)\n",
        a / 1024, m / 1024, a / m
    printf "idle CPU over 60 s: brimwatch %.3f %% of a core, minimal Qt program %.3f %% (budget 0.1)\n",
        100 * at / hz / 60, 100 * mt / hz / 60
}'
