#!/usr/bin/env bash
# The real claude tool as a plan subscriber, offline: each version installed from npm, run
# against a made-up Claude API on loopback inside a network namespace of its own (nothing
# leaves the machine), its screens read by Brimwatch and compared with what was served.
#   scripts/real-tool-subscriber.sh [VERSION...]    ("latest" when none is given)
#   BRIMWATCH=/path/to/brimwatch    the executable to check (default: build/src/app/brimwatch)
#   KEEP=DIR                        keep the screens the tool printed there
set -euo pipefail
cd "$(dirname "$0")/.."
brimwatch=$(realpath "${BRIMWATCH:-build/src/app/brimwatch}")
[[ -x $brimwatch ]] || { echo "no $brimwatch: build first (scripts/test.sh)" >&2; exit 2; }
for tool in npm unshare openssl tmux ip; do
    command -v $tool >/dev/null || { echo "$tool is needed (scripts/install-deps.sh test)" >&2; exit 2; }
done
(($# > 0)) || set -- latest

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
keep=${KEEP:-$work/screens}
mkdir -p "$keep"
tools=()
for version in "$@"; do
    dir=$work/$version
    if ! npm install --prefix "$dir" --no-audit --no-fund --silent \
        "@anthropic-ai/claude-code@$version" >"$work/npm.log" 2>&1; then
        echo "$version: npm could not install it:" >&2
        cat "$work/npm.log" >&2
        exit 1
    fi
    package=$dir/node_modules/@anthropic-ai/claude-code
    exact=$(node -p "require('$package/package.json').version")
    tools+=("$exact=$(realpath "$package/bin/claude.exe")")
done
# A network namespace with loopback alone, and a mount namespace so that nothing it mounts
# is seen outside.
exec unshare --net --mount /usr/bin/python3 scripts/realtool/run.py "$brimwatch" "$keep" "${tools[@]}"
