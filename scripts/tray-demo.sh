#!/usr/bin/env bash
# Brimwatch in a real panel: Xvfb, a private session bus, xfce4-panel with its tray, and a
# fake `claude` in a temporary home. Takes two screenshots: the ring in the panel, then the
# panel window opened by a click on it; and a close-up of the ring.
#   scripts/tray-demo.sh [OUT_DIR] [PERCENT] [light|dark]   (default build/demo 82.5 light)
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh test
cmake -S . -B build -G Ninja >/dev/null
cmake --build build --target brimwatch >/dev/null
out=$(realpath -m "${1:-build/demo}")
percent=${2:-82.5}
look=${3:-light}
mkdir -p "$out"

home=$(mktemp -d)
trap 'kill $(jobs -p) 2>/dev/null || true; rm -rf "$home"' EXIT
mkdir -p "$home/.local/bin" "$home/.config/xfce4/xfconf/xfce-perchannel-xml"
panel=$home/.config/xfce4/xfconf/xfce-perchannel-xml/xfce4-panel.xml
cp scripts/demo/xfce4-panel.xml "$panel"
if [[ $look == dark ]]; then # a dark panel, as many themes have
    sed -i 's|<property name="size" type="uint" value="30"/>|&\n      <property name="background-style" type="uint" value="1"/>\n      <property name="background-rgba" type="array"><value type="double" value="0.13"/><value type="double" value="0.13"/><value type="double" value="0.14"/><value type="double" value="1"/></property>|' "$panel"
fi
cat > "$home/.local/bin/claude" <<TOOL
#!/bin/sh
echo "You are currently using your subscription to power your Claude Code usage"
echo
echo "Current session: $percent% used · resets \$(date -u -d '+2 hours 5 minutes' '+%-I:%M%P') (UTC)"
echo "Current week (all models): 67% used · resets \$(date -u -d '+3 days' '+%b %-d at %-I%P') (UTC)"
echo "Current week (Opus): 41% used · resets \$(date -u -d '+3 days' '+%b %-d at %-I%P') (UTC)"
TOOL
chmod +x "$home/.local/bin/claude"

display=:$((57 + $$ % 100))
Xvfb "$display" -screen 0 1280x800x24 -nolisten tcp -noreset >/dev/null 2>&1 &
sleep 1
export DISPLAY=$display HOME="$home" XDG_CONFIG_HOME="$home/.config" XDG_DATA_HOME="$home/.local/share"
export XDG_RUNTIME_DIR="$home/run" TZ=UTC
mkdir -m 700 -p "$XDG_RUNTIME_DIR"
DBUS_SESSION_BUS_ADDRESS=$(dbus-daemon --session --fork --print-address)
export DBUS_SESSION_BUS_ADDRESS
xfce4-panel --disable-wm-check >/dev/null 2>&1 &
sleep 3
build/src/app/brimwatch >/dev/null 2>&1 &
sleep 5
import -window root "$out/panel.png"
# The ring, eight times its size, beside the clock.
convert "$out/panel.png" -crop 120x30+1120+0 +repage -filter point -resize 800% "$out/ring.png"

# Click the ring. The tray draws our item itself, so find it in the picture: the rightmost
# column of the panel, left of the clock, that differs from the panel's background.
read -r ix iy < <(scripts/demo/find-item.sh "$out/panel.png")
xdotool mousemove "$ix" "$iy" click 1
sleep 2
import -window root "$out/panel-open.png"
echo "screenshots: $out/panel.png $out/ring.png $out/panel-open.png"
