#!/usr/bin/env bash
# Builds the Debian package: a Release tree under /usr with Debian's hardening flags, then
# CPack. Leaves brimwatch_<version>_<arch>.deb in the repository's root.
#   scripts/package.sh [BUILD_DIR]      (default: build-package)
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh package
dir=${1:-build-package}

export DEB_BUILD_MAINT_OPTIONS=hardening=+all # bindnow too: a tray app starts once a session
cxxflags="$(dpkg-buildflags --get CXXFLAGS) $(dpkg-buildflags --get CPPFLAGS)"
ldflags=$(dpkg-buildflags --get LDFLAGS)
# Given on every run: a tree configured before keeps its cache otherwise.
cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
    -DBRIMWATCH_TESTS=OFF -DBRIMWATCH_BENCH=OFF -DCMAKE_CXX_FLAGS="$cxxflags" \
    -DCMAKE_EXE_LINKER_FLAGS="$ldflags" -DCMAKE_MODULE_LINKER_FLAGS="$ldflags" >/dev/null
cmake --build "$dir" -j"$(nproc)"
(cd "$dir" && cpack -G DEB >/dev/null)
cp "$dir"/brimwatch_*.deb .
ls brimwatch_*.deb
