#!/usr/bin/env bash
# Installs the Debian packages that Brimwatch needs, by set:
#   scripts/install-deps.sh run       building and running it (the default)
#   scripts/install-deps.sh package   that, and building the .deb
#   scripts/install-deps.sh test      all of that, and the tests, benchmarks and checks
#   scripts/install-deps.sh matrix    running it, and the desktops of the desktop matrix
#   scripts/install-deps.sh matrix-all  and the hosts only scripts/desktop-matrix.sh --all runs
# Safe to run again: it does nothing when everything is already there.
set -euo pipefail

run=(cmake ninja-build g++ pkg-config qt6-base-dev libicu-dev libxcb1-dev libqt6sql6-sqlite)
package=("${run[@]}" dpkg-dev file)
test=("${package[@]}"
    # tests, benchmarks, fuzzing, lint
    libgtest-dev libgmock-dev libbenchmark-dev clang libclang-rt-14-dev clang-format cloc
    # desktop tests: a virtual X server, a private D-Bus, screenshots, fonts, a real panel
    xvfb xauth dbus xdotool x11-utils imagemagick fonts-dejavu-core xfce4-panel trayer time
    # the real claude tool as a subscriber, offline: a scratch CA, a fake API, a namespace
    openssl python3 iproute2 tmux
    # checks of the package and its metadata
    desktop-file-utils appstream man-db lintian
)

# The desktop matrix: real hosts, headless, and what it drives and checks them with.
matrix=("${run[@]}" xvfb xauth dbus dbus-x11 libglib2.0-bin xdotool x11-utils imagemagick
    fonts-dejavu-core python3 python3-pil python3-pyatspi python3-dbus at-spi2-core
    xfce4-panel xfwm4 xfconf xfce4-notifyd gnome-themes-extra xsettingsd
    gnome-shell gnome-shell-extension-appindicator gjs xwayland xdg-desktop-portal
    xdg-desktop-portal-gtk plasma-workspace plasma-desktop kwin-x11 breeze breeze-icon-theme)
matrix_all=("${matrix[@]}" trayer sway waybar grim wtype qt6-wayland libwayland-dev
    libwayland-bin gcc kwin-wayland qtwayland5 plasma-wayland-protocols kde-spectacle)

case ${1:-run} in
run) packages=("${run[@]}") ;;
package) packages=("${package[@]}") ;;
test) packages=("${test[@]}") ;;
matrix) packages=("${matrix[@]}") ;;
matrix-all) packages=("${matrix_all[@]}") ;;
list-run | list-package | list-test)
    set="${1#list-}[@]"
    printf '%s\n' "${!set}"
    exit 0
    ;;
*)
    echo "usage: $0 [run|package|test|matrix|matrix-all|list-run|list-package|list-test]" >&2
    exit 2
    ;;
esac

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[[ ${#missing[@]} -eq 0 ]] && exit 0

sudo=()
[[ $(id -u) -eq 0 ]] || sudo=(sudo)
echo "Installing: ${missing[*]}"
"${sudo[@]}" apt-get update -qq
DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
