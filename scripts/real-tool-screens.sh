#!/usr/bin/env bash
# The real claude tool's screens, version by version. Installs each given version of
# @anthropic-ai/claude-code from npm into a temporary folder ("latest" when none is given),
# runs it exactly as Brimwatch does (`brimwatch --check`: the same arguments, environment and
# folder, in a temporary home where the tool is not logged in), and checks that Brimwatch
# explains what it printed: rows, or a message of its own, never the tool's raw text.
#   scripts/real-tool-screens.sh [VERSION...]
#   BRIMWATCH=/path/to/brimwatch   the executable to check (default: build/src/app/brimwatch)
set -euo pipefail
cd "$(dirname "$0")/.."
brimwatch=$(realpath "${BRIMWATCH:-build/src/app/brimwatch}")
[[ -x $brimwatch ]] || { echo "no $brimwatch: build first (scripts/test.sh)" >&2; exit 2; }
command -v npm >/dev/null || { echo "npm is needed to install the tool" >&2; exit 2; }
(($# > 0)) || set -- latest

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failed=0
for version in "$@"; do
    dir=$work/$version home=$work/home-$version
    if ! npm install --prefix "$dir" --no-audit --no-fund --silent \
        "@anthropic-ai/claude-code@$version" >"$work/npm.log" 2>&1; then
        echo "$version: npm could not install it:" >&2
        cat "$work/npm.log" >&2
        failed=1
        continue
    fi
    exact=$(node -p "require('$dir/node_modules/@anthropic-ai/claude-code/package.json').version")
    mkdir -p "$home/.local/bin"
    ln -s "$dir/node_modules/.bin/claude" "$home/.local/bin/claude"
    clean=(env -i "HOME=$home" "PATH=/usr/bin:/bin" "USER=${USER:-$(id -un)}" "LANG=en_US.UTF-8")

    # What the tool prints, run by hand the way the app runs it; then what Brimwatch makes of it.
    raw=$(cd "$home" && "${clean[@]}" "PATH=$home/.local/bin:/usr/local/bin:/usr/bin:/bin" \
        NO_COLOR=1 claude -p /usage --model usage-check-only --no-session-persistence \
        --strict-mcp-config 2>&1 || true)
    set +e
    said=$("${clean[@]}" "$brimwatch" --check 2>&1)
    status=$?
    set -e

    verdict=ok
    if ((status == 0)); then
        shown="rows: $(echo "$said" | cut -d'|' -f1,2 | paste -sd ';')"
    else
        shown=${said#error: }
        # The message must be Brimwatch's own sentence, not a line the tool printed.
        if [[ $said != error:* ]] || grep -qxF -- "$shown" <<<"$raw"; then
            verdict=FAILED
            failed=1
        fi
    fi
    echo "claude $exact ($version): $verdict"
    echo "  the tool printed: $(head -c 300 <<<"$raw" | sed -n '1,6p' | paste -sd '|')"
    echo "  Brimwatch says:   $shown"
done
exit $failed
