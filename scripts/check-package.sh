#!/usr/bin/env bash
# Builds the package, installs it as a user would, checks what it installed from the installed
# paths, then removes it and checks that nothing of it is left. Needs root (or sudo).
set -euo pipefail
cd "$(dirname "$0")/.."
sudo=()
[[ $(id -u) -eq 0 ]] || sudo=(sudo)
scripts/install-deps.sh test
scripts/package.sh >/dev/null
deb=$(ls brimwatch_*.deb)

echo "lintian (errors fail; warnings are listed):"
lintian --fail-on error "$deb" 2>&1 | grep -v 'running with root privileges' || true
lintian --fail-on error "$deb" >/dev/null 2>&1

DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq "./$deb" >/dev/null
trap 'DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get remove -y -qq brimwatch >/dev/null 2>&1 || true' EXIT
fail() { echo "package check failed: $*" >&2; exit 1; }

[[ $(/usr/bin/brimwatch --version) == "Brimwatch 1.0.0" ]] || fail "--version: $(/usr/bin/brimwatch --version)"
/usr/bin/brimwatch --parse < tests/data/overage.txt | grep -q '^Session | 100.0% | ' || fail "--parse"
shots=$(mktemp -d)
said=$(env -u DISPLAY -u WAYLAND_DISPLAY /usr/bin/brimwatch --snapshot "$shots" 2>&1)
[[ -z $said ]] || fail "--snapshot said: $said"
[[ $(ls "$shots"/*.png | wc -l) -eq 4 ]] || fail "--snapshot made $(ls "$shots" | wc -l) files"
rm -rf "$shots"
desktop-file-validate /usr/share/applications/brimwatch.desktop || fail "launcher entry"
appstreamcli validate --no-net /usr/share/metainfo/com.velkorlab.brimwatch.metainfo.xml >/dev/null ||
    fail "metainfo"
warnings=$(MANWIDTH=80 man --warnings -l /usr/share/man/man1/brimwatch.1.gz 2>&1 >/dev/null)
[[ -z $warnings ]] || fail "manual page: $warnings"
for size in 16 22 24 32 48 64 128 256 512; do
    [[ -f /usr/share/icons/hicolor/${size}x${size}/apps/brimwatch.png ]] || fail "icon $size"
done

# Its own files, not the folders it shares with others.
mapfile -t files < <(dpkg -L brimwatch | while read -r f; do [[ -d $f ]] || echo "$f"; done)
DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get remove -y -qq brimwatch >/dev/null
trap - EXIT
for f in "${files[@]}" /usr/lib/*/brimwatch /usr/share/doc/brimwatch; do
    [[ ! -e $f ]] || fail "$f is left after removal"
done
echo "package: ${#files[@]} files installed, checked, and removed without a trace"
