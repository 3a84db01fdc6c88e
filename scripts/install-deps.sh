#!/usr/bin/env bash
# Installs the Debian packages that building, testing and running Brimwatch need.
# Safe to run again: it does nothing when everything is already there.
set -euo pipefail

packages=(
    # build
    cmake ninja-build g++ pkg-config qt6-base-dev libicu-dev libqt6sql6-sqlite
    # tests, benchmarks, fuzzing
    libgtest-dev libgmock-dev libbenchmark-dev clang libclang-rt-14-dev clang-format cloc
    libxcb1-dev
    # desktop tests: a virtual X server, a private D-Bus, screenshots, fonts, a real panel
    xvfb xauth dbus xdotool x11-utils imagemagick fonts-dejavu-core desktop-file-utils xfce4-panel
    trayer time
)

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
