#!/usr/bin/env bash
# The desktop matrix: Brimwatch on real desktops, headless, with a fake `claude` that steps
# through readings (5 %, 82 %, 97 %, 100 %, then a new window at 3 %). On each host it opens
# the panel with one real click on the ring, folds and unfolds History, closes the panel with
# a click outside, and launches Brimwatch a second time. Every step is photographed into one
# folder, with a contact sheet, and checked where a machine can: the ring's contrast with the
# panel (3:1), the panel inside the work area and as tall as its content, the panel gone after
# a click outside, one bubble per limit, the second launch showing the panel.
#   scripts/desktop-matrix.sh [--all] [--runs N] [OUT_DIR]     (default build/matrix)
# Without --all: GNOME Shell with the AppIndicator extension, XFCE's panel light and dark,
# and GNOME without a tray (what CI runs). --all adds an XEmbed tray (trayer), KDE Plasma on X11
# with Breeze and with Breeze Twilight (a dark panel over light windows), and Waybar's tray and
# custom module on sway, with Brimwatch through XWayland and natively on Wayland.
set -euo pipefail
cd "$(dirname "$0")/.."
hosts=gnome,xfce-light,xfce-dark,no-tray
set=matrix runs=1 out=build/matrix
while (($#)); do
    case $1 in
    --all) hosts=$hosts,trayer,kde,kde-twilight,waybar,waybar-native set=matrix-all ;;
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
