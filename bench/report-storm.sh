#!/usr/bin/env bash
# Claude Code's status line reporting fifty times a second with figures that move at every
# call, for 30 s, straight over the bus as `--statusline` sends them, to the running app: how
# long its UI thread keeps a caller waiting (a ReportLimits without windows, answered by the
# UI thread, every 20 ms: budget 50 ms at the slowest), its CPU time, and how often it rewrote
# usage.json and added history rows (budgets: once a second; a row a minute unless a level
# changes).
#   bench/report-storm.sh [BUILD_DIR]
set -euo pipefail
cd "$(dirname "$0")/.."
source bench/common.sh

mkdir -p "$work/home/.local/bin" "$work/run"
chmod 700 "$work/run"
printf '#!/bin/sh\necho "Current session: 42%% used"\n' > "$work/home/.local/bin/claude"
chmod +x "$work/home/.local/bin/claude"
display=:$((400 + $$ % 200))
Xvfb "$display" -screen 0 1280x800x24 -nolisten tcp -noreset >/dev/null 2>&1 &
pids+=($!)
export HOME=$work/home XDG_RUNTIME_DIR=$work/run TZ=UTC
unset XDG_CONFIG_HOME XDG_DATA_HOME WAYLAND_DISPLAY QT_QPA_PLATFORM
bus=$(dbus-daemon --session --fork --print-address=1 --print-pid=1)
pids+=("${bus##*$'\n'}")
export DBUS_SESSION_BUS_ADDRESS=${bus%%$'\n'*}
DISPLAY=$display "$exe" 2>/dev/null &
app=$!
pids+=($app)
until [[ -s $HOME/.local/share/Brimwatch/usage.json ]]; do sleep 0.1; done

/usr/bin/python3 - "$app" "$HOME/.local/share/Brimwatch" <<'PY'
import dbus, os, sqlite3, statistics, sys, threading, time
pid, data = int(sys.argv[1]), sys.argv[2]
name = "com.velkorlab.Brimwatch"
def proxy():
    return dbus.Interface(dbus.SessionBus(private=True).get_object(name, "/com/velkorlab/Brimwatch"),
                          name)
def cpu():
    f = open(f"/proc/{pid}/stat").read().rsplit(")", 1)[1].split()
    return (int(f[11]) + int(f[12])) / os.sysconf("SC_CLK_TCK")
def rows():
    db = sqlite3.connect(f"file:{data}/history.sqlite?mode=ro", uri=True)
    return db.execute("SELECT COUNT(*) FROM readings").fetchone()[0]
seconds, done = 30, threading.Event()
def storm():
    app, reset, i = proxy(), time.time() + 3600, 0
    start = time.monotonic()
    while not done.is_set():
        i += 1
        app.ReportLimits(dbus.Dictionary({"sessionPercent": 10 + (i % 600) / 10,
                                          "sessionResetsAt": float(reset),
                                          "weekPercent": 40.0 + (i % 7) / 10,
                                          "weekResetsAt": float(reset + 86400),
                                          "configDir": ""}, signature="sv"))
        time.sleep(max(0, start + i / 50 - time.monotonic()))
writes, last = 0, os.stat(f"{data}/usage.json").st_mtime_ns
def watch():
    global writes, last
    while not done.is_set():
        m = os.stat(f"{data}/usage.json").st_mtime_ns
        writes, last = writes + (m != last), m
        time.sleep(0.005)
before_cpu, before_rows = cpu(), rows()
threads = [threading.Thread(target=f) for f in (storm, watch)]
for t in threads:
    t.start()
probe, waits, end = proxy(), [], time.monotonic() + seconds
while time.monotonic() < end:
    t = time.perf_counter()
    probe.ReportLimits(dbus.Dictionary({}, signature="sv"))
    waits.append((time.perf_counter() - t) * 1000)
    time.sleep(0.02)
done.set()
for t in threads:
    t.join()
waits.sort()
print(f"{seconds} s of 50 reports a second: the UI thread answered within "
      f"{statistics.median(waits):.1f} ms (median), {waits[int(len(waits) * .99)]:.1f} ms (99th), "
      f"{waits[-1]:.1f} ms (slowest; budget 50); app CPU {cpu() - before_cpu:.2f} s; "
      f"usage.json written {writes} times (budget {seconds}); "
      f"{rows() - before_rows} history rows")
PY
