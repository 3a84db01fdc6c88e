#!/usr/bin/env bash
# The desktop matrix: Brimwatch on real desktops, headless, driven as a person drives it, again
# and again. On each host: five single clicks on the ring in a row (the panel, or GNOME's menu,
# each time, then closed again), a right click, a double click and Escape; a fake `claude` that
# steps through readings (5 %, 82 %, 97 %, 100 %, then a new window at 3 %), each escalation
# left until the server has taken the last bubble away and then seen to pop up, and a reset
# that drifts by 1, 4 and 20 minutes telling nothing again; the panel folded and unfolded,
# closed by a click outside; a second account; light, dark and light again while the app runs;
# a tap on the card; a second launch. Every step is photographed into one folder, with a
# contact sheet, and checked where a machine can: the ring's contrast with the panel (3:1), its
# coloured arc's too, the card's look and its title's contrast (4.5:1), the panel inside the
# work area, as tall as its content and in no task bar, the notices the app sent.
#   scripts/desktop-matrix.sh [--all] [--runs N] [OUT_DIR]     (default build/matrix)
# Without --all (what CI runs): GNOME Shell with the AppIndicator extension and its portal,
# XFCE's panel light, XFCE's panel dark on a 1024x600 screen, KDE Plasma on X11 (and two
# virtual desktops there), and GNOME without a tray. --all adds an XEmbed tray (trayer), KDE
# Plasma with Breeze Twilight (a dark panel over light windows), KDE Plasma's Wayland session
# (Brimwatch through XWayland, as it chooses there), and Waybar's tray and custom module on sway,
# with Brimwatch natively on Wayland (its choice there) and through XWayland.
set -euo pipefail
cd "$(dirname "$0")/.."
hosts=gnome,xfce-light,xfce-dark,kde,no-tray
set=matrix runs=1 out=build/matrix
while (($#)); do
    case $1 in
    --all) hosts=$hosts,trayer,kde-twilight,kde-wayland,waybar,waybar-native set=matrix-all ;;
    --runs) runs=$2 && shift ;;
    *) out=$1 ;;
    esac
    shift
done
scripts/install-deps.sh "$set"
[[ -f build/build.ninja ]] || cmake -S . -B build -G Ninja >/dev/null
cmake --build build --target brimwatch brimwatch-gui >/dev/null
for ((i = 1; i <= runs; i++)); do
    ((runs == 1)) || echo "run $i of $runs"
    /usr/bin/python3 scripts/matrix/run.py --brimwatch build/src/app/brimwatch --out "$out" \
        --hosts "$hosts"
done
