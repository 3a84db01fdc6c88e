#!/usr/bin/env bash
# How fast the tray answers while readings come in that change many alert marks: a settings
# file with 1,000 marks of open windows, a fake claude that prints 1,000 limits near their end,
# and a refresh every half second, while the panel's side reads the item's properties and menu
# in a loop. Budget: every D-Bus read answered within 100 ms.
#   bench/dbus-answers.sh [BUILD_DIR] [SECONDS]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${2:-10}
source bench/common.sh

home=$work/home
mkdir -p "$home/.local/bin" "$home/.config/Brimwatch" "$home/run"
chmod 700 "$home/run"
python3 - "$home" <<'PY'
import sys, time
home = sys.argv[1]
later = int((time.time() + 7 * 86400) * 1000)
with open(f"{home}/.config/Brimwatch/Brimwatch.conf", "w") as f:
    f.write("[Alerts]\n" + "".join(f"Old%20limit%20{i}=80, {later}\n" for i in range(1000)))
PY
# Each reading a new window for every limit (its reset moves on by minutes): all marks change.
cat > "$home/.local/bin/claude" <<'SH'
#!/bin/sh
n=$(( $(cat "$HOME/n" 2>/dev/null || echo 0) + 1 )); echo $n > "$HOME/n"
awk -v n=$n 'BEGIN { for (i = 0; i < 1000; i++)
    printf "Current week (Model %d): %d%% used · resets Dec 31, 2030, %d:%02dam (UTC)\n",
        i, 90 + i % 10, 1 + int(n * 5 / 60) % 11, n * 5 % 60 }'
SH
chmod +x "$home/.local/bin/claude"

display=:$((500 + $$ % 200))
Xvfb "$display" -screen 0 1280x800x24 -nolisten tcp -noreset >/dev/null 2>&1 &
pids+=($!)
bus=$(dbus-daemon --session --fork --print-address=1 --print-pid=1)
pids+=("${bus##*$'\n'}")
address=${bus%%$'\n'*}
env -u XDG_CONFIG_HOME -u XDG_DATA_HOME DISPLAY="$display" HOME="$home" \
    XDG_RUNTIME_DIR="$home/run" DBUS_SESSION_BUS_ADDRESS="$address" "$exe" 2>/dev/null &
app=$!
pids+=("$app")

DBUS_SESSION_BUS_ADDRESS=$address /usr/bin/python3 - "$app" "$seconds" <<'PY'
import sys, time, dbus
app, seconds = sys.argv[1], float(sys.argv[2])
bus = dbus.SessionBus()
name = f"org.kde.StatusNotifierItem-{app}-1"
deadline = time.time() + 15
while not bus.name_has_owner(name):
    if time.time() > deadline:
        sys.exit("the app did not come up")
    time.sleep(0.1)
item = bus.get_object(name, "/StatusNotifierItem")
menu = bus.get_object(name, "/MenuBar")
props = dbus.Interface(item, "org.freedesktop.DBus.Properties")
dbusmenu = dbus.Interface(menu, "com.canonical.dbusmenu")
worst, calls, refreshes, start, last = 0.0, 0, 0, time.time(), 0.0
while time.time() - start < seconds:
    if time.time() - last > 0.5:  # "Refresh now"
        dbusmenu.Event(2, "clicked", dbus.String("", variant_level=1), dbus.UInt32(0))
        last, refreshes = time.time(), refreshes + 1
    t = time.time()
    props.GetAll("org.kde.StatusNotifierItem")
    dbusmenu.GetLayout(0, -1, dbus.Array([], signature="s"))
    worst = max(worst, (time.time() - t) * 1000)
    calls += 1
    time.sleep(0.01)
print(f"{calls} reads over {seconds:.0f} s and {refreshes} refreshes: the slowest took {worst:.1f} ms"
      f" (budget 100 ms)")
sys.exit(0 if worst < 100 else 1)
PY
